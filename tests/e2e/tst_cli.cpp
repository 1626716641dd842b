// The headless command line end to end: the qr512 binary against the virtual meter (in its
// own qr512-sim process or built in with --simulate), in real time. What it prints, the data
// file it writes compared byte for byte, SIGTERM in the middle of a recording, and every usage
// error's exit status and message, and a recording that meets a full disk.

#include "clirun.h"
#include "recording/datafile.h"
#include "recording/datarow.h"
#include "sim/virtualmeter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {

using testsupport::Run;
using testsupport::runQr512;

// Starts a recording of 1000 rows on the built-in meter and waits until `rows` of them are in
// the working file, where rows land as they are recorded.
bool startLongRecording(QProcess& p, const QString& dir, int rows) {
    p.start(QStringLiteral(QR512_BINARY),
            {"record", "--simulate", "--records", "1000", "--dir", dir});
    if (!p.waitForStarted())
        return false;
    QFile work(QDir(dir).filePath(QStringLiteral("QR512.temp")));
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QTest::qWait(100)) {
        if (work.open(QIODevice::ReadOnly)) {
            const bool enough = work.readAll().count("\r\n") >= 2 + rows; // header, separator
            work.close();
            if (enough)
                return true;
        }
    }
    return false;
}

// qr512-sim with fixed readings on a pseudo-terminal; stops with the object.
class SimProcess {
public:
    bool start(const QStringList& faults = {}) {
        m_process.start(QStringLiteral(QR512_SIM_BINARY), QStringList{"--fixed"} + faults);
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(5000))
                return false;
        device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
        return !device.isEmpty();
    }
    ~SimProcess() {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    QString device;

private:
    QProcess m_process;
};

QString finalFile(const QString& dir) {
    const QStringList files = QDir(dir).entryList({QStringLiteral("*.txt")}, QDir::Files);
    return files.size() == 1 ? QDir(dir).filePath(files.first()) : QString();
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
private slots:
    // A zone with daylight saving, so that a skipped hour exists for the children.
    void initTestCase() { qputenv("TZ", "Europe/Berlin"); }

    void usageErrors_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("records below 1")
            << QStringList{"record", "--simulate", "--records", "0"} << "--records";
        QTest::newRow("interval 0")
            << QStringList{"record", "--simulate", "--records", "3", "--interval", "0"}
            << "--interval";
        QTest::newRow("stop time in the past")
            << QStringList{"record", "--simulate", "--until", "2020/01/01 00:00:00"} << "past";
        QTest::newRow("a time in the hour daylight saving skips is still a time")
            << QStringList{"record", "--simulate", "--until", "2024/03/31 02:30:00"} << "past";
        QTest::newRow("stop time garbled")
            << QStringList{"record", "--simulate", "--until", "tomorrow"} << "--until";
        QTest::newRow("neither stop rule") << QStringList{"record", "--simulate"} << "--records";
        QTest::newRow("unknown device")
            << QStringList{"record", "--port", "/dev/no-such-meter", "--records", "1"}
            << "/dev/no-such-meter";
        QTest::newRow("not a serial port")
            << QStringList{"live", "--port", "/dev/null"} << "--port: not a serial port: /dev/null";
        QTest::newRow("missing folder")
            << QStringList{"record", "--simulate", "--records", "1", "--dir", "/no/such/folder"}
            << "--dir";
        QTest::newRow("live count 0")
            << QStringList{"live", "--simulate", "--count", "0"} << "--count";
        QTest::newRow("unknown option") << QStringList{"live", "--colour"} << "colour";
        QTest::newRow("send 256") << QStringList{"send", "--simulate", "E", "4", "256"}
                                  << "Byte 2 (\"256\") is not a value from 0 to 255";
        QTest::newRow("limits: no such limit")
            << QStringList{"limits", "--simulate", "--set", "T5H=10"} << "--set";
        QTest::newRow("beep count 9") << QStringList{"beep", "--count", "9"} << "--count";
    }

    void usageErrors() {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const Run run = runQr512(args);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
    }

    void liveCountPrintsThatManyLines() {
        const Run run = runQr512({"live", "--simulate", "--count", "3"});
        QCOMPARE(run.exitCode, 0);
        const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        static const QRegularExpression shape(
            QStringLiteral(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d  type=K channels=4 unit=C )"
                           R"(T1=\S+ T2=\S+ T3=\S+ T4=\S+ memory=\d+$)"));
        for (const QString& line : lines)
            QVERIFY2(shape.match(line).hasMatch(), qPrintable(line));
    }

    void recordWritesTheExactFile() {
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const Run run = runQr512({"record", "--port", sim.device, "--records", "3", "--interval",
                                  "1", "--dir", dir.path(), "--timeout", "20"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString path = finalFile(dir.path());
        QVERIFY(!path.isEmpty());
        QVERIFY(run.out.contains(QFileInfo(path).fileName()));

        // The rows the meter served: its fixed readings, stamped start + 1 s, + 2 s, + 3 s.
        const auto start = recording::stampFromText(
            QFileInfo(path)
                .baseName()
                .replace(QRegularExpression(
                             QStringLiteral("^(\\d{4})(\\d\\d)(\\d\\d)(\\d\\d)(\\d\\d)(\\d\\d)$")),
                         QStringLiteral("\\1/\\2/\\3 \\4:\\5:\\6"))
                .toLatin1());
        QVERIFY(start);
        sim::MeterConfig fixed;
        fixed.drift = false;
        const sim::VirtualMeter meter(fixed);
        std::vector<recording::DataRow> rows;
        for (int k = 1; k <= 3; ++k)
            rows.push_back(
                {*start + k,
                 {meter.reading(1), meter.reading(2), meter.reading(3), meter.reading(4)},
                 'K'});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), recording::fileText(rows, 4, live::TempUnit::Celsius,
                                                     recording::TrailerLayout::Recording));
    }

    void sigtermFinishesTheRecording() {
        QTemporaryDir dir;
        QProcess p;
        // Six rows, so the statistics have their five entries.
        QVERIFY(startLongRecording(p, dir.path(), 6));
        ::kill(pid_t(p.processId()), SIGTERM);
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 0);
        const QString path = finalFile(dir.path());
        QVERIFY(!path.isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        const int rows = text.mid(16, text.indexOf('\r') - 16).toInt();
        QVERIFY(rows >= 6);
        QVERIFY(rows < 1000);
        QVERIFY(text.contains("Top 5 Min T4 Celsius Value : "));
        QVERIFY(text.endsWith("\r\n\r\n"));
    }

    void killedRecordingKeepsEveryRow() {
        QTemporaryDir dir;
        QProcess p;
        QVERIFY(startLongRecording(p, dir.path(), 4));
        const QString work = QDir(dir.path()).filePath(QStringLiteral("QR512.temp"));
        ::kill(pid_t(p.processId()), SIGKILL);
        QVERIFY(p.waitForFinished(10000));
        QFile file(work);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray rows = file.readAll();
        file.close();
        // Nothing half-written: every row the program counted is there, complete, in order.
        QVERIFY(rows.endsWith("\r\n"));
        const QList<QByteArray> lines = rows.trimmed().split('\n');
        QVERIFY(lines.size() >= 6);
        for (int i = 2; i < lines.size(); ++i)
            QCOMPARE(lines[i].left(6).trimmed().toInt(), i - 1);

        // The next recording in that folder keeps them aside before it starts its own.
        const Run next = runQr512({"record", "--simulate", "--records", "1", "--dir", dir.path()});
        QCOMPARE(next.exitCode, 0);
        QVERIFY2(next.err.contains("An earlier recording did not finish; its rows are kept in "),
                 qPrintable(next.err));
        const QStringList kept =
            QDir(dir.path()).entryList({QStringLiteral("QR512-unfinished-*.txt")}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QFile keptFile(QDir(dir.path()).filePath(kept.first()));
        QVERIFY(keptFile.open(QIODevice::ReadOnly));
        QCOMPARE(keptFile.readAll(), rows);
    }

    void clockAndSendOnTheMeter() {
        SimProcess sim;
        QVERIFY(sim.start());
        const Run set = runQr512({"clock", "--port", sim.device, "--set"});
        // The bytes sent are the date and time printed.
        static const QRegularExpression sent(QStringLiteral(
            R"(^sent D (\d\d) (\d\d) (\d\d) (\d\d) (\d\d) (\d\d) \(\d\d\1/\2/\3 \4:\5:\6\)\n$)"));
        QVERIFY2(set.exitCode == 0 && sent.match(set.out).hasMatch(), qPrintable(set.out));
        const Run read = runQr512({"clock", "--port", sim.device});
        const QDateTime meter =
            QDateTime::fromString(read.out, QStringLiteral("yyyy/MM/dd HH:mm:ss\n"));
        QVERIFY2(read.exitCode == 0 && qAbs(meter.secsTo(QDateTime::currentDateTime())) < 30,
                 qPrintable(read.out));
        const Run handshake = runQr512({"send", "--port", sim.device, "A", "&H1F", "0x1F"});
        QCOMPARE(handshake.exitCode, 0);
        QCOMPARE(handshake.out, QStringLiteral("02  41  0D  \n"));
    }

    void fullDiskKeepsTheRows() {
        // A 20 KiB disk of 4 KiB pages, three of them taken: the lock file and the working file
        // get the last two, the final file finds none.
        QTemporaryDir dir;
        QProcess mount;
        mount.start("mount", {"-t", "tmpfs", "-o", "size=20k", "tmpfs", dir.path()});
        if (!mount.waitForFinished(5000) || mount.exitStatus() != QProcess::NormalExit ||
            mount.exitCode() != 0)
            QSKIP("no small tmpfs can be mounted here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {dir.path()}); });
        QFile fill(QDir(dir.path()).filePath("fill"));
        QVERIFY(fill.open(QIODevice::WriteOnly));
        QCOMPARE(fill.write(QByteArray(12 * 1024, 'x')), qint64(12 * 1024));
        fill.close();

        const Run run = runQr512({"record", "--simulate", "--records", "3", "--dir", dir.path()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            run.err.contains(": No space left on device. The rows recorded so far are kept in "),
            qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        const QStringList kept =
            QDir(dir.path()).entryList({"QR512-unfinished-*.txt"}, QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY(run.err.contains(kept.first()));
        QCOMPARE(QDir(dir.path()).entryList({"2*.txt*", "QR512.temp"}, QDir::Files), QStringList());
        QFile rows(QDir(dir.path()).filePath(kept.first()));
        QVERIFY(rows.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = rows.readAll().split('\n');
        QCOMPARE(lines.size(), 2 + 3 + 1); // header, separator, three rows, nothing after the last
        for (int i = 2; i < 5; ++i)
            QVERIFY(lines[i].startsWith(QByteArray::number(i - 1).leftJustified(6) + '\t'));
    }

    void limitsAreReadCheckedAndWritten() {
        SimProcess sim;
        QVERIFY(sim.start({"--channels", "2", "--type", "T", "--unit", "F"}));
        const QStringList port{"limits", "--port", sim.device};
        // The meter holds 100 C / 0 C; T3 and T4 are absent and show type T's range in F.
        Run run = runQr512(port);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("T1H 212\nT1L 32\nT2H 212\nT2L 32\nT3H 752\nT3L -418\n"
                                         "T4H 752\nT4L -418\nunit F\n"));

        run = runQr512(port + QStringList{"--set", "T1H=300.5", "--set", "t2l=-100"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("T1H 300.5\nT1L 32\nT2H 212\nT2L -100\nT3H 752\n"
                                         "T3L -418\nT4H 752\nT4L -418\nunit F\n"));

        // Above type T's range: refused, nothing written.
        run = runQr512(port + QStringList{"--set", "T2H=752.1"});
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.err.trimmed(),
                 QStringLiteral("qr512 limits: Error! 752 >= High Alarm >= Low Alarm >= -418"));
        QVERIFY(run.out.isEmpty());
        run = runQr512(port);
        QCOMPARE(run.out.section(u'\n', 0, 3),
                 QStringLiteral("T1H 300.5\nT1L 32\nT2H 212\nT2L -100"));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
