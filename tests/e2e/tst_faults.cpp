// Every fault the virtual meter can show, end to end: qr512-sim with one fault switch, reached
// through a symbolic link named without a slash (a file in the working directory), and the
// qr512 command line in real time against it. For each: the program ends (nothing waits for
// ever), with the documented status, says each loss of the meter at most once, and a
// recording keeps every row it sampled.

#include "clirun.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

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
        QTest::addColumn<QStringList>("command"); // qr512 arguments (--port meter added)
        // Unplugged once the working file holds a row, for 2.5 s (false: left plugged in).
        QTest::addColumn<bool>("unplug");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says"); // on standard error
        QTest::addColumn<int>("losses");   // "meter not answering" messages
        // Lines on standard output, or rows in the final file; < 0: at least that many (the
        // time-out ends the recording, and whatever was sampled is in the final file).
        QTest::addColumn<int>("output");

        // Time-outs leave room for a slow start on a loaded machine; rows that succeed end earlier.
        const QStringList live3{"live", "--count", "3", "--timeout", "6"};
        const QStringList record4{"record", "--records", "4", "--timeout", "5"};
        QTest::newRow("silent from the start")
            << QStringList{"--silent"} << QStringList{"live", "--timeout", "1"} << false << 3
            << "no meter answered within 1 second\n"
            << 0 << 0;
        QTest::newRow("wrong handshake for ever")
            << QStringList{"--wrong-handshake"} << QStringList{"live", "--timeout", "2"} << false
            << 3 << "no meter answered within 2 seconds" << 0 << 0;
        QTest::newRow("only damaged frames")
            << QStringList{"--damaged-frames"} << QStringList{"live", "--timeout", "3"} << false
            << 3 << "answered, but sent only damaged frames for 3 seconds" << 0 << 0;
        // The meter counts replies, handshakes included: most frames pass.
        QTest::newRow("every 3rd reply short")
            << QStringList{"--short-every", "3"} << live3 << false << 0 << "" << 0 << 3;
        QTest::newRow("every 3rd reply garbled")
            << QStringList{"--garble-every", "3"} << live3 << false << 0 << "" << 0 << 3;
        QTest::newRow("bytes dripped one at a time")
            << QStringList{"--byte-gap", "0.002"} << live3 << false << 0 << "" << 0 << 3;
        // Later than the handshake wait: replies to handshakes sent again meanwhile come
        // before the frame.
        QTest::newRow("replies late")
            << QStringList{"--reply-delay", "0.02"} << live3 << false << 0 << "" << 0 << 3;
        QTest::newRow("silent mid-poll and back")
            << QStringList{"--silent-after", "1", "--silent-for", "3"} << record4 << false << 0
            << "meter answering again" << 1 << 4;
        QTest::newRow("unplugged mid-recording and back")
            << QStringList{} << record4 << true << 0 << "meter answering again" << 1 << 4;
        // A meter that falls silent or is unplugged after its first frame, under the exchange
        // of a command: the time-out ends it (left alone, the link searches for ever with the
        // job queued). One that comes back within the time-out gets the exchange done.
        for (const QStringList& exchange : {QStringList{"limits"}, QStringList{"erase", "--yes"},
                                            QStringList{"send"}, QStringList{"interval"}}) {
            const auto args = [&exchange](const char* timeout) {
                QStringList all = exchange + QStringList{"--timeout", timeout};
                if (exchange.first() == "send")
                    all += "M";
                return all;
            };
            const QByteArray command = exchange.first().toLatin1();
            const char* name = command.constData();
            QTest::addRow("%s: silent under the exchange", name)
                << QStringList{"--silent-after", "0.25"} << args("2") << false << 3 << "seconds"
                << 0 << 0;
            // Unplugged after the search's handshake and the first frame's two commands.
            QTest::addRow("%s: unplugged under the exchange", name)
                << QStringList{"--unplug-after", "3"} << args("2") << false << 3 << "seconds" << 0
                << 0;
            QTest::addRow("%s: silent under the exchange, and back", name)
                << QStringList{"--silent-after", "0.25", "--silent-for", "1"} << args("6") << false
                << 0 << "" << 0 << -1;
        }
        QTest::newRow("unplugged mid-recording for good")
            << QStringList{"--unplug-after", "15"}
            << QStringList{"record", "--records", "100", "--timeout", "4"} << false << 3
            << "the meter stopped answering" << 1 << -1;
    }

    void faultMatrix() {
        QFETCH(QStringList, meter);
        QFETCH(QStringList, command);
        QFETCH(bool, unplug);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(int, losses);
        QFETCH(int, output);
        QTemporaryDir dir;
        testsupport::SimProcess sim(meter, dir.path());
        QVERIFY(sim.start());
        // The meter goes away after the program's first row however long it took to start.
        bool back = true;
        QTimer firstRow;
        if (unplug) {
            firstRow.setInterval(20);
            connect(&firstRow, &QTimer::timeout, this, [&] {
                if (testsupport::readAll(QDir(dir.path()).filePath("QR512.temp")).count("\r\n") < 3)
                    return; // header, separator, a row
                firstRow.stop();
                sim.stop();
                QTimer::singleShot(2500, &firstRow, [&] { back = sim.start(); });
            });
            firstRow.start();
        }
        const bool recording = command.first() == "record";
        // Right after the subcommand: options go before a text ("send").
        command.insert(1, "--port");
        command.insert(2, "meter");
        if (recording)
            command += QStringList{"--dir", dir.path()};
        // Bounded (every row ends within seconds on its own; the bound only catches a hang,
        // with room for a loaded machine whose disk syncs take seconds).
        const testsupport::Run run = testsupport::runQr512(command, dir.path());
        QVERIFY(back);
        QVERIFY2(run.exitCode == status,
                 qPrintable(QString::number(run.exitCode) + ": " + run.err + run.out));
        QVERIFY2(run.err.contains(says), qPrintable(run.err));
        QVERIFY2(run.err.count("meter not answering, searching…") == losses, qPrintable(run.err));
        QCOMPARE(run.err.count("meter answering again"), says.contains("again") ? 1 : 0);
        // No rows of old readings while the meter is lost, said once each way.
        QCOMPARE(run.err.count("rows are paused"), recording ? losses : 0);
        QCOMPARE(run.err.count("rows resume"), recording && says.contains("again") ? 1 : 0);
        const int got = recording ? rowsInFinalFile(dir.path()) : int(run.out.count(u'\n'));
        QVERIFY2(output >= 0 ? got == output : got >= -output, qPrintable(QString::number(got)));
    }

    // A port another program holds is named as in use, with its holder, not only "no meter".
    void aPortInUseIsNamedWithItsHolder() {
        QTemporaryDir dir;
        testsupport::SimProcess sim({}, dir.path());
        QVERIFY(sim.start());
        QProcess holder;
        holder.setWorkingDirectory(dir.path());
        holder.start(QStringLiteral(QR512_BINARY), {"live", "--port", "meter"});
        QVERIFY(holder.waitForReadyRead(20000)); // a frame: it holds the port
        const testsupport::Run run =
            testsupport::runQr512({"live", "--port", "meter", "--timeout", "2"}, dir.path());
        holder.terminate();
        holder.waitForFinished(20000);
        QCOMPARE(run.exitCode, 3);
        QVERIFY2(run.err.contains("meter is in use by another program: process ") &&
                     run.err.contains(QStringLiteral("(qr512)")),
                 qPrintable(run.err));
    }

    // The first SIGTERM ends a command whose job waits behind the link's search for a meter
    // that went away, with a message; nothing but a second signal did before.
    void signalEndsAnExchangeBehindASearch() {
        QTemporaryDir dir;
        // Unplugged by the exchange's first handshake (after the probe's and the poll's "A"
        // and "M").
        testsupport::SimProcess sim({"--unplug-after", "4"}, dir.path());
        QVERIFY(sim.start());
        QProcess qr512;
        qr512.setWorkingDirectory(dir.path());
        qr512.start(QStringLiteral(QR512_BINARY),
                    {"limits", "--port", "meter", "--timeout", "3600"});
        QTRY_VERIFY_WITH_TIMEOUT(sim.said().contains("unplugged"), 20000);
        qr512.terminate();
        QVERIFY(qr512.waitForFinished(20000));
        const QByteArray said = qr512.readAllStandardError();
        QCOMPARE(qr512.exitStatus(), QProcess::NormalExit);
        QCOMPARE(qr512.exitCode(), 1);
        // "stopped" behind the search, "interrupted" in the job, or before the first frame.
        QVERIFY2(said.startsWith("qr512") && said.endsWith("\n"), said.constData());
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
