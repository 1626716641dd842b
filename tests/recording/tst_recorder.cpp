// The PC recorder driven tick by tick with a fake clock and a fake live reading, writing into a
// temporary directory: when samples are due and which date-time they carry, both stop rules,
// the 864000-row limit, the final file byte for byte, the captions, rows reaching the disk at
// every tick, and the single message and kept rows when a write fails; and the working-file
// guard against a lock left by a recorder that died or that this process marked unfinished:
// its rows go aside before the lock is taken over, a mere question (isHeld) never takes it
// over, a folder that cannot be written is named.

#include "recording/recorder.h"

#include "support/smalldisk.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using recording::Recorder;
using recording::Sample;
using recording::WorkFileGuard;

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
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// Each line keeps its CR; the last item is what follows the last line end.
QList<QByteArray> lines(const QString& path) {
    return readAll(path).split('\n');
}

// Data line n of a recording started at kStart, a row a second, of kRaw on four channels.
QByteArray row4(int n) {
    return QByteArray::number(n).leftJustified(6, ' ') + "\t" +
           kStart.addSecs(n).toString("yyyy/MM/dd hh:mm:ss").toLatin1() + "\tK" + kValues4;
}

// Every file the recorder writes from now on goes to one disk with `room` bytes left.
std::shared_ptr<qint64> onSmallDisk(Recorder& recorder, qint64 room) {
    auto disk = std::make_shared<qint64>(room);
    recorder.setFileOpener(
        [disk](const QString& path) { return std::make_unique<DiskFile>(path, disk); });
    return disk;
}

// A file whose way to the platter costs nothing, and whose bytes go nowhere unless it is
// the final file in the making: a recording of 864000 rows stays a short test.
class CheapFile : public recording::OutputFile {
public:
    using OutputFile::OutputFile;

protected:
    qint64 writeSome(int fd, const char* data, qint64 size) override {
        return path().endsWith(".part") ? OutputFile::writeSome(fd, data, size) : size;
    }
    int syncData(int) override { return 0; }
};

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

    // QR512.temp holding `bytes` and the lock that a killed recorder leaves beside it.
    QString leaveDeadRecording(const QByteArray& bytes) {
        const QString path = m_dir->filePath("QR512.temp");
        writeFile(path, bytes);
        writeFile(path + ".lock",
                  "2147483646\nqr512\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        return path;
    }

private slots:
    void init() {
        m_recorder.reset(); // before its folder goes
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_sample = Sample{kRaw, 'K', 4, live::TempUnit::Celsius};
    }

    void rowsReachTheDiskAtEveryTickAndTheFinalFileAtTheEnd() {
        Recorder& recorder = makeRecorder(kStart);
        QSignalSpy toggled(&recorder, &Recorder::recordingChanged);
        QSignalSpy finished(&recorder, &Recorder::finished);
        QVERIFY(recorder.startByRecords(10));
        const QString work = m_dir->filePath("QR512.temp");
        QVERIFY(WorkFileGuard::isHeld(m_dir->path() + "/./QR512.temp"));
        QCOMPARE(recorder.fileNameText(), QStringLiteral("20240105093015.txt"));
        QByteArray written = kHeader4 + kSeparator4;
        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(readAll(work), written);
            recorder.tick();
            written += row4(i);
        }
        QCOMPARE(readAll(work), written);
        QCOMPARE(recorder.countText(), QStringLiteral(" 3 / 10"));
        QCOMPARE(recorder.statusText(), QStringLiteral("Recording"));

        recorder.finishRecording(); // before the target: at once, with the rows so far
        QCOMPARE(toggled.count(), 2);
        const QString path = m_dir->filePath("20240105093015.txt");
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toString(), path);
        QCOMPARE(finished.at(0).at(1).toInt(), 3);
        const QByteArray blockEnd = kSeparator4 + "\r\n";
        QCOMPARE(readAll(path), "Total Records : 3\r\n" + written + blockEnd + blockEnd);
        QVERIFY(!WorkFileGuard::isHeld(work));
        // The working file keeps its rows until something else replaces it.
        QCOMPARE(readAll(work), written);
        QCOMPARE(recorder.fileNameText() + recorder.countText() + recorder.statusText(), QString());

        QVERIFY(recorder.startByTime(kStart.date(), QTime(10, 0, 0)));
        recorder.tick();
        QCOMPARE(recorder.countText(),
                 QStringLiteral("2024/01/05 09:30:16  ~  2024/01/05 10:00:00"));
    }

    void byTimeEndsAtTheFirstSampleLaterThanTheStopTime_data() {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<int>("stopAfter"); // seconds from the start to the stop time
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("ticks");
        QTest::addColumn<int>("rows");
        const QDateTime ten(QDate(2024, 3, 10), QTime(10, 0, 0));
        QTest::newRow("stop equal to now") << ten << 0 << 1 << 1 << 0;
        QTest::newRow("23:59:59 ends on the next day")
            << QDateTime(QDate(2024, 12, 31), QTime(23, 59, 50)) << 9 << 1 << 10 << 9;
        QTest::newRow("sample on the stop time is kept") << ten << 20 << 10 << 21 << 2;
        QTest::newRow("stop between samples") << ten << 25 << 10 << 21 << 2;
    }

    void byTimeEndsAtTheFirstSampleLaterThanTheStopTime() {
        QFETCH(QDateTime, start);
        QFETCH(int, stopAfter);
        QFETCH(int, interval);
        QFETCH(int, ticks);
        QFETCH(int, rows);
        Recorder& recorder = makeRecorder(start);
        recorder.setSamplingTime(interval);
        const QDateTime stopAt = start.addSecs(stopAfter);
        QVERIFY(recorder.startByTime(stopAt.date(), stopAt.time()));
        QCOMPARE(tickUntilStopped(recorder, 1000), ticks);

        const QList<QByteArray> file = lines(recorder.finalFilePath());
        QVERIFY(file.size() >= 4 + rows);
        QCOMPARE(file.at(0), "Total Records : " + QByteArray::number(rows) + "\r");
        // Row times are counted, not read: the last row is `rows` intervals after the start.
        if (rows > 0)
            QCOMPARE(file.at(2 + rows).mid(7, 19),
                     start.addSecs(rows * interval).toString("yyyy/MM/dd hh:mm:ss").toLatin1());
        QCOMPARE(file.at(3 + rows), QByteArray(135, '-') + "\r");
    }

    void newSamplingTimeTakesASampleAtTheNextTick() {
        Recorder& recorder = makeRecorder(kStart);
        recorder.setSamplingTime(5);
        QVERIFY(recorder.startByRecords(100));
        recorder.tick();
        recorder.tick();
        QCOMPARE(recorder.recordCount(), 1);
        recorder.setSamplingTime(3);
        recorder.tick();
        QCOMPARE(recorder.recordCount(), 2);
        recorder.setSamplingTime(0); // out of range: the shortest interval
        QCOMPARE(recorder.samplingTime(), 1);
        recorder.setSamplingTime(90000);
        QCOMPARE(recorder.samplingTime(), 86400);
    }

    void aLostMeterPausesTheRowsAndTheStampsShowTheGap_data() {
        QTest::addColumn<QString>("ticks");  // one letter a tick: '.' readings, 'x' meter lost
        QTest::addColumn<QString>("stamps"); // seconds after the start of each row's stamp
        QTest::addColumn<QString>("pauses"); // what the recorder said: 'p' paused, 'r' resumed
        QTest::newRow("lost in the middle") << QString(".xx.") << QString("1 4") << QString("pr");
        QTest::newRow("lost from the start") << QString("xx..") << QString("3 4") << QString("pr");
        QTest::newRow("lost to the end") << QString("..xx") << QString("1 2") << QString("p");
        QTest::newRow("lost twice") << QString(".x.x.") << QString("1 3 5") << QString("prpr");
    }

    void aLostMeterPausesTheRowsAndTheStampsShowTheGap() {
        QFETCH(QString, ticks);
        QFETCH(QString, stamps);
        QFETCH(QString, pauses);
        Recorder& recorder = makeRecorder(kStart);
        QSignalSpy said(&recorder, &Recorder::pauseChanged);
        QVERIFY(recorder.startByRecords(100));
        for (const QChar tick : ticks) {
            m_sample.lost = tick == u'x';
            recorder.tick();
            QCOMPARE(recorder.statusText(), m_sample.lost ? "Paused" : "Recording");
        }
        QString got;
        for (const QList<QVariant>& args : said)
            got += args.at(0).toBool() ? u'p' : u'r';
        QCOMPARE(got, pauses);
        recorder.finishRecording();
        QStringList rowStamps;
        for (const QByteArray& line : lines(recorder.finalFilePath()).mid(3, 3))
            if (line.contains("\t2024/"))
                rowStamps << QString::number(kStart.secsTo(QDateTime::fromString(
                    QString::fromLatin1(line.split('\t').at(1)), "yyyy/MM/dd hh:mm:ss")));
        QCOMPARE(rowStamps.join(u' '), stamps);
    }

    void fileKeepsItsStartChannelCountAndListsTheEndUnit() {
        m_sample.channelCount = 2;
        Recorder& recorder = makeRecorder(kStart);
        QVERIFY(recorder.startByRecords(5));
        recorder.tick();
        m_sample.channelCount = 4; // another meter plugged in meanwhile
        m_sample.type = 0;         // and no valid type
        tickUntilStopped(recorder, 4);
        m_sample.displayUnit = live::TempUnit::Fahrenheit;
        tickUntilStopped(recorder, 10);
        const QList<QByteArray> file = lines(recorder.finalFilePath());
        QCOMPARE(file.at(2), QByteArray(87, '-') + "\r");
        const QByteArray values2 = "\t  25.0\t   0.0\t  77.0\t  32.0\t 298.0\t 273.0\r";
        QCOMPARE(file.at(3), "1     \t2024/01/05 09:30:16\tK" + values2);
        // No type decoded: a blank keeps the columns, nothing is made up.
        QCOMPARE(file.at(4), "2     \t2024/01/05 09:30:17\t " + values2);
        QCOMPARE(file.at(9), QByteArray("Top 5 Max T1 Fahrenheit Value : \r"));
        QCOMPARE(file.at(10), QByteArray("2024/01/05 09:30:16****77.0\r"));
    }

    void stopsAtTheRowLimit() {
        Recorder& recorder = makeRecorder(kStart);
        recorder.setFileOpener(
            [](const QString& path) { return std::make_unique<CheapFile>(path); });
        QVERIFY(recorder.startByRecords(2000000));
        QCOMPARE(tickUntilStopped(recorder, 900000), 864001);
        const QByteArray file = readAll(recorder.finalFilePath());
        QVERIFY(file.startsWith("Total Records : 864000\r\n"));
        QVERIFY(file.contains("\r\n864000\t2024/01/15 09:30:15\t"));
    }

    void startIsRefusedWithOneMessage() {
        Recorder& first = makeRecorder(kStart);
        Recorder second([] { return kStart; }, [] { return Sample{}; });
        second.setWorkingDirectory(m_dir->path());
        QSignalSpy errors(&second, &Recorder::errorOccurred);
        QSignalSpy toggled(&second, &Recorder::recordingChanged);
        QVERIFY(first.startByRecords(5));
        first.tick();
        QVERIFY(!second.startByRecords(5));
        QCOMPARE(errors.count(), 1);
        QVERIFY2(errors.at(0).at(0).toString().startsWith(
                     "Recording not started: another recording (process "),
                 qPrintable(errors.at(0).at(0).toString()));
        // The running one's rows are untouched.
        QCOMPARE(readAll(first.workFilePath()), kHeader4 + kSeparator4 + row4(1));
        first.finishRecording();

        second.setWorkingDirectory(m_dir->filePath("missing"));
        QVERIFY(!second.startByRecords(3));
        QVERIFY(!second.isRecording() && !second.ownsWorkFile());
        QCOMPARE(toggled.count(), 0);
        QCOMPARE(errors.count(), 2);
        const QString message = errors.at(1).at(0).toString();
        QVERIFY2(message.startsWith("Recording not started: could not write QR512.temp: "),
                 qPrintable(message));
        QVERIFY2(message.size() > 52, qPrintable(message)); // the reason follows
        second.tick();
        QCOMPARE(errors.count(), 2);
        second.setWorkingDirectory(m_dir->path());
        QVERIFY(second.startByRecords(5));
    }

    void fullDiskDuringTheRecordingLosesNoRow() {
        Recorder& recorder = makeRecorder(kStart);
        // Header, two rows and half of the third fit; then the disk is full.
        const auto disk =
            onSmallDisk(recorder, kHeader4.size() + kSeparator4.size() + 2 * row4(1).size() + 40);
        QSignalSpy warnings(&recorder, &Recorder::warningOccurred);
        QSignalSpy finished(&recorder, &Recorder::finished);
        QVERIFY(recorder.startByRecords(6));
        for (int i = 0; i < 4; ++i)
            recorder.tick();
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(warnings.at(0).at(0).toString(),
                 "Could not write QR512.temp: No space left on device. The recording goes on "
                 "and keeps every row; they go into 20240105093015.txt at the end.");

        *disk = 1 << 20; // room again: the torn third row is replaced, rows 3 and 4 follow
        recorder.tick();
        QCOMPARE(readAll(recorder.workFilePath()),
                 kHeader4 + kSeparator4 + row4(1) + row4(2) + row4(3) + row4(4) + row4(5));
        QCOMPARE(tickUntilStopped(recorder, 10), 2); // row 6, then the tick that ends it
        QCOMPARE(warnings.count(), 1);
        QCOMPARE(finished.count(), 1);
        const QList<QByteArray> file = lines(recorder.finalFilePath());
        QCOMPARE(file.at(0), QByteArray("Total Records : 6\r"));
        QCOMPARE(file.at(8) + "\n", row4(6));
    }

    void fullDiskAtTheFinalFileKeepsTheRows_data() {
        QTest::addColumn<int>("rowsThatFit"); // in the working file, before the final file
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("kept");
        const QString full = "No space left on device";
        QTest::newRow("working file complete")
            << 3 << full << "The rows recorded so far are kept in ";
        QTest::newRow("working file behind") << 1 << full << "Rows 1 to 1 are kept in ";
        // A folder in the way of the final name is never written into or replaced.
        QTest::newRow("folder in the way") << -1 << "it is a folder"
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
            onSmallDisk(recorder,
                        kHeader4.size() + kSeparator4.size() + rowsThatFit * row4(1).size() + 30);
        }
        QSignalSpy errors(&recorder, &Recorder::errorOccurred);
        QVERIFY(recorder.startByRecords(3));
        tickUntilStopped(recorder, 10);
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
        for (int i = 1; i <= rowsThatFit; ++i)
            expected += row4(i);
        QCOMPARE(readAll(keptPath), expected);
        if (rowsThatFit < 3)
            QVERIFY2(message.endsWith("; rows 2 to 3 could not be written anywhere (QR512.temp: "
                                      "No space left on device)."),
                     qPrintable(message));
    }

    void deadHoldersRowsGoAsideFirst_data() {
        QTest::addColumn<QByteArray>("work"); // what the dead recorder left in QR512.temp
        QTest::addColumn<bool>("cutShort");   // and the final file it was writing
        QTest::addColumn<QString>("notice");  // %1 the kept rows, %2 the final file cut short
        QTest::addColumn<bool>("marked");     // the lock was left by this process (leaveMarked)
        const QByteArray head = kHeader4 + kSeparator4;
        const QString kept = "An earlier recording did not finish; its rows are kept in %1.";
        QTest::newRow("rows") << head + row4(1) + row4(2) << false << kept << false;
        // No recording holds it any more, though this process lives on.
        QTest::newRow("marked by this process") << head + row4(1) << false << kept << true;
        QTest::newRow("rows, final file cut short")
            << head + row4(1) << true
            << kept + " Its final file was cut short and is left as it was: %2." << false;
        QTest::newRow("torn last row") << head + row4(1).left(12) << false << kept << false;
        QTest::newRow("header only, final file cut short")
            << head << true
            << "An earlier recording did not finish; its final file was cut short and is left "
               "as it was: %2."
            << false;
        QTest::newRow("empty") << QByteArray() << false << "" << false;
    }

    void deadHoldersRowsGoAsideFirst() {
        QFETCH(QByteArray, work);
        QFETCH(bool, cutShort);
        QFETCH(QString, notice);
        QFETCH(bool, marked);
        const bool keep = notice.contains("%1"); // the notice names where the rows went
        const QString part = m_dir->filePath("20240105093015.txt.part");
        if (cutShort)
            writeFile(part, "Total Records : 1\r\n");
        writeFile(m_dir->filePath("memory-20240105093015.txt.part"), "not a recording's");
        const QString path = marked ? m_dir->filePath("QR512.temp") : leaveDeadRecording(work);
        if (marked) {
            WorkFileGuard left(path);
            QVERIFY(left.acquired());
            writeFile(path, work);
            left.leaveMarked();
        }
        // Asking leaves the mark in place for whoever takes the file.
        QVERIFY(!WorkFileGuard::isHeld(path));
        QVERIFY(QFile::exists(path + ".lock"));

        WorkFileGuard guard(path);
        QVERIFY(guard.acquired());
        const QStringList kept = QDir(m_dir->path()).entryList({"QR512-unfinished-*.txt"});
        QCOMPARE(kept.size(), keep ? 1 : 0);
        QCOMPARE(guard.keptUnfinished(), keep ? m_dir->filePath(kept.first()) : QString());
        if (keep) {
            QCOMPARE(readAll(guard.keptUnfinished()), work);
            QVERIFY(!QFile::exists(path));
        }
        QCOMPARE(guard.takeOverNotice(), notice.replace("%1", guard.keptUnfinished())
                                             .replace("%2", QDir::toNativeSeparators(part)));
        QCOMPARE(QFile::exists(part), cutShort); // named, never removed
        QVERIFY(WorkFileGuard::isHeld(path));
    }

    void deadHolderInAFolderThatCannotBeWritten_data() {
        QTest::addColumn<QByteArray>("work");
        QTest::addColumn<QString>("refusal"); // %2: the system's reason
        QTest::newRow("no rows") << kHeader4 + kSeparator4 << "the folder %1 cannot be written";
        QTest::newRow("rows") << kHeader4 + kSeparator4 + row4(1)
                              << "QR512.temp holds the rows of an earlier recording that did "
                                 "not finish, and they could not be moved aside: %2.";
    }

    // A read-only mount where the system allows one (as root), else a folder without the right
    // to write, which binds every user but root.
    void deadHolderInAFolderThatCannotBeWritten() {
        QFETCH(QByteArray, work);
        QFETCH(QString, refusal);
        const QString dir = m_dir->path();
        const bool root = ::geteuid() == 0;
        const bool mounted = root && QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k",
                                                                 "tmpfs", dir}) == 0;
        if (root && !mounted)
            QSKIP("no tmpfs can be mounted here");
        const auto restore = qScopeGuard([&] {
            if (mounted)
                QProcess::execute("umount", {dir});
            else
                QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        const QString path = leaveDeadRecording(work);
        if (mounted)
            QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", dir}), 0);
        else
            QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner));

        WorkFileGuard guard(path);
        QVERIFY(!guard.acquired());
        QCOMPARE(guard.holderPid(), qint64(0)); // no process is said to be recording
        QCOMPARE(guard.refusal(),
                 refusal.replace("%1", dir).replace("%2", mounted ? "Read-only file system"
                                                                  : "Permission denied"));
        QVERIFY(QFile::exists(path + ".lock"));
    }

    void typedRecordCounts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("count"); // -1: not a number
        QTest::newRow("zero") << "0" << qint64(1);
        QTest::newRow("half to even down") << "2.5" << qint64(2);
        QTest::newRow("beyond the limit") << "2000000" << qint64(2000000);
        QTest::newRow("empty") << "" << qint64(-1);
    }

    void typedRecordCounts() {
        QFETCH(QString, text);
        QFETCH(qint64, count);
        QCOMPARE(recording::parseRecordCount(text).value_or(-1), count);
    }
};

QTEST_GUILESS_MAIN(TestRecorder)
#include "tst_recorder.moc"
