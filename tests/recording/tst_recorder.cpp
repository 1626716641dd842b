// The PC recorder driven tick by tick with a fake clock and a fake live reading, writing into a
// temporary directory: when samples are due and which date-time they carry, both stop rules,
// the 864000-row limit, the final file byte for byte, the captions, rows reaching the disk at
// every tick, and the single message and kept rows when a write fails.

#include "recording/recorder.h"

#include "recording/datafile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <memory>

using recording::Recorder;
using recording::Sample;

namespace {

const QDateTime kStart(QDate(2024, 1, 5), QTime(9, 30, 15));

// 25.0 C / 77.0 F / 298.0 K, 0.0 C / 32.0 F / 273.0 K, over range, under range
constexpr std::array<quint16, 4> kRaw{5130, 4680, 65535, 0};

const QByteArray kHeader4 = "No.s \t      Date Time    \tType\t   T1C\t   T2C\t   T3C\t   T4C\t   "
                            "T1F\t   T2F\t   T3F\t   T4F\t   T1K\t   T2K\t   T3K\t   T4K\r\n";
const QByteArray kValues4 = "\t  25.0\t   0.0\t    OL\t   -OL\t  77.0\t  32.0\t    OL\t   -OL\t "
                            "298.0\t 273.0\t    OL\t   -OL\r\n";
const QByteArray kSeparator4 = QByteArray(135, '-') + "\r\n";

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    return file.readAll();
}

QList<QByteArray> lines(const QByteArray& text) {
    QList<QByteArray> result = text.split('\n');
    if (!result.isEmpty() && result.last().isEmpty()) {
        result.removeLast();
    }
    for (QByteArray& line : result) {
        if (line.endsWith('\r')) {
            line.chop(1);
        }
    }
    return result;
}

// A disk with room for so many more bytes, shared by every file written on it.
struct Disk {
    qint64 room = 0;
};

class DiskFile : public recording::OutputFile {
public:
    DiskFile(const QString& path, std::shared_ptr<Disk> disk)
        : OutputFile(path)
        , m_disk(std::move(disk)) {}

protected:
    qint64 writeSome(int fd, const char* data, qint64 size) override {
        if (m_disk->room <= 0) {
            errno = ENOSPC;
            return -1;
        }
        const qint64 n = OutputFile::writeSome(fd, data, std::min(size, m_disk->room));
        m_disk->room -= std::max<qint64>(n, 0);
        return n;
    }

private:
    std::shared_ptr<Disk> m_disk;
};

recording::Recorder::FileOpener onDisk(const std::shared_ptr<Disk>& disk) {
    return [disk](const QString& path) { return std::make_unique<DiskFile>(path, disk); };
}

// A file whose bytes count but whose way to the platter does not (a long test stays short).
class UnsyncedFile : public recording::OutputFile {
public:
    using OutputFile::OutputFile;

protected:
    int syncData(int) override { return 0; }
};

// Swallows everything, as fast as it comes.
class NowhereFile : public UnsyncedFile {
public:
    NowhereFile()
        : UnsyncedFile(QStringLiteral("/dev/null")) {}

protected:
    qint64 writeSome(int, const char*, qint64 size) override { return size; }
};

QByteArray row4(int number, const char* stamp) {
    return QByteArray::number(number).leftJustified(6, ' ') + "\t" + stamp + "\tK" + kValues4;
}

} // namespace

class TestRecorder : public QObject {
    Q_OBJECT

private:
    QDateTime m_now;
    Sample m_sample;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Recorder> m_recorder;

    Recorder& makeRecorder(const QDateTime& now) {
        m_now = now;
        m_recorder =
            std::make_unique<Recorder>([this] { return m_now; }, [this] { return m_sample; });
        m_recorder->setWorkingDirectory(m_dir->path());
        return *m_recorder;
    }

    // Ticks until the recording ends; the number of ticks it took.
    int tickUntilStopped(Recorder& recorder, int limit) {
        int ticks = 0;
        while (recorder.isRecording() && ticks < limit) {
            recorder.tick();
            ++ticks;
        }
        return ticks;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_sample = Sample{kRaw, 'K', 4, live::TempUnit::Celsius};
    }

    void cleanup() {
        m_recorder.reset();
        m_dir.reset();
    }

    void byRecordsWritesTheTargetThenTheFinalFile() {
        Recorder& recorder = makeRecorder(kStart);
        QSignalSpy finished(&recorder, &Recorder::finished);
        QVERIFY(recorder.startByRecords(3));
        QCOMPARE(recorder.finalFileName(), QStringLiteral("20240105093015.txt"));

        for (int i = 1; i <= 3; ++i) {
            recorder.tick();
            QVERIFY(recorder.isRecording());
            QCOMPARE(recorder.recordCount(), i);
        }
        QCOMPARE(finished.count(), 0);
        recorder.tick();
        QVERIFY(!recorder.isRecording());
        QCOMPARE(finished.count(), 1);
        const QString path = QDir(m_dir->path()).filePath("20240105093015.txt");
        QCOMPARE(finished.at(0).at(0).toString(), path);
        QCOMPARE(finished.at(0).at(1).toInt(), 3);

        const QByteArray blockEnd = kSeparator4 + "\r\n";
        const QByteArray expected =
            "Total Records : 3\r\n" + kHeader4 + kSeparator4 + "1     \t2024/01/05 09:30:16\tK" +
            kValues4 + "2     \t2024/01/05 09:30:17\tK" + kValues4 +
            "3     \t2024/01/05 09:30:18\tK" + kValues4 + blockEnd + blockEnd;
        QCOMPARE(readAll(path), expected);
        QCOMPARE(recorder.recordCount(), 0);
    }

    void rowsAreOnDiskAfterEveryTick() {
        Recorder& recorder = makeRecorder(kStart);
        QSignalSpy toggled(&recorder, &Recorder::recordingChanged);
        QVERIFY(recorder.startByRecords(10));
        const QString work = QDir(m_dir->path()).filePath("QR512.temp");
        QCOMPARE(readAll(work), kHeader4 + kSeparator4);
        QVERIFY(recorder.ownsWorkFile());
        QVERIFY(recording::WorkFileGuard::isHeld(m_dir->path() + "/./QR512.temp"));

        m_sample.raw = {6480, 6480, 6480, 6480}; // 100.0 C everywhere
        recorder.tick();
        recorder.tick();
        const QList<QByteArray> onDisk = lines(readAll(work));
        QCOMPARE(onDisk.size(), 4);
        QCOMPARE(onDisk.at(3),
                 QByteArray("2     \t2024/01/05 09:30:17\tK\t 100.0\t 100.0\t 100.0\t "
                            "100.0\t 212.0\t 212.0\t 212.0\t 212.0\t 373.0\t 373.0\t "
                            "373.0\t 373.0"));

        recorder.finishRecording(); // saved before the target: at once, with the rows so far
        QCOMPARE(toggled.count(), 2);
        QCOMPARE(lines(readAll(recorder.finalFilePath())).at(0), QByteArray("Total Records : 2"));
        QVERIFY(!recorder.ownsWorkFile());
        QVERIFY(!recording::WorkFileGuard::isHeld(work));
        // The working file keeps its rows until something else replaces it.
        QCOMPARE(lines(readAll(work)).size(), 4);
    }

    void byTimeEndsAtTheFirstSampleLaterThanTheStopTime_data() {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("stopAt");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QByteArray>("lastStamp");

        const QDate day(2024, 3, 10);
        QTest::newRow("stop equal to now")
            << QDateTime(day, QTime(10, 0, 0)) << QDateTime(day, QTime(10, 0, 0)) << 1 << 1 << 0
            << QByteArray();
        QTest::newRow("23:59:59 ends on the next day")
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 50))
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 59)) << 1 << 10 << 9
            << QByteArray("2024/12/31 23:59:59");
        QTest::newRow("sample on the stop time is kept")
            << QDateTime(day, QTime(10, 0, 0)) << QDateTime(day, QTime(10, 0, 20)) << 10 << 21 << 2
            << QByteArray("2024/03/10 10:00:20");
        QTest::newRow("stop between samples")
            << QDateTime(day, QTime(10, 0, 0)) << QDateTime(day, QTime(10, 0, 25)) << 10 << 21 << 2
            << QByteArray("2024/03/10 10:00:20");
    }

    void byTimeEndsAtTheFirstSampleLaterThanTheStopTime() {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, stopAt);
        QFETCH(int, interval);
        QFETCH(int, ticks);
        QFETCH(int, rows);
        QFETCH(QByteArray, lastStamp);

        Recorder& recorder = makeRecorder(start);
        recorder.setSamplingTime(interval);
        QVERIFY(recorder.startByTime(stopAt.date(), stopAt.time()));
        QCOMPARE(tickUntilStopped(recorder, 1000), ticks);

        const QList<QByteArray> file =
            lines(readAll(QDir(m_dir->path()).filePath(start.toString("yyyyMMddhhmmss") + ".txt")));
        QVERIFY(file.size() >= 3 + rows);
        QCOMPARE(file.at(0), "Total Records : " + QByteArray::number(rows));
        if (rows > 0) {
            QCOMPARE(file.at(2 + rows).mid(7, 19), lastStamp);
        }
        QCOMPARE(file.at(3 + rows), QByteArray(135, '-'));
    }

    void newSamplingTimeTakesASampleAtTheNextTick() {
        Recorder& recorder = makeRecorder(kStart);
        recorder.setSamplingTime(5);
        QVERIFY(recorder.startByRecords(100));
        recorder.tick();
        recorder.tick();
        QCOMPARE(recorder.recordCount(), 1);
        recorder.setSamplingTime(0); // out of range: the shortest interval
        QCOMPARE(recorder.samplingTime(), 1);
        QCOMPARE(recorder.sampleCounter(), 0);
        recorder.tick();
        QCOMPARE(recorder.recordCount(), 2);
        recorder.setSamplingTime(90000);
        QCOMPARE(recorder.samplingTime(), 86400);
    }

    void captionsFollowTheRecording() {
        Recorder& recorder = makeRecorder(kStart);
        QVERIFY(recorder.startByRecords(100));
        QCOMPARE(recorder.fileNameText(), QStringLiteral("20240105093015.txt"));
        for (int i = 0; i < 7; ++i) {
            recorder.tick();
        }
        QCOMPARE(recorder.countText(), QStringLiteral("  7 / 100"));
        QCOMPARE(recorder.statusText(), QStringLiteral("Recording"));
        recorder.finishRecording();
        QCOMPARE(recorder.fileNameText(), QString());
        QCOMPARE(recorder.countText(), QString());
        QCOMPARE(recorder.statusText(), QString());

        QVERIFY(recorder.startByTime(kStart.date(), QTime(10, 0, 0)));
        recorder.tick();
        QCOMPARE(recorder.countText(),
                 QStringLiteral("2024/01/05 09:30:16  ~  2024/01/05 10:00:00"));
    }

    void fileKeepsTheChannelCountOfItsStart() {
        m_sample.channelCount = 2;
        Recorder& recorder = makeRecorder(kStart);
        QVERIFY(recorder.startByRecords(2));
        recorder.tick();
        m_sample.channelCount = 4; // another meter plugged in meanwhile
        m_sample.type = 0;         // and no valid type
        recorder.tick();
        recorder.tick();
        const QList<QByteArray> file = lines(readAll(recorder.finalFilePath()));
        QCOMPARE(file.at(2), QByteArray(87, '-'));
        const QByteArray values2 = "\t  25.0\t   0.0\t  77.0\t  32.0\t 298.0\t 273.0";
        QCOMPARE(file.at(3), "1     \t2024/01/05 09:30:16\tK" + values2);
        // No type decoded: a blank keeps the columns, nothing is made up.
        QCOMPARE(file.at(4), "2     \t2024/01/05 09:30:17\t " + values2);
    }

    void trailerListsTheUnitShownAtTheEnd() {
        Recorder& recorder = makeRecorder(kStart);
        QVERIFY(recorder.startByRecords(5));
        tickUntilStopped(recorder, 4);
        m_sample.displayUnit = live::TempUnit::Fahrenheit;
        tickUntilStopped(recorder, 10);
        const QList<QByteArray> file =
            lines(readAll(QDir(m_dir->path()).filePath("20240105093015.txt")));
        QCOMPARE(file.at(9), QByteArray("Top 5 Max T1 Fahrenheit Value : "));
        QCOMPARE(file.at(10), QByteArray("2024/01/05 09:30:16****77.0"));
    }

    void stopsAtTheRowLimit() {
        Recorder& recorder = makeRecorder(kStart);
        // Rows go nowhere on the way; only the final file is real.
        recorder.setFileOpener([](const QString& path) -> std::unique_ptr<recording::OutputFile> {
            if (path.endsWith(".part"))
                return std::make_unique<UnsyncedFile>(path);
            return std::make_unique<NowhereFile>();
        });
        QVERIFY(recorder.startByRecords(2000000));
        QCOMPARE(tickUntilStopped(recorder, 900000), recording::kMaxRecords + 1);
        QFile file(recorder.finalFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readLine(), QByteArray("Total Records : 864000\r\n"));
        QByteArray last;
        for (QByteArray line = file.readLine(); !line.isEmpty(); line = file.readLine()) {
            if (line.startsWith("864000\t")) {
                last = line;
            }
        }
        QCOMPARE(last.left(26), QByteArray("864000\t2024/01/15 09:30:15"));
    }

    void startFailsWithOneMessage_data() {
        QTest::addColumn<QString>("setup");
        QTest::newRow("directory gone") << "gone";
        QTest::newRow("disk full") << "full";
    }

    void startFailsWithOneMessage() {
        QFETCH(QString, setup);
        Recorder& recorder = makeRecorder(kStart);
        if (setup == "gone") {
            recorder.setWorkingDirectory(m_dir->filePath("missing"));
        } else {
            QVERIFY(QFile::link("/dev/full", m_dir->filePath("QR512.temp")));
        }
        QSignalSpy errors(&recorder, &Recorder::errorOccurred);
        QSignalSpy toggled(&recorder, &Recorder::recordingChanged);
        QVERIFY(!recorder.startByRecords(3));
        QVERIFY(!recorder.isRecording());
        QVERIFY(!recorder.ownsWorkFile());
        QCOMPARE(toggled.count(), 0);
        QCOMPARE(errors.count(), 1);
        const QString message = errors.at(0).at(0).toString();
        QVERIFY2(message.startsWith("Recording not started: could not write QR512.temp: "),
                 qPrintable(message));
        QVERIFY2(message.size() > 52, qPrintable(message)); // the reason follows
        recorder.tick();
        QCOMPARE(errors.count(), 1);
    }

    void fullDiskDuringTheRecordingLosesNoRow() {
        Recorder& recorder = makeRecorder(kStart);
        // Header, two rows and half of the third fit; then the disk is full.
        auto disk = std::make_shared<Disk>();
        disk->room =
            kHeader4.size() + kSeparator4.size() + 2 * row4(1, "2024/01/05 09:30:16").size() + 40;
        recorder.setFileOpener(onDisk(disk));
        QSignalSpy warnings(&recorder, &Recorder::warningOccurred);
        QSignalSpy errors(&recorder, &Recorder::errorOccurred);
        QSignalSpy finished(&recorder, &Recorder::finished);
        QVERIFY(recorder.startByRecords(6));
        for (int i = 0; i < 4; ++i)
            recorder.tick();
        QVERIFY(recorder.isRecording());
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.at(0).at(0).toString(),
                 "Could not write QR512.temp: No space left on device. The recording goes on "
                 "and keeps every row; they go into 20240105093015.txt at the end.");

        disk->room = 1 << 20; // room again: the torn third row is replaced, rows 3 and 4 follow
        recorder.tick();
        QCOMPARE(readAll(recorder.workFilePath()),
                 kHeader4 + kSeparator4 + row4(1, "2024/01/05 09:30:16") +
                     row4(2, "2024/01/05 09:30:17") + row4(3, "2024/01/05 09:30:18") +
                     row4(4, "2024/01/05 09:30:19") + row4(5, "2024/01/05 09:30:20"));
        tickUntilStopped(recorder, 10);
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(errors.count(), 0);
        QCOMPARE(finished.count(), 1);
        const QList<QByteArray> file = lines(readAll(recorder.finalFilePath()));
        QCOMPARE(file.at(0), QByteArray("Total Records : 6"));
        QCOMPARE(file.at(8) + "\r\n", row4(6, "2024/01/05 09:30:21"));
    }

    void fullDiskAtTheFinalFileKeepsTheRows_data() {
        QTest::addColumn<int>("rowsThatFit"); // in the working file, before the final file
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("kept");
        const QString full = "No space left on device";
        QTest::newRow("working file complete")
            << 3 << full << "The rows recorded so far are kept in ";
        QTest::newRow("working file behind") << 1 << full << "Rows 1 to 1 are kept in ";
        // A folder in the way of the final name: the rename into place fails.
        QTest::newRow("rename refused") << -1 << "Is a directory"
                                        << "The rows recorded so far are kept in ";
    }

    void fullDiskAtTheFinalFileKeepsTheRows() {
        QFETCH(int, rowsThatFit);
        QFETCH(QString, reason);
        QFETCH(QString, kept);
        Recorder& recorder = makeRecorder(kStart);
        if (rowsThatFit < 0) {
            QVERIFY(QDir(m_dir->path()).mkdir("20240105093015.txt"));
            rowsThatFit = 3;
        } else {
            auto disk = std::make_shared<Disk>();
            disk->room = kHeader4.size() + kSeparator4.size() +
                         rowsThatFit * row4(1, "2024/01/05 09:30:16").size() + 30;
            recorder.setFileOpener(onDisk(disk));
        }
        QSignalSpy errors(&recorder, &Recorder::errorOccurred);
        QSignalSpy finished(&recorder, &Recorder::finished);
        QVERIFY(recorder.startByRecords(3));
        tickUntilStopped(recorder, 10);
        QCOMPARE(finished.count(), 0);
        QCOMPARE(errors.count(), 1);
        // Nothing half-written under the final name or beside it; the rows moved aside.
        const QStringList files = QDir(m_dir->path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY2(files.first().startsWith("QR512-unfinished-"), qPrintable(files.first()));
        const QString keptPath = QDir(m_dir->path()).filePath(files.first());
        const QString message = errors.at(0).at(0).toString();
        QVERIFY2(message.startsWith("Recording stopped: could not write 20240105093015.txt: " +
                                    reason + ". " + kept + QDir::toNativeSeparators(keptPath)),
                 qPrintable(message));
        QByteArray expected = kHeader4 + kSeparator4;
        const char* stamps[] = {"2024/01/05 09:30:16", "2024/01/05 09:30:17",
                                "2024/01/05 09:30:18"};
        for (int i = 0; i < rowsThatFit; ++i)
            expected += row4(i + 1, stamps[i]);
        QCOMPARE(readAll(keptPath), expected);
        if (rowsThatFit < 3)
            QVERIFY2(message.endsWith("; rows 2 to 3 could not be written anywhere (QR512.temp: "
                                      "No space left on device)."),
                     qPrintable(message));
        // The next recording starts afresh beside them.
        recorder.setFileOpener({});
        QVERIFY(recorder.startByRecords(1));
        QCOMPARE(readAll(keptPath), expected);
    }

    void oneRecordingPerFolder() {
        Recorder& first = makeRecorder(kStart);
        Recorder second([] { return kStart; }, [] { return Sample{}; });
        second.setWorkingDirectory(m_dir->path());
        QSignalSpy refused(&second, &Recorder::errorOccurred);
        QVERIFY(first.startByRecords(5));
        first.tick();
        QVERIFY(!second.startByRecords(5));
        QCOMPARE(refused.count(), 1);
        QVERIFY2(refused.at(0).at(0).toString().startsWith(
                     "Recording not started: another recording (process "),
                 qPrintable(refused.at(0).at(0).toString()));
        // The running one's rows are untouched.
        QCOMPARE(lines(readAll(first.workFilePath())).size(), 3);
        first.finishRecording();
        QVERIFY(second.startByRecords(5));
    }

    void typedRecordCounts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("count"); // -1: not a number
        QTest::newRow("zero") << "0" << qint64(1);
        QTest::newRow("negative") << "-5" << qint64(1);
        QTest::newRow("half to even down") << "2.5" << qint64(2);
        QTest::newRow("beyond the limit") << "2000000" << qint64(2000000);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("letters") << "ten" << qint64(-1);
    }

    void typedRecordCounts() {
        QFETCH(QString, text);
        QFETCH(qint64, count);
        const std::optional<qint64> parsed = recording::parseRecordCount(text);
        QCOMPARE(parsed.value_or(-1), count);
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
