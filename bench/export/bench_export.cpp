// The longest PC recording (864000 records, 4 channels) exported to CSV: the formatting alone
// in this process (into memory), then `qr512 export` to a file and to standard output, each
// timed with its peak memory. Prints figures only.
//
//   bench_export [FILE]   FILE: a data file to use; generated there first when it does not
//                         exist (default: a temporary file)

#include "benchrun.h"
#include "dataout/csvexport.h"
#include "recording/datafile.h"
#include "syntheticrecording.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace recording;

namespace {

void print(const char* what, const Run& result, qint64 bytes) {
    if (!result.ok) {
        std::printf("%-34s FAILED\n", what);
        return;
    }
    std::printf("%-34s %.2f s, peak %.1f MiB, %.1f MiB of CSV\n", what, result.seconds,
                result.peakKib / 1024.0, double(bytes) / 1048576.0);
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString path = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                  : dir.filePath(QStringLiteral("20240225080000.txt"));
    if (!ensureSyntheticFile(path))
        return 1;

    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    const dataout::ExportResult result =
        dataout::exportCsv(path, std::nullopt, [&](QByteArrayView piece) {
            bytes += piece.size();
            return true;
        });
    if (!result.ok()) {
        std::fprintf(stderr, "%s\n", qPrintable(result.error));
        return 1;
    }
    std::printf("rows exported:                     %lld\n", static_cast<long long>(result.rows));
    std::printf("read and format (in process):      %.0f ms, %.1f MiB of CSV\n",
                double(timer.nsecsElapsed()) / 1e6, double(bytes) / 1048576.0);

    const std::string file = path.toStdString();
    const std::string csv = dir.filePath(QStringLiteral("out.csv")).toStdString();
    const std::string piped = dir.filePath(QStringLiteral("stdout.csv")).toStdString();
    const Run toFile = run({QR512_BINARY, "export", file, "-o", csv}, "/dev/null");
    print("qr512 export -o FILE:", toFile, QFile(QString::fromStdString(csv)).size());
    const Run toStdout = run({QR512_BINARY, "export", file}, piped);
    print("qr512 export > FILE:", toStdout, QFile(QString::fromStdString(piped)).size());
    return 0;
}
