// Ten days of one-second samples (the longest PC recording): how long the whole final file
// takes to format and write, how long loading it for the plot takes, and what the rows cost in
// memory. Prints figures only.

#include "plot/plotdata.h"
#include "recording/datafile.h"
#include "syntheticrecording.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <unistd.h>

using namespace recording;
using namespace plot;

namespace {

// Resident set size in bytes, 0 when /proc is not there.
qint64 residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

double mebibytes(qint64 bytes) {
    return double(bytes) / (1024.0 * 1024.0);
}

} // namespace

int main() {
    const qint64 rssBefore = residentBytes();
    QElapsedTimer timer;
    timer.start();

    const std::vector<DataRow> rows = syntheticRecording();
    const qint64 buildMs = timer.restart();
    const qint64 rssRows = residentBytes() - rssBefore;

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("20240225080000.txt"));
    const QByteArray text = fileText(rows, 4, live::TempUnit::Celsius, TrailerLayout::Recording);
    const qint64 formatMs = timer.elapsed();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();
    const qint64 writeMs = timer.restart();

    const QByteArray trailer =
        trailerText(rows, 4, live::TempUnit::Celsius, TrailerLayout::Recording);
    const qint64 trailerMs = timer.restart();

    const PlotLoad read = loadPlotData(path, live::TempUnit::Celsius);
    const qint64 readMs = timer.restart();

    std::printf("rows:                         %d\n", kMaxRecords);
    std::printf("building rows:                %lld ms\n", static_cast<long long>(buildMs));
    std::printf("row memory (capacity):        %.1f MiB (%zu bytes per row)\n",
                mebibytes(qint64(rows.capacity() * sizeof(DataRow))), sizeof(DataRow));
    std::printf("RSS growth after rows:        %.1f MiB\n", mebibytes(rssRows));
    std::printf("final file size:              %.1f MiB\n", mebibytes(text.size()));
    std::printf("format whole file:            %lld ms\n", static_cast<long long>(formatMs));
    std::printf("format and write whole file:  %lld ms\n", static_cast<long long>(writeMs));
    std::printf("statistics trailer alone:     %lld ms (%lld bytes)\n",
                static_cast<long long>(trailerMs), static_cast<long long>(trailer.size()));
    std::printf("read back:                    %lld ms (%zu rows%s)\n",
                static_cast<long long>(readMs), std::size_t(read.data.rowsRead()),
                read.ok() && read.warning.isEmpty() ? "" : ", NOT CLEAN");
    std::printf("reader memory (capacity):     %.1f MiB\n",
                mebibytes(qint64(4 * read.data.columns[0].capacity() * sizeof(float))));
    std::printf("RSS growth at end:            %.1f MiB\n", mebibytes(residentBytes() - rssBefore));
    return 0;
}
