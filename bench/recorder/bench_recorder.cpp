// Ten days of one-second samples through the recorder: how much memory the recording holds
// once all 864000 rows are in, and how long writing the final file takes. Prints figures only.

#include "recording/datafile.h"
#include "recording/recorder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

double residentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    if (fields.size() < 2)
        return -1;
    return double(fields.at(1).toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary directory\n");
        return 1;
    }

    // A slowly drifting temperature per channel, so the rows and their texts differ.
    int tick = 0;
    recording::Sample sample;
    sample.type = 'K';
    const auto source = [&] {
        for (int c = 0; c < 4; ++c) {
            const double fahrenheit = 70.0 + 50.0 * std::sin(tick / (600.0 + 97.0 * c));
            sample.raw[std::size_t(c)] = quint16(std::lround(10.0 * (fahrenheit + 436.0)));
        }
        return sample;
    };
    const QDateTime start(QDate(2024, 1, 5), QTime(9, 30, 15));
    recording::Recorder recorder([&] { return start; }, source);
    recorder.setWorkingDirectory(dir.path());

    const double before = residentMegabytes();
    QElapsedTimer timer;
    timer.start();
    if (!recorder.startByRecords(recording::kMaxRecords)) {
        std::fprintf(stderr, "could not start\n");
        return 1;
    }
    while (recorder.recordCount() < recording::kMaxRecords) {
        recorder.tick();
        ++tick;
    }
    const qint64 tickMs = timer.elapsed();
    const double afterRows = residentMegabytes();

    timer.restart();
    recorder.finishRecording();
    const qint64 finishMs = timer.elapsed();
    const double afterFinish = residentMegabytes();

    std::printf("rows recorded:              %d in %lld ms of ticks\n", tick,
                static_cast<long long>(tickMs));
    std::printf("memory added by the rows:   %.1f MB (RSS %.1f -> %.1f MB)\n", afterRows - before,
                before, afterRows);
    std::printf("finishRecording():          %lld ms\n", static_cast<long long>(finishMs));
    std::printf("RSS after the final file:   %.1f MB\n", afterFinish);
    std::printf("final file:                 %.1f MB\n",
                double(QFileInfo(recorder.finalFilePath()).size()) / (1024.0 * 1024.0));
    return 0;
}
