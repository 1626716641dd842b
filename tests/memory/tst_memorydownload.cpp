// The memory download: the 19-byte records decoded (BCD clock as hex digits, the type carried
// over code 7, the range marks, bytes outside a record ignored), the memory file (last record
// first, header by channel count, no line lost past 16800, statistics in the order of arrival),
// its save beside a working file a recording may hold, and the download on the link against the
// virtual meter in virtual time: the count read afresh before "G", reception however the line
// splits the bytes, and the stall limit (no file).

#include "memory/memorydownload.h"
#include "memory/memoryrecords.h"
#include "recording/recorder.h"

#include "support/meterbench.h"
#include "support/scriptport.h"
#include "support/smalldisk.h"
#include "support/virtualclock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

// One record as the meter sends it: three filler bytes, the clock, the status byte, four raw
// words and a last filler byte.
QByteArray record(std::array<int, 6> clock, int status, std::array<int, 4> raw) {
    QByteArray r("\xA5\x01\x02", 3);
    for (int b : clock)
        r.append(char(b));
    r.append(char(status));
    for (int w : raw) {
        r.append(char(w >> 8));
        r.append(char(w & 0xFF));
    }
    r.append('\x5A');
    return r;
}

QByteArray plain(int status, int raw1 = 4680) {
    return record({0x25, 0x07, 0x04, 0x13, 0x05, 0x09}, status, {raw1, 4680, 4680, 4680});
}

// Every whole record in `bytes`, decoded after a live frame of type `letter`, as the file's text.
QByteArray fileText(const QByteArray& bytes, int channels, QChar letter = u'K') {
    const auto rows = memory::decodeRecords(bytes, int(bytes.size() / 19), letter);
    return memory::memoryFileText(rows, channels, live::TempUnit::Celsius);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// A meter holding `records` fixed readings, and a download that saves into a folder of its own.
struct Rig : testsupport::MeterBench {
    explicit Rig(int records, sim::Faults faults = {})
        : MeterBench({.storedRecords = records, .drift = false}, faults) {
        request.save.directory = dir.path();
        // One byte every 2.9 s takes longer than the bench's guard allows; the stall bounds it.
        link.setHooks({});
    }

    memory::DownloadOutcome download() {
        return memory::downloadMemory(
            link, request,
            [this](double fraction, const QString& text) {
                fractions << fraction;
                texts << text;
            });
    }
    // When "G" went on the wire; -1: never.
    double gTime() const {
        for (const auto& w : port.writes())
            if (w.bytes == "G")
                return w.time;
        return -1;
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }

    QTemporaryDir dir;
    memory::DownloadRequest request;
    QList<double> fractions;
    QStringList texts;
};

} // namespace

class TestMemoryDownload : public QObject {
    Q_OBJECT
private slots:

    void fileLines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QChar>("letter"); // the live frame's type before the download
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("start"); // ending in \r: the whole line
        const auto row = [](const char* name, const QByteArray& bytes, int line,
                            const QByteArray& start, int channels = 4, QChar letter = u'K') {
            QTest::newRow(name) << bytes << letter << channels << line << start;
        };
        const auto at = [](int second, int raw1) {
            return record({0x24, 0x01, 0x01, 0x00, 0x00, second}, 0x40, {raw1, 0, 0, 0});
        };
        const QByteArray three = at(1, 4680) + at(2, 4690) + at(3, 4700);
        row("count", three, 0, "Total Records : 3\r");
        row("last record first", three, 3, "1     \t2024/01/01 00:00:03\tK\t   1.1\t");
        row("first record last", three, 5, "3     \t2024/01/01 00:00:01\tK\t   0.0\t");
        row("zeros keep two digits", record({0, 1, 1, 0, 0, 0}, 0x40, {4680, 0, 0, 0}), 3,
            "1     \t2000/01/01 00:00:00\t");
        row("not BCD shows its hex digits",
            record({0x99, 0x1A, 0x3F, 0xFF, 0x5B, 0x60}, 0x40, {4680, 0, 0, 0}), 3,
            "1     \t2099/1A/3F FF:5B:60\t");
        // T1 over range, T2 under range, T3 212 F; filler bytes differ from record to record.
        QByteArray marks =
            record({0x25, 0x07, 0x04, 0x13, 0x05, 0x09}, 0x40, {65535, 0, 6480, 4680});
        marks[0] = '\x00';
        marks[18] = '\xFF';
        row("range marks", marks, 3,
            "1     \t2025/07/04 13:05:09\tK\t    OL\t   -OL\t 100.0\t   0.0\t    OL\t   -OL\t"
            " 212.0\t  32.0\t    OL\t   -OL\t 373.0\t 273.0\r");
        const QByteArray six = plain(0x40).repeated(6);
        row("2-channel row", six, 3,
            "1     \t2025/07/04 13:05:09\tK\t   0.0\t   0.0\t  32.0\t  32.0\t 273.0\t 273.0\r", 2);
        row("2-channel rule", six, 2, QByteArray(87, '-').append('\r'), 2);
        row("statistics after the rows", six, 9, QByteArray(87, '-').append('\r'), 2);
        // Code 7 names no type: the record before (or the live frame) gives it.
        row("code 7 keeps the type before", plain(0x45) + plain(0x47), 3,
            "1     \t2025/07/04 13:05:09\tE\t");
        row("first record's 7 keeps the live type", plain(0x47) + plain(0x44), 4,
            "2     \t2025/07/04 13:05:09\tJ\t", 4, u'J');
        row("no type anywhere leaves it blank", plain(0x17), 3, "1     \t2025/07/04 13:05:09\t \t",
            4, QChar());
    }

    void fileLines() {
        QFETCH(QByteArray, bytes);
        QFETCH(QChar, letter);
        QFETCH(int, channels);
        QFETCH(int, line);
        QFETCH(QByteArray, start);
        const QByteArray got = fileText(bytes, channels, letter).split('\n').at(line);
        QCOMPARE(got.left(start.size()), start);
    }

    void onlyWholeRecordsUpToTheCount() {
        const QByteArray three = plain(0x40, 4680) + plain(0x40, 4690) + plain(0x40, 4700);
        QCOMPARE(memory::decodeRecords(three, 2, u'K').size(), std::size_t(2)); // surplus ignored
        QCOMPARE(memory::decodeRecords(three.left(56), 3, u'K').size(), std::size_t(2));
        QCOMPARE(memory::decodeRecords(three, 2, u'K')[1].raw[0], quint16(4690));
    }

    void noLineLostPast16800() {
        QByteArray bytes;
        for (int i = 0; i < 16805; ++i)
            bytes += plain(0x40, 4680 + i % 3000);
        const QList<QByteArray> l = fileText(bytes, 1).split('\n');
        QCOMPARE(l.at(0), QByteArray("Total Records : 16805\r"));
        QVERIFY(l.at(3 + 1679).startsWith("1680  \t"));
        QVERIFY(l.at(3 + 1680).startsWith("1681  \t"));
        QVERIFY(l.at(3 + 16800).startsWith("16801 \t"));
        QVERIFY(l.at(3 + 16804).startsWith("16805 \t"));
        QVERIFY(l.at(3 + 16804).contains("\t   0.0\t")); // the first record received
        QCOMPARE(l.at(3 + 16805), QByteArray(63, '-') + '\r');
    }

    void statisticsRankTheOrderOfArrival() {
        // Five equal readings: the Max list keeps them in the order of arrival (record 1 first),
        // not in the order of the lines (which start with the last record).
        QByteArray bytes;
        for (int s = 1; s <= 5; ++s)
            bytes += record({0x24, 0x01, 0x01, 0x00, 0x00, s}, 0x10, {6480, 0, 0, 0});
        QVERIFY(fileText(bytes, 1).contains("Top 5 Max T1 Celsius Value : \r\n"
                                            "2024/01/01 00:00:01****100.0\r\n"
                                            "2024/01/01 00:00:02****100.0\r\n"));
    }

    void saveNeverReplacesRecordedRows_data() {
        QTest::addColumn<bool>("living"); // a recording holds the file, or one that died left it
        QTest::addColumn<QString>("notice");
        QTest::newRow("held") << true
                              << "QR512.temp was left alone: a recording (process %1) "
                                 "is writing it.";
        QTest::newRow("left by a dead recording")
            << false << "An earlier recording did not finish; its rows are kept in %2/";
    }

    void saveNeverReplacesRecordedRows() {
        QFETCH(bool, living);
        QFETCH(QString, notice);
        QTemporaryDir dir;
        const QString work = dir.filePath("QR512.temp");
        const QByteArray rows = "No.s\r\n----\r\n1 row\r\n2 row\r\n";
        QFile f(work);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(rows);
        f.close();
        std::optional<recording::WorkFileGuard> recordingHolds;
        if (living) {
            recordingHolds.emplace(work);
        } else {
            QFile lock(work + ".lock");
            QVERIFY(lock.open(QIODevice::WriteOnly));
            lock.write("2147483646\nqr512\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        }
        memory::SaveRequest request;
        request.directory = dir.path();
        const auto decoded = memory::decodeRecords(plain(0x40), 1, u'K');
        const memory::SaveOutcome outcome =
            memory::saveMemory(decoded, 4, live::TempUnit::Celsius, request);
        QVERIFY(outcome.ok());
        QCOMPARE(outcome.notices.size(), 1);
        const QString expected =
            notice.replace("%1", QString::number(QCoreApplication::applicationPid()))
                .replace("%2", dir.path());
        QVERIFY2(outcome.notices.first().startsWith(expected), qPrintable(outcome.notices.first()));
        const QString keptAt = living ? work : outcome.notices.first().section(' ', -1).chopped(1);
        QCOMPARE(readAll(keptAt), rows);
        QCOMPARE(outcome.workFile.isEmpty(), living);
        QCOMPARE(readAll(outcome.memoryFile), fileText(plain(0x40), 4));
    }

    // A disk that fills up during the memory file: the reason, the older file of that name as
    // it was, and the working file not touched either.
    void fullDiskKeepsTheOlderFile_data() {
        QTest::addColumn<qint64>("room");
        QTest::newRow("full from the start") << qint64(0);
        QTest::newRow("full part-way") << qint64(100);
    }

    void fullDiskKeepsTheOlderFile() {
        QFETCH(qint64, room);
        QTemporaryDir dir;
        const QString path = dir.filePath("mem.txt");
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly) && older.write("older") == 5);
        older.close();
        auto disk = std::make_shared<qint64>(room);
        memory::SaveRequest request;
        request.directory = dir.path();
        request.memoryFile = path;
        request.open = [disk](const QString& p) { return std::make_unique<DiskFile>(p, disk); };
        const memory::SaveOutcome outcome = memory::saveMemory(
            memory::decodeRecords(plain(0x40), 1, u'K'), 4, live::TempUnit::Celsius, request);
        QVERIFY(!outcome.ok());
        QCOMPARE(outcome.error, "Could not write " + path + ": No space left on device.");
        QVERIFY(outcome.memoryFile.isEmpty() && outcome.workFile.isEmpty());
        QCOMPARE(readAll(path), QByteArray("older"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"mem.txt"});
    }

    void receptionWaitsForEveryByte_data() {
        QTest::addColumn<double>("byteGap");
        QTest::newRow("at wire speed") << 0.0;
        QTest::newRow("a few bytes per read") << 0.007;
        QTest::newRow("one byte per read, 2.9 s apart") << 2.9;
    }

    void receptionWaitsForEveryByte() {
        QFETCH(double, byteGap);
        Rig rig(2);
        rig.meter.advance(rig.clock.now());
        // The gap only from "G" on: the handshake and the frame before it come at wire speed.
        rig.link.checkMeter();
        rig.meter.setFaults({.byteGap = byteGap});
        rig.link.flush();
        const memory::Reception reception = memory::receiveRecords(rig.link, 2, {});
        QVERIFY(!reception.stalled);
        QCOMPARE(reception.bytes.size(), 38);
        const auto rows = memory::decodeRecords(reception.bytes, 2, u'K');
        for (std::size_t i = 0; i < 2; ++i)
            QCOMPARE(rows[i].raw, rig.meter.records()[i].raw);
    }

    void countIsReadAfreshBeforeG_data() {
        QTest::addColumn<int>("inMeter");
        QTest::addColumn<int>("shown");
        QTest::newRow("more stored since the count was shown") << 5 << 2;
        QTest::newRow("fewer after an erase elsewhere") << 2 << 5;
        QTest::newRow("erased: nothing is asked for") << 0 << 3;
    }

    void countIsReadAfreshBeforeG() {
        QFETCH(int, inMeter);
        QFETCH(int, shown);
        Rig rig(inMeter);
        rig.request.shownCount = shown;
        const memory::DownloadOutcome outcome = rig.download();
        QCOMPARE(outcome.expected, inMeter);
        QCOMPARE(outcome.received, inMeter);
        QCOMPARE(rig.gTime() >= 0, inMeter > 0);
        QCOMPARE(outcome.kind, inMeter > 0 ? memory::DownloadOutcome::Kind::Saved
                                           : memory::DownloadOutcome::Kind::Empty);
        QCOMPARE(rig.files().size(), inMeter > 0 ? 2 : 0);
        if (inMeter > 0) {
            QCOMPARE(rig.texts.last(), QStringLiteral("100.0% Completed"));
            QVERIFY(rig.texts.contains(QStringLiteral("50.0% Completed")));
            QVERIFY(std::is_sorted(rig.fractions.begin(), rig.fractions.end()));
        }
    }

    void stallEndsWithoutAFile() {
        // Replies: "A", then "M", then "G" -- the third is cut to half: 2 of 4 records arrive.
        Rig rig(4, {.shortEvery = 3});
        rig.request.shownCount = 4;
        const memory::DownloadOutcome outcome = rig.download();
        QCOMPARE(outcome.kind, memory::DownloadOutcome::Kind::Stalled);
        QVERIFY(rig.files().isEmpty());
        QCOMPARE(memory::outcomeMessage(outcome),
                 QStringLiteral("The meter stopped sending: 2 of 4 records arrived. Nothing was "
                                "saved; try the download again."));
        // 38 bytes at wire speed take 10 ms; then three silent seconds.
        const double ended = rig.clock.now() - rig.gTime();
        QVERIFY2(ended >= 3.0 && ended < 3.1, qPrintable(QString::number(ended)));
    }

    // What the file has no room for is said, and no record is dropped for it: a channel count
    // without a layout of its own keeps all four channels, and a count past the memory's
    // capacity reads the records the memory can hold.
    void unusualCountsAreSaid_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("reported");   // the frame's memory count; < 0: no frame, shown -n
        QTest::addColumn<QString>("notice"); // empty: none
        QTest::addColumn<QByteArray>("header");
        const QByteArray four = "No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T3C\t   T4C";
        QTest::newRow("2 channels")
            << 2 << 3 << QString()
            << QByteArray("No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T1F");
        QTest::newRow("3 channels") << 3 << 3
                                    << "The meter reported 3 channels; the records are written "
                                       "with all 4."
                                    << four;
        QTest::newRow("16801 records") << 4 << 16801
                                       << "The meter reported 16801 records; its memory holds "
                                          "16800, and those 16800 were read."
                                       << four;
        QTest::newRow("no fresh count: the shown one") << 4 << -3 << QString() << four;
    }

    void unusualCountsAreSaid() {
        QFETCH(int, channels);
        QFETCH(int, reported);
        QFETCH(QString, notice);
        QFETCH(QByteArray, header);
        serial::VirtualClock clock;
        ScriptPort port(clock);
        serial::MeterLink link(port, clock);
        QByteArray frame(37, '\0');
        frame[0] = '\x02';
        frame[34] = char(reported >> 8);
        frame[35] = char(reported & 0xFF);
        frame[36] = '\x0D';
        const int records = std::min(std::abs(reported), 16800);
        port.responder = [&](const QByteArray& w) {
            if (w == "A")
                return QByteArray("\x02\x41\x0D", 3);
            if (w == "M")
                return reported < 0 ? QByteArray("\x02", 1) : frame;
            return w == "G" ? plain(0x40).repeated(records) : QByteArray();
        };
        QTemporaryDir dir;
        memory::DownloadRequest request;
        request.shownCount = std::max(-reported, 0);
        request.channelCount = channels;
        request.save.directory = dir.path();
        const memory::DownloadOutcome outcome = memory::downloadMemory(link, request, {});
        QCOMPARE(outcome.kind, memory::DownloadOutcome::Kind::Saved);
        QCOMPARE(outcome.save.notices.value(0), notice);
        const QList<QByteArray> lines = readAll(outcome.save.memoryFile).split('\n');
        QCOMPARE(lines.at(0), "Total Records : " + QByteArray::number(records) + '\r');
        QVERIFY2(lines.at(1).startsWith(header), lines.at(1).constData());
        QCOMPARE(lines.at(2 + records).left(6), QByteArray::number(records).leftJustified(6));
    }
};

QTEST_GUILESS_MAIN(TestMemoryDownload)
#include "tst_memorydownload.moc"
