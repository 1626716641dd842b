// Every fault the virtual meter can show, end to end: qr512-sim with one fault switch, reached
// through a symbolic link named without a slash (a file in the working directory), and the
// qr512 command line in real time against it. For each: the program ends (nothing waits for
// ever), with the documented status, says each loss of the meter at most once, and a
// recording keeps every row it sampled.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// qr512-sim behind the link "meter" in `dir`; it can be stopped and started again there.
class Meter {
public:
    Meter(QString dir, QStringList args)
        : m_dir(std::move(dir))
        , m_args(std::move(args)) {}
    ~Meter() { stop(); }
    bool start() {
        m_process.start(QStringLiteral(QR512_SIM_BINARY),
                        QStringList{"--fixed", "--link", QDir(m_dir).filePath("meter")} + m_args);
        return m_process.waitForStarted(5000) && m_process.waitForReadyRead(5000);
    }
    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(1000);
    }

private:
    QString m_dir;
    QStringList m_args;
    QProcess m_process;
};

int rowsInFinalFile(const QString& dir) {
    const QStringList files = QDir(dir).entryList({QStringLiteral("2*.txt")}, QDir::Files);
    if (files.size() != 1)
        return -1;
    QFile file(QDir(dir).filePath(files.first()));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray text = file.readAll();
    int rows = 0;
    for (const QByteArray& line : text.split('\n'))
        rows += line.size() > 7 && line.at(6) == '\t' && line.at(26) == '\t';
    return text.startsWith("Total Records : " + QByteArray::number(rows) + "\r\n") ? rows : -2;
}

} // namespace

class TestFaults : public QObject {
    Q_OBJECT
private slots:
    void faultMatrix_data() {
        QTest::addColumn<QStringList>("meter");   // qr512-sim's fault switches
        QTest::addColumn<QStringList>("command"); // qr512's arguments after --port meter
        QTest::addColumn<double>("unplugAt");     // seconds; the meter is away for 1 s (< 0: no)
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // on standard error
        QTest::addColumn<int>("losses");   // "meter not answering" messages
        QTest::addColumn<int>("output");   // lines on standard output, or rows recorded

        // Time-outs leave room for a slow start on a loaded machine; rows that succeed end earlier.
        const QStringList live3{"live", "--count", "3", "--timeout", "6"};
        const QStringList record4{"record", "--records", "4", "--timeout", "5"};
        QTest::newRow("silent from the start")
            << QStringList{"--silent"} << QStringList{"live", "--timeout", "2"} << -1.0 << 3
            << "no meter answered within 2 seconds" << 0 << 0;
        QTest::newRow("wrong handshake for ever")
            << QStringList{"--wrong-handshake"} << QStringList{"live", "--timeout", "2"} << -1.0
            << 3 << "no meter answered within 2 seconds" << 0 << 0;
        QTest::newRow("only damaged frames")
            << QStringList{"--damaged-frames"} << QStringList{"live", "--timeout", "3"} << -1.0 << 3
            << "answered, but sent only damaged frames for 3 seconds" << 0 << 0;
        // The meter counts replies, handshakes included: most frames pass.
        QTest::newRow("every 3rd reply short")
            << QStringList{"--short-every", "3"} << live3 << -1.0 << 0 << "" << 0 << 3;
        QTest::newRow("every 3rd reply garbled")
            << QStringList{"--garble-every", "3"} << live3 << -1.0 << 0 << "" << 0 << 3;
        QTest::newRow("bytes dripped one at a time")
            << QStringList{"--byte-gap", "0.002"} << live3 << -1.0 << 0 << "" << 0 << 3;
        QTest::newRow("replies late")
            << QStringList{"--reply-delay", "0.05"} << live3 << -1.0 << 0 << "" << 0 << 3;
        QTest::newRow("silent mid-poll and back")
            << QStringList{"--silent-after", "1", "--silent-for", "1.5"} << record4 << -1.0 << 0
            << "meter answering again" << 1 << 4;
        QTest::newRow("unplugged mid-recording and back")
            << QStringList{} << record4 << 1.5 << 0 << "meter answering again" << 1 << 4;
        QTest::newRow("unplugged mid-recording for good")
            << QStringList{"--unplug-after", "15"}
            << QStringList{"record", "--records", "100", "--timeout", "4"} << -1.0 << 3
            << "the meter stopped answering" << 1 << -3;
    }

    void faultMatrix() {
        QFETCH(QStringList, meter);
        QFETCH(QStringList, command);
        QFETCH(double, unplugAt);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(int, losses);
        QFETCH(int, output);
        QTemporaryDir dir;
        Meter sim(dir.path(), meter);
        QVERIFY(sim.start());

        QProcess qr512;
        qr512.setWorkingDirectory(dir.path());
        const bool recording = command.first() == "record";
        qr512.start(QStringLiteral(QR512_BINARY),
                    command + QStringList{"--port", "meter"} +
                        (recording ? QStringList{"--dir", dir.path()} : QStringList{}));
        QVERIFY(qr512.waitForStarted(5000));
        if (unplugAt >= 0) {
            QTest::qWait(int(unplugAt * 1000));
            sim.stop();
            QTest::qWait(1000);
            QVERIFY(sim.start());
        }
        // Bounded: a fault never holds the program.
        QVERIFY(qr512.waitForFinished(20000));
        const QString err = QString::fromLocal8Bit(qr512.readAllStandardError());
        QCOMPARE(qr512.exitCode(), status);
        QVERIFY2(err.contains(says), qPrintable(err));
        QVERIFY2(err.count("meter not answering, searching…") == losses, qPrintable(err));
        QCOMPARE(err.count("meter answering again"), says.contains("again") ? 1 : 0);
        if (!recording) {
            const QString out = QString::fromLocal8Bit(qr512.readAllStandardOutput());
            QCOMPARE(int(out.count(u'\n')), output);
        } else if (output >= 0) {
            QCOMPARE(rowsInFinalFile(dir.path()), output);
        } else {
            // Ended by the time-out: whatever was sampled is in the final file.
            QVERIFY(rowsInFinalFile(dir.path()) >= 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
