// The headless command line end to end: the qr512 binary against the virtual meter (in its
// own qr512-sim process, served from this process on a pseudo-terminal, or built in with
// --simulate), in real time, run as on a machine without a display. What it prints, the data
// and memory files it writes compared byte for byte, SIGTERM and SIGKILL in the middle of a
// recording, a full disk, "plot" pictures, and every refusal's exit status and message.

#include "app/cli/silencetimer.h"
#include "clirun.h"
#include "recording/datafile.h"
#include "recording/datarow.h"
#include "recording/recorder.h"
#include "sim/ptyhost.h"
#include "sim/virtualmeter.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <csignal>

namespace {

using testsupport::readAll;
using testsupport::Run;
using testsupport::runQr512;
using testsupport::SimProcess;

// A recording of 20 rows for "plot": T1 25.0 C, T2 rising, T4 "OL".
const QString kPlotData = QStringLiteral("20240105093015.txt");

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The one file in `dir` named by `pattern`; none when there are none or more.
QString onlyFile(const QString& dir, const QString& pattern) {
    const QStringList files = QDir(dir).entryList({pattern}, QDir::Files);
    return files.size() == 1 ? QDir(dir).filePath(files.first()) : QString();
}

// Starts a recording of 1000 rows on the built-in meter and waits until `rows` of them are in
// the working file, where rows land as they are recorded.
bool startLongRecording(QProcess& p, const QString& dir, int rows) {
    p.start(QStringLiteral(QR512_BINARY),
            {"record", "--simulate", "--records", "1000", "--dir", dir});
    if (!p.waitForStarted())
        return false;
    const QString work = QDir(dir).filePath(QStringLiteral("QR512.temp"));
    for (QDeadlineTimer deadline(30000); !deadline.hasExpired(); QTest::qWait(100))
        if (readAll(work).count("\r\n") >= 2 + rows) // header, separator
            return true;
    return false;
}

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

// The manual page's synopsis line of `command` as it reads: "qr512 send [PORT] ...".
QString synopsisOf(const QString& command) {
    QFile page(QStringLiteral(QR512_MANPAGE));
    if (!page.open(QIODevice::ReadOnly))
        return {};
    const QString source = QString::fromUtf8(page.readAll());
    const QString section = source.section(QStringLiteral(".SH SYNOPSIS\n"), 1)
                                .section(QStringLiteral("\n.PP\n"), 0, 0);
    static const QRegularExpression macro(QStringLiteral(R"(^\.(B|I|RB|RI|BR|IR)\s+(.*)$)"));
    static const QRegularExpression argument(QStringLiteral(R"re("([^"]*)"|(\S+))re"));
    for (const QString& entry : section.split(QStringLiteral("\n.br\n"))) {
        QStringList words;
        for (const QString& line : entry.split(u'\n')) {
            const auto m = macro.match(line);
            QStringList parts;
            for (const auto& a : argument.globalMatch(m.captured(2)))
                parts << (a.captured(1).isNull() ? a.captured(2) : a.captured(1));
            // Alternating fonts join their arguments; a single font spaces them.
            words << parts.join(m.captured(1).size() == 2 ? QString() : QStringLiteral(" "));
        }
        QString text = words.join(u' ');
        text.replace(QStringLiteral("\\-"), QStringLiteral("-"))
            .replace(QStringLiteral("\\(dq"), QStringLiteral("\""))
            .replace(QStringLiteral("\\ "), QStringLiteral(" "));
        if (text.startsWith(QStringLiteral("qr512 %1 ").arg(command)) || text == "qr512 " + command)
            return text.mid(7 + command.size());
    }
    return {};
}

} // namespace

class TestCli : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir; // the working folder of the refusals and the pictures

private slots:
    void initTestCase() {
        // A zone with daylight saving, so that a skipped hour exists for the children.
        qputenv("TZ", "Europe/Berlin");
        std::vector<recording::DataRow> rows;
        for (int i = 0; i < 20; ++i)
            rows.push_back({1700000000 + i, {5130, quint16(5130 + 9 * i), 4860, 65535}, 'K'});
        QVERIFY(writeFile(m_dir.filePath(kPlotData),
                          recording::fileText(rows, 4, live::TempUnit::Celsius,
                                              recording::TrailerLayout::Recording)));
        QVERIFY(writeFile(m_dir.filePath("notes.txt"), "shopping list\nmilk\n"));
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath("fifo.txt")).constData(), 0600), 0);
        QVERIFY(QFile::link(m_dir.filePath("notes.txt"), m_dir.filePath("link.png")));
    }

    void refusals_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        using L = QStringList;
        const L rec{"record", "--simulate"};
        const L plot{"plot", kPlotData, "-o", "x.png"};
        QTest::newRow("records below 1") << rec + L{"--records", "0"} << 2 << "--records";
        QTest::newRow("interval 0")
            << rec + L{"--records", "3", "--interval", "0"} << 2 << "--interval";
        QTest::newRow("stop time in the past")
            << rec + L{"--until", "2020/01/01 00:00:00"} << 2 << "past";
        QTest::newRow("a time in the hour daylight saving skips is still a time")
            << rec + L{"--until", "2024/03/31 02:30:00"} << 2 << "past";
        QTest::newRow("stop time garbled") << rec + L{"--until", "tomorrow"} << 2 << "--until";
        QTest::newRow("neither stop rule") << rec << 2 << "--records";
        QTest::newRow("missing folder")
            << rec + L{"--records", "1", "--dir", "/no/such/folder"} << 2 << "--dir";
        QTest::newRow("unknown device")
            << L{"record", "--port", "/dev/no-such-meter", "--records", "1"} << 2
            << "/dev/no-such-meter";
        QTest::newRow("not a serial port")
            << L{"live", "--port", "/dev/null"} << 2 << "--port: not a serial port: /dev/null";
        QTest::newRow("time-out above a year")
            << L{"live", "--simulate", "--timeout", "31536000.5"} << 2
            << "--timeout: \"31536000.5\" is not a number of seconds from 0.1 to 31536000";
        QTest::newRow("time-out beyond any number")
            << L{"live", "--simulate", "--timeout", "1e300"} << 2 << "--timeout";
        QTest::newRow("time-out not a number")
            << L{"live", "--simulate", "--timeout", "nan"} << 2 << "--timeout";
        QTest::newRow("live count 0") << L{"live", "--simulate", "--count", "0"} << 2 << "--count";
        QTest::newRow("unknown option") << L{"live", "--colour"} << 2 << "colour";
        QTest::newRow("send 256") << L{"send", "--simulate", "E", "4", "256"} << 2
                                  << "Byte 2 (\"256\") is not a value from 0 to 255";
        QTest::newRow("limits: no such limit")
            << L{"limits", "--simulate", "--set", "T5H=10"} << 2 << "--set";
        QTest::newRow("beep count 9") << L{"beep", "--count", "9"} << 2 << "--count";
        QTest::newRow("erase without --yes")
            << L{"erase", "--simulate"} << 2
            << "deletes all readings in the meter's memory; add --yes";
        QTest::newRow("plot: no file") << L{"plot", "-o", "x.png"} << 2 << "which data file";
        QTest::newRow("plot: no output") << L{"plot", kPlotData} << 2 << "-o";
        QTest::newRow("plot: bmp") << plot.mid(0, 3) + L{"x.bmp"} << 2 << ".png, .svg or .pdf";
        QTest::newRow("plot: unit") << plot + L{"--unit", "R"} << 2 << "--unit";
        QTest::newRow("plot: size too small") << plot + L{"--size", "119x600"} << 2 << "--size";
        QTest::newRow("plot: size not WxH") << plot + L{"--size", "800"} << 2 << "--size";
        QTest::newRow("plot: R2 > N") << plot + L{"--records", "1:21"} << 2 << "--records";
        QTest::newRow("plot: beyond type K")
            << plot + L{"--range", "-201:0"} << 2 << "-200 <= LOW < HIGH <= 1375";
        QTest::newRow("plot: --fit with --range")
            << plot + L{"--fit", "--range", "0:10"} << 2 << "--fit and --range";
        QTest::newRow("plot: --x hours") << plot + L{"--x", "hours"} << 2 << "--x";
        QTest::newRow("export: missing file") << L{"export", "absent.txt"} << 2 << "absent.txt";
        QTest::newRow("export: --unit R") << L{"export", kPlotData, "--unit", "R"} << 2 << "--unit";
        QTest::newRow("export: over its data file")
            << L{"export", kPlotData, "-o", "./" + kPlotData} << 2 << "it is the data file itself";
        QTest::newRow("live: --format xml") << L{"live", "--format", "xml"} << 2 << "--format";
        QTest::newRow("plot: missing file")
            << L{"plot", "absent.txt", "-o", "x.png"} << 2 << "absent.txt";
        QTest::newRow("plot: not a data file")
            << L{"plot", "notes.txt", "-o", "x.png"} << 2 << "notes.txt";
        // Never replaced by a plain file, and refused before the meter is asked.
        QTest::newRow("download: -o a FIFO")
            << L{"download", "--simulate", "-o", "fifo.txt"} << 2 << "it is a FIFO, not a file";
        QTest::newRow("download: -o name too long")
            << L{"download", "--simulate", "-o", QString(256, u'm')} << 2
            << "the name is longer than 255 bytes";
        QTest::newRow("plot: -o a link")
            << plot.mid(0, 3) + L{"link.png"} << 2 << "it is a symbolic link";
        QTest::newRow("plot: a device for data")
            << L{"plot", "/dev/zero", "-o", "x.png"} << 2 << "it is not a plain file";
        QTest::newRow("plot: a FIFO for data")
            << L{"plot", "fifo.txt", "-o", "x.png"} << 2 << "it is not a plain file";
        // The last of two would be taken silently; --set of limits and --port repeat by design.
        QTest::newRow("repeated --count")
            << L{"live", "--simulate", "--count", "1", "--count", "2"} << 2
            << "qr512 live: --count was given more than once; give it once";
        QTest::newRow("repeated -o, once as --output")
            << plot + L{"--output", "b.png"} << 2 << "--output was given more than once";
        QTest::newRow("--port may repeat")
            << L{"live", "--port", "/dev/null", "--port", "/dev/zero"} << 2
            << "--port: not a serial port: /dev/null";
        QTest::newRow("repeated --unit")
            << plot + L{"--unit", "C", "--unit", "F"} << 2 << "--unit was given more than once";
        QTest::newRow("plot: unwritable picture")
            << L{"plot", kPlotData, "-o", "no/dir/x.png"} << 1 << "x.png";
    }

    void refusals() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        const Run run = runQr512(args, m_dir.path());
        QCOMPARE(run.exitCode, status);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QCOMPARE(readAll(m_dir.filePath("notes.txt")), QByteArray("shopping list\nmilk\n"));
    }

    void plotPictures_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QSize>("size");
        QTest::newRow("defaults") << QStringList{} << QSize(1000, 600);
        QTest::newRow("all options") << QStringList{"--unit",  "F",     "--records", "2:5",
                                                    "--range", "0:100", "--size",    "300x200"}
                                     << QSize(300, 200);
    }

    void plotPictures() {
        QFETCH(QStringList, options);
        QFETCH(QSize, size);
        const Run run =
            runQr512(QStringList{"plot", kPlotData, "-o", "a.png"} + options, m_dir.path());
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QImage image(m_dir.filePath(QStringLiteral("a.png")));
        QCOMPARE(image.size(), size);
        if (options.isEmpty()) {
            // Type K in Celsius on 1000x600: T1 (25.0) 75 above the bottom line (575), T4 (OL)
            // 3 above the top line (50), in their colours.
            const auto colourNear = [&](int x, int y, QRgb colour) {
                return image.pixel(x, y - 1) == colour || image.pixel(x, y) == colour ||
                       image.pixel(x, y + 1) == colour;
            };
            QVERIFY(colourNear(500, 500, 0xffff0000));
            QVERIFY(colourNear(500, 47, 0xff000000));
        }
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

    // "export" gives the same CSV to standard output and to a file; "record --format csv" prints
    // the rows of the file it writes as "export" reads them back; "live --format jsonl" one
    // object per frame.
    void exportAndFormats() {
        const Run out = runQr512({"export", kPlotData}, m_dir.path());
        QCOMPARE(out.exitCode, 0);
        QVERIFY2(out.out.startsWith("record,time,type,T1,T2,T3,T4\r\n"
                                    "1,2023-11-14T22:13:20,K,25.0,25.0,10.0,\r\n"
                                    "2,2023-11-14T22:13:21,K,25.0,25.5,10.0,\r\n"),
                 qPrintable(out.out));
        QCOMPARE(runQr512({"export", kPlotData, "-o", "a.csv"}, m_dir.path()).exitCode, 0);
        QCOMPARE(readAll(m_dir.filePath("a.csv")), out.out.toLatin1());
        QProcess full;
        full.setStandardOutputFile(QStringLiteral("/dev/full"));
        full.setWorkingDirectory(m_dir.path());
        full.start(QStringLiteral(QR512_BINARY), {"export", kPlotData});
        QVERIFY(full.waitForFinished(60000));
        QCOMPARE(full.exitCode(), 1);

        QTemporaryDir dir;
        const Run record = runQr512(
            {"record", "--simulate", "--records", "2", "--format", "csv", "--dir", dir.path()});
        QVERIFY2(record.exitCode == 0, qPrintable(record.err));
        const QString file = onlyFile(dir.path(), "*.txt");
        QVERIFY(record.err.contains(QFileInfo(file).fileName() + " (2 rows)"));
        QCOMPARE(record.out, runQr512({"export", file, "--unit", "C"}).out);

        const Run live = runQr512({"live", "--simulate", "--count", "2", "--format", "jsonl"});
        QCOMPARE(live.exitCode, 0);
        static const QRegularExpression object(QStringLiteral(
            R"(^\{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}","type":"K","unit":"C",)"
            R"("T1":-?\d+\.\d,"T2":-?\d+\.\d,"T3":-?\d+\.\d,"T4":-?\d+\.\d,"memory":\d+\}$)"));
        const QStringList lines = live.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        for (const QString& line : lines)
            QVERIFY2(object.match(line).hasMatch(), qPrintable(line));
    }

    void recordWritesTheExactFile() {
        SimProcess sim;
        QVERIFY(sim.start());
        QTemporaryDir dir;
        const Run run = runQr512({"record", "--port", sim.device, "--records", "3", "--interval",
                                  "1", "--dir", dir.path(), "--timeout", "20"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QString path = onlyFile(dir.path(), "*.txt");
        QVERIFY(!path.isEmpty());
        QVERIFY(run.out.contains(QFileInfo(path).fileName()));

        // The rows the meter served: its fixed readings, stamped start + 1 s, + 2 s, + 3 s.
        const auto start = recording::stampFromText(
            QDateTime::fromString(QFileInfo(path).baseName(), QStringLiteral("yyyyMMddHHmmss"))
                .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))
                .toLatin1());
        QVERIFY(start);
        const sim::VirtualMeter meter({.drift = false});
        std::vector<recording::DataRow> rows;
        for (int k = 1; k <= 3; ++k)
            rows.push_back(
                {*start + k,
                 {meter.reading(1), meter.reading(2), meter.reading(3), meter.reading(4)},
                 'K'});
        QCOMPARE(readAll(path), recording::fileText(rows, 4, live::TempUnit::Celsius,
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
        const QByteArray text = readAll(onlyFile(dir.path(), "*.txt"));
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
        const QByteArray rows = readAll(work);
        // Nothing half-written: every row the program counted is there, complete, in order.
        QVERIFY(rows.endsWith("\r\n"));
        const QList<QByteArray> lines = rows.trimmed().split('\n');
        QVERIFY(lines.size() >= 6);
        for (int i = 2; i < lines.size(); ++i)
            QCOMPARE(lines[i].left(6).trimmed().toInt(), i - 1);

        // The next recording in that folder keeps them aside before it starts its own.
        const Run next = runQr512({"record", "--simulate", "--records", "1", "--dir", dir.path()});
        QCOMPARE(next.exitCode, 0);
        QVERIFY2(next.out.endsWith(".txt (1 row)\n"), qPrintable(next.out));
        QVERIFY2(next.err.contains("An earlier recording did not finish; its rows are kept in "),
                 qPrintable(next.err));
        QCOMPARE(readAll(onlyFile(dir.path(), "QR512-unfinished-*.txt")), rows);
    }

    // A time-out of up to a year is armed in steps of at most a day, never wrapped round to a
    // short or negative interval of an int of milliseconds.
    void silenceTimerStepsThroughLongTimeouts_data() {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<int>("stepMs");
        QTest::newRow("2 s") << qint64(2000) << 2000;
        QTest::newRow("wraps to 0.8 s in 32 bits") << qint64(4294968000) << 86400000;
        QTest::newRow("a year") << qint64(31536000000) << 86400000;
    }

    void silenceTimerStepsThroughLongTimeouts() {
        QFETCH(qint64, ms);
        QFETCH(int, stepMs);
        app::SilenceTimer timer([] {});
        timer.start(ms);
        QVERIFY(timer.isActive());
        // The deadline was taken a moment before the step was armed.
        QVERIFY2(timer.stepMs() <= stepMs && timer.stepMs() > stepMs - 1000,
                 qPrintable(QString::number(timer.stepMs())));
    }

    // Lines that do not reach standard output are a failure, not a short list.
    void unwritableOutputFails_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("live") << QStringList{"live", "--simulate", "--count", "3"};
        QTest::newRow("the program's help") << QStringList{"--help"};
        QTest::newRow("the program's version") << QStringList{"--version"};
    }

    void unwritableOutputFails() {
        QFETCH(QStringList, args);
        QProcess p;
        p.setStandardOutputFile(QStringLiteral("/dev/full"));
        p.start(QStringLiteral(QR512_BINARY), args);
        QVERIFY(p.waitForFinished(120000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains(
            "qr512: could not write the output: No space left on device"));
    }

    void fullDiskKeepsTheRows_data() {
        QTest::addColumn<QString>("command");
        QTest::newRow("record") << "record";
        QTest::newRow("download") << "download";
    }

    void fullDiskKeepsTheRows() {
        QFETCH(QString, command);
        // A 20 KiB disk of 4 KiB pages, three of them taken: the lock file and the working file
        // get the last two, the final file finds none.
        QTemporaryDir dir;
        if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=20k", "tmpfs", dir.path()}) != 0)
            QSKIP("no small tmpfs can be mounted here");
        const auto unmount = qScopeGuard([&] { QProcess::execute("umount", {dir.path()}); });
        QVERIFY(writeFile(QDir(dir.path()).filePath("fill"), QByteArray(12 * 1024, 'x')));
        if (command == "download") {
            // The meter's 600 records do not fit: an error with the reason, and the older
            // file of that name as it was.
            const QString memory = QDir(dir.path()).filePath("mem.txt");
            QVERIFY(writeFile(memory, "older"));
            const Run run = runQr512({"download", "--simulate", "-o", memory}, dir.path());
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains("No space left on device"), qPrintable(run.err));
            QCOMPARE(readAll(memory), QByteArray("older"));
            QVERIFY(!QFile::exists(memory + ".part"));
            return;
        }

        const Run run = runQr512({"record", "--simulate", "--records", "3", "--dir", dir.path()});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(
            run.err.contains(": No space left on device. The rows recorded so far are kept in "),
            qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        const QString kept = onlyFile(dir.path(), "QR512-unfinished-*.txt");
        QVERIFY(!kept.isEmpty() && run.err.contains(QFileInfo(kept).fileName()));
        QCOMPARE(QDir(dir.path()).entryList({"2*.txt*", "QR512.temp"}, QDir::Files), QStringList());
        const QList<QByteArray> lines = readAll(kept).split('\n');
        QCOMPARE(lines.size(), 2 + 3 + 1); // header, separator, three rows, nothing after the last
        for (int i = 2; i < 5; ++i)
            QVERIFY(lines[i].startsWith(QByteArray::number(i - 1).leftJustified(6) + '\t'));
    }

    // The limits read, checked and written; the clock set and read; a command sent as typed.
    void settingsOnTheMeter() {
        SimProcess sim({"--channels", "2", "--type", "T", "--unit", "F"});
        QVERIFY(sim.start());
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

    // The meter's own interval read with "K" and written with "F" under the panel's rounding;
    // a refused value sends nothing.
    void intervalOnTheMeter_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("said"); // standard output, or else standard error
        QTest::addColumn<QByteArray>("write");
        QTest::addColumn<int>("interval");
        const QByteArray none;
        const QString unchanged = QStringLiteral(". The sampling time is unchanged.\n");
        QTest::newRow("read") << QStringList{} << 0 << "2\n" << none << 2;
        QTest::newRow("3725") << QStringList{"--set", "3725"} << 0
                              << "sent F 00 0E 8D (3725 seconds)\n"
                              << QByteArray("F\x00\x0E\x8D", 4) << 3725;
        QTest::newRow("half to even, not above a day")
            << QStringList{"--set", "86400.5"} << 0 << "sent F 01 51 80 (86400 seconds)\n"
            << QByteArray("F\x01\x51\x80", 4) << 86400;
        QTest::newRow("rounds to 0")
            << QStringList{"--set", "0.5"} << 2
            << "qr512 interval: \"0.5\" is not from 1 to 86400 seconds" + unchanged << none << 2;
        QTest::newRow("above a day")
            << QStringList{"--set", "86401"} << 2
            << "qr512 interval: \"86401\" is not from 1 to 86400 seconds" + unchanged << none << 2;
        QTest::newRow("not a number")
            << QStringList{"--set", "1 minute"} << 2
            << "qr512 interval: \"1 minute\" is not a number" + unchanged << none << 2;
        QTest::newRow("--set twice") << QStringList{"--set", "60", "--set", "70"} << 2
                                     << "qr512 interval: --set was given more than once; give it "
                                        "once\n"
                                     << none << 2;
    }

    void intervalOnTheMeter() {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QString, said);
        QFETCH(QByteArray, write);
        QFETCH(int, interval);
        sim::VirtualMeter meter({.wirePaced = false});
        sim::PtyHost host(&meter);
        QVERIFY(host.open());
        const Run run = runQr512(QStringList{"interval", "--port", host.devicePath()} + options);
        QCOMPARE(run.exitCode, status);
        QCOMPARE(status == 0 ? run.out : run.err, said);
        QCOMPARE(meter.intervalSeconds(), interval);
        QList<QByteArray> writes;
        for (const QByteArray& command : meter.commandLog())
            if (command.startsWith('F'))
                writes << command;
        QCOMPARE(writes, write.isEmpty() ? QList<QByteArray>{} : QList<QByteArray>{write});
    }

    // Every command's synopsis in the manual page names the options its --help lists (PORT
    // standing for --port and --simulate) and ends with the same arguments, after the options
    // as the usage line has them.
    void manualSynopsisAgreesWithHelp_data() {
        QTest::addColumn<QString>("command");
        for (const char* command : {"live", "record", "limits", "download", "erase", "clock",
                                    "interval", "send", "plot", "export", "beep"})
            QTest::newRow(command) << QString::fromLatin1(command);
    }

    void manualSynopsisAgreesWithHelp() {
        QFETCH(QString, command);
        const Run help = runQr512({command, "--help"});
        QCOMPARE(help.exitCode, 0);
        const QString usage = help.out.section(u'\n', 0, 0);
        const QString lead = QStringLiteral("Usage: qr512 %1 [options]").arg(command);
        QVERIFY2(usage.startsWith(lead), qPrintable(usage));
        // Each command says what its own time-out means.
        QCOMPARE(help.out.contains("recording then writes"), command == "record");
        static const QRegularExpression listed(QStringLiteral(R"(^  (?:-(\w), )?--([\w-]+))"),
                                               QRegularExpression::MultilineOption);
        QStringList helpOptions;
        for (const auto& m : listed.globalMatch(help.out))
            if (!m.captured(2).startsWith(QLatin1String("help")))
                helpOptions << (m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));

        const QString synopsis = synopsisOf(command);
        QVERIFY2(!synopsis.isEmpty(), qPrintable(command));
        static const QRegularExpression option(QStringLiteral(R"((?:^|[\s\[(|])--?([\w-]+))"));
        QStringList manOptions;
        qsizetype lastOption = 0;
        for (const auto& m : option.globalMatch(synopsis)) {
            manOptions << m.captured(1);
            lastOption = m.capturedEnd();
        }
        if (synopsis.contains(QLatin1String("[PORT]")))
            manOptions << "port"
                       << "simulate";
        manOptions.sort();
        helpOptions.sort();
        QCOMPARE(manOptions, helpOptions);
        const qsizetype close = synopsis.indexOf(u']', lastOption);
        const QString arguments = lastOption == 0 ? synopsis : synopsis.mid(close + 1);
        QCOMPARE(arguments.simplified(), usage.mid(lead.size()).simplified());
    }

    // The memory file compared with one built here from the records the meter holds.
    void downloadWritesTheExactFile() {
        QTemporaryDir dir;
        // Unpaced, so that 16800 records take no 83 s.
        sim::VirtualMeter meter({.storedRecords = 16800, .wirePaced = false});
        sim::PtyHost host(&meter);
        QVERIFY(host.open());
        std::vector<recording::DataRow> rows;
        for (const sim::StoredRecord& r : meter.records())
            rows.push_back(rowOf(r, 'K'));
        QByteArray expected =
            "Total Records : 16800\r\n" + recording::headerLine(4) + recording::separatorLine(4);
        for (int line = 1; line <= 16800; ++line)
            expected += recording::dataLine(line, rows[std::size_t(16800 - line)], 4);
        expected += recording::trailerText(rows, 4, live::TempUnit::Celsius,
                                           recording::TrailerLayout::MemorySave);

        const QString out = dir.filePath("memory.txt");
        const Run run = runQr512({"download", "--port", host.devicePath(), "-o", out}, dir.path());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.trimmed(), out + " (16800 records)");
        QCOMPARE(readAll(out), expected);
        QCOMPARE(readAll(dir.filePath("QR512.temp")), expected);
    }

    // An erase, then a download that finds nothing; and one refused while a recording holds
    // the working file.
    void eraseThenDownload() {
        QTemporaryDir dir;
        sim::VirtualMeter meter({.storedRecords = 3, .wirePaced = false});
        sim::PtyHost host(&meter);
        QVERIFY(host.open());
        const Run erase = runQr512({"erase", "--port", host.devicePath(), "--yes"}, dir.path());
        QCOMPARE(erase.exitCode, 0);
        QCOMPARE(meter.storedRecords(), 0);
        QVERIFY(meter.commandLog().contains(QByteArray("E\x04\x00\x00\x00", 5)));
        Run download = runQr512({"download", "--port", host.devicePath()}, dir.path());
        QCOMPARE(download.exitCode, 1);
        QVERIFY2(download.err.contains("No Data in Memory"), qPrintable(download.err));
        QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());

        const recording::WorkFileGuard recording(dir.filePath("QR512.temp"));
        QVERIFY(recording.acquired());
        download = runQr512({"download", "--simulate"}, dir.path());
        QCOMPARE(download.exitCode, 2);
        QVERIFY2(download.err.contains("A recording is writing QR512.temp"),
                 qPrintable(download.err));
        QVERIFY(QDir(dir.path()).entryList({"*.txt"}, QDir::Files).isEmpty());
        // A second recording in the folder is a refusal too, in one line.
        const Run second =
            runQr512({"record", "--simulate", "--records", "1", "--dir", dir.path()}, dir.path());
        QCOMPARE(second.exitCode, 2);
        QVERIFY2(second.err.startsWith("qr512 record: another recording is writing QR512.temp"),
                 qPrintable(second.err));
        QCOMPARE(second.err.count(u'\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
