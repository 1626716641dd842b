// qr512 download and qr512 erase end to end: the binary against a virtual meter served from
// this process on a pseudo-terminal (unpaced, so 16800 records take no 83 s), its file
// compared with one built here from the records the meter holds; the erase's confirmation,
// an erase followed by a download, and the refusal while a recording holds the working file.

#include "clirun.h"
#include "recording/datafile.h"
#include "recording/recorder.h"
#include "sim/ptyhost.h"
#include "sim/virtualmeter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

using testsupport::Run;
using testsupport::runQr512;

// The meter's clock bytes as it stores them: each field's two decimal digits read as BCD.
recording::DataRow rowOf(const sim::StoredRecord& record, char type) {
    recording::DataRow row;
    row.meterClock = true;
    const QString digits = record.time.toString(QStringLiteral("yyMMddhhmmss"));
    for (int i = 0; i < 6; ++i)
        row.clock[std::size_t(i)] = quint8(digits.mid(2 * i, 2).toInt(nullptr, 16));
    row.raw = record.raw;
    row.type = type;
    return row;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

struct Meter {
    explicit Meter(int records)
        : meter({.storedRecords = records, .wirePaced = false})
        , host(&meter) {}
    bool open() { return host.open(); }
    sim::VirtualMeter meter;
    sim::PtyHost host;
};

} // namespace

class TestCliDownload : public QObject {
    Q_OBJECT
private slots:

    void downloadWritesTheExactFile() {
        QTemporaryDir dir;
        Meter m(16800);
        QVERIFY(m.open());
        std::vector<recording::DataRow> rows;
        for (const sim::StoredRecord& r : m.meter.records())
            rows.push_back(rowOf(r, 'K'));
        QByteArray expected =
            "Total Records : 16800\r\n" + recording::headerLine(4) + recording::separatorLine(4);
        for (int line = 1; line <= 16800; ++line)
            expected += recording::dataLine(line, rows[std::size_t(16800 - line)], 4);
        expected += recording::trailerText(rows, 4, live::TempUnit::Celsius,
                                           recording::TrailerLayout::MemorySave);

        const QString out = dir.filePath("memory.txt");
        const Run run =
            runQr512({"download", "--port", m.host.devicePath(), "-o", out}, dir.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), out + " (16800 records)");
        QCOMPARE(readAll(out), expected);
        QCOMPARE(readAll(dir.filePath("QR512.temp")), expected);
    }

    void eraseWithoutYesIsRefused() {
        QTemporaryDir dir;
        const Run run = runQr512({"erase", "--simulate"}, dir.path());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("deletes all readings in the meter's memory"),
                 qPrintable(run.err));
        QVERIFY(run.err.contains("--yes"));
    }

    void eraseThenDownloadFindsNoData() {
        QTemporaryDir dir;
        Meter m(3);
        QVERIFY(m.open());
        const Run erase = runQr512({"erase", "--port", m.host.devicePath(), "--yes"}, dir.path());
        QCOMPARE(erase.exitCode, 0);
        QCOMPARE(m.meter.storedRecords(), 0);
        QVERIFY(m.meter.commandLog().contains(QByteArray("E\x04\x00\x00\x00", 5)));
        const Run download = runQr512({"download", "--port", m.host.devicePath()}, dir.path());
        QCOMPARE(download.exitCode, 1);
        QVERIFY2(download.err.contains("No Data in Memory"), qPrintable(download.err));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    }

    void downloadIsRefusedWhileARecordingHoldsTheWorkingFile() {
        QTemporaryDir dir;
        const recording::WorkFileGuard recording(dir.filePath("QR512.temp"));
        QVERIFY(recording.acquired());
        const Run run = runQr512({"download", "--simulate"}, dir.path());
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains("A recording is writing QR512.temp"), qPrintable(run.err));
        QVERIFY(QDir(dir.path()).entryList({"*.txt"}, QDir::Files).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestCliDownload)
#include "tst_clidownload.moc"
