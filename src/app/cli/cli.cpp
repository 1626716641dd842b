#include "app/cli/cli.h"
#include "app/cli/plotcommand.h"

#include "app/window/simulation.h"

#include "link/linkthread.h"
#include "link/meterprofile.h"
#include "link/serialport.h"
#include "live/livepoll.h"
#include "recording/recorder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

enum Exit { kDone = 0, kFailure = 1, kUsage = 2, kNoMeter = 3 };

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signalCount = 0;

// Async-signal-safe only: the first signal is handed to the event loop; a second one ends the
// program at once (every recorded row is already on disk).
void onSignal(int) {
    g_signalCount = g_signalCount + 1;
    if (g_signalCount >= 2)
        ::_exit(130);
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

bool installSignalHandlers() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

void printErr(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

void printOut(const QString& text) {
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

struct Common {
    QStringList ports;
    bool simulate = false;
    int timeout = 30;
};

void addCommonOptions(QCommandLineParser& parser) {
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Serial device of the meter (repeatable). Without it, the "
                                     "system's serial ports are searched."),
                      QStringLiteral("DEVICE")});
    parser.addOption({QStringLiteral("simulate"),
                      QStringLiteral("Use the built-in virtual meter instead of a real one.")});
    parser.addOption({QStringLiteral("timeout"),
                      QStringLiteral("Give up (exit status 3) when the meter has not "
                                     "answered for SECONDS, at the start or later; a "
                                     "recording then writes its final file (default 30)."),
                      QStringLiteral("SECONDS"), QStringLiteral("30")});
}

std::optional<int> positiveInt(const QCommandLineParser& parser, const QString& name, int minimum,
                               int maximum, QString* error) {
    bool ok = false;
    const QString text = parser.value(name);
    const int value = text.toInt(&ok);
    if (!ok || value < minimum || value > maximum) {
        *error = QStringLiteral("--%1: \"%2\" is not a whole number from %3 to %4")
                     .arg(name, text)
                     .arg(minimum)
                     .arg(maximum);
        return std::nullopt;
    }
    return value;
}

bool parseCommon(const QCommandLineParser& parser, Common* common, QString* error) {
    common->ports = parser.values(QStringLiteral("port"));
    common->simulate = parser.isSet(QStringLiteral("simulate"));
    if (common->simulate && !common->ports.isEmpty()) {
        *error = QStringLiteral("--port and --simulate cannot be used together");
        return false;
    }
    for (const QString& port : common->ports) {
        if (!QFileInfo::exists(port)) {
            *error = QStringLiteral("--port: no such device: %1").arg(port);
            return false;
        }
    }
    const auto timeout = positiveInt(parser, QStringLiteral("timeout"), 1, 86400 * 365, error);
    if (!timeout)
        return false;
    common->timeout = *timeout;
    return true;
}

// The link thread, the live state and the optional virtual meter of one headless run.
class Connection {
public:
    bool open(const Common& common, QString* error) {
        QStringList devices = common.ports;
        if (common.simulate) {
            m_sim = std::make_unique<Simulation>();
            if (!m_sim->start(error))
                return false;
            devices = {m_sim->devicePath()};
        }
        const bool system = devices.isEmpty();
        m_thread = std::make_unique<serial::LinkThread>([devices, system] {
            auto port = std::make_unique<serial::SerialPort>(serial::PortCatalog(devices, system));
            auto clock = std::make_unique<serial::RealClock>(port.get());
            return serial::Backend{std::move(port), std::move(clock)};
        });
        live::attachLivePoll(*m_thread, m_state);
        QObject::connect(
            m_thread.get(), &serial::LinkThread::portDenied, m_thread.get(),
            [](const QString& message) { printErr(QStringLiteral("qr512: ") + message); });
        return true;
    }
    ~Connection() {
        if (m_thread)
            m_thread->stop();
    }
    serial::LinkThread& thread() { return *m_thread; }
    live::LiveState& state() { return m_state; }

private:
    std::unique_ptr<Simulation> m_sim;
    std::unique_ptr<serial::LinkThread> m_thread;
    live::LiveState m_state;
};

QChar unitLetter(live::TempUnit unit) {
    switch (unit) {
    case live::TempUnit::Fahrenheit:
        return u'F';
    case live::TempUnit::Kelvin:
        return u'K';
    case live::TempUnit::Celsius:
        break;
    }
    return u'C';
}

QString liveLine(const live::LiveState& state) {
    const live::TempUnit unit = state.displayUnit();
    const int unitColumn = int(unit) * live::kChannels;
    QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    line += QStringLiteral("  type=%1 channels=%2 unit=%3")
                .arg(state.typeLetter().isNull() ? QChar(u'-') : state.typeLetter())
                .arg(state.channelCount())
                .arg(unitLetter(unit));
    const int channels = std::clamp(state.channelCount(), 0, live::kChannels);
    for (int c = 0; c < channels; ++c)
        line += QStringLiteral(" T%1=%2").arg(c + 1).arg(state.readingText()[unitColumn + c]);
    line += QStringLiteral(" memory=%1").arg(state.memoryCount());
    return line;
}

// Waits for the first frame within the time-out, and for every later one as well: a meter that
// is unplugged for good would otherwise leave a script waiting for ever. The caller's
// `onFrame` runs for each frame; `onLost` (after the message) when the meter has gone.
int runConnected(QCoreApplication& app, Connection& connection, const Common& common,
                 const std::function<void()>& onFrame, const std::function<void()>& onSignal,
                 const std::function<void()>& onLost) {
    int exitCode = kDone;
    bool answered = false;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &app, [&] {
        exitCode = kNoMeter;
        if (!answered) {
            printErr(
                QStringLiteral("qr512: no meter answered within %1 seconds").arg(common.timeout));
            app.quit();
            return;
        }
        printErr(QStringLiteral("\nqr512: the meter stopped answering (nothing for %1 seconds)")
                     .arg(common.timeout));
        onLost();
    });
    QObject::connect(&connection.state(), &live::LiveState::frameDecoded, &app, [&] {
        answered = true;
        timeout.start(common.timeout * 1000);
        onFrame();
    });
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &byte, 1);
        onSignal();
    });
    connection.thread().start();
    timeout.start(common.timeout * 1000);
    const int loop = app.exec();
    return exitCode != kDone ? exitCode : loop;
}

int runLive(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints one line per display frame of the meter: time, type, channel "
                       "count, unit, the readings of the present channels, memory count."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("count"),
                      QStringLiteral("Stop after N frames (default: until Ctrl+C)."),
                      QStringLiteral("N")});
    parser.addPositionalArgument(QStringLiteral("live"), QStringLiteral("The command."));
    if (!parser.parse(args)) {
        printErr(QStringLiteral("qr512 live: ") + parser.errorText());
        return kUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printOut(parser.helpText());
        return kDone;
    }
    if (parser.positionalArguments().size() > 1) {
        printErr(QStringLiteral("qr512 live: unexpected argument: %1")
                     .arg(parser.positionalArguments().at(1)));
        return kUsage;
    }
    Common common;
    QString error;
    std::optional<int> count;
    if (parser.isSet(QStringLiteral("count"))) {
        count = positiveInt(parser, QStringLiteral("count"), 1, INT_MAX, &error);
        if (!count) {
            printErr(QStringLiteral("qr512 live: ") + error);
            return kUsage;
        }
    }
    if (!parseCommon(parser, &common, &error)) {
        printErr(QStringLiteral("qr512 live: ") + error);
        return kUsage;
    }
    Connection connection;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 live: ") + error);
        return kFailure;
    }
    int printed = 0;
    return runConnected(
        app, connection, common,
        [&] {
            printOut(liveLine(connection.state()));
            if (count && ++printed >= *count)
                app.quit();
        },
        [&] { app.quit(); }, [&] { app.quit(); });
}

int runRecord(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Records the meter's live readings into a data file named after the "
                       "start time (yyyymmddhhnnss.txt), exactly as the window's recording "
                       "does. Ctrl+C or SIGTERM ends the recording and writes the file; a "
                       "second Ctrl+C exits at once, keeping the rows already on disk in "
                       "QR512.temp."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("interval"),
                      QStringLiteral("Seconds between rows, 1 to 86400 (default 1)."),
                      QStringLiteral("SECONDS"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("records"), QStringLiteral("Stop after N rows (N >= 1)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("until"),
                      QStringLiteral("Stop at the first row later than this local time, "
                                     "\"yyyy/mm/dd hh:nn:ss\"."),
                      QStringLiteral("TIME")});
    parser.addOption({QStringLiteral("dir"),
                      QStringLiteral("Folder for the data file (default: the working "
                                     "directory)."),
                      QStringLiteral("DIR")});
    parser.addPositionalArgument(QStringLiteral("record"), QStringLiteral("The command."));
    const auto usage = [](const QString& text) {
        printErr(QStringLiteral("qr512 record: ") + text);
        return int(kUsage);
    };
    if (!parser.parse(args))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        printOut(parser.helpText());
        return kDone;
    }
    if (parser.positionalArguments().size() > 1)
        return usage(
            QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().at(1)));

    QString error;
    Common common;
    if (!parseCommon(parser, &common, &error))
        return usage(error);
    const auto interval =
        positiveInt(parser, QStringLiteral("interval"), recording::kMinSamplingTime,
                    recording::kMaxSamplingTime, &error);
    if (!interval)
        return usage(error);
    const bool byRecords = parser.isSet(QStringLiteral("records"));
    const bool byTime = parser.isSet(QStringLiteral("until"));
    if (byRecords == byTime)
        return usage(QStringLiteral("give exactly one of --records N and --until TIME"));
    std::optional<int> target;
    QDate stopDate;
    QTime stopTime;
    if (byRecords) {
        target = positiveInt(parser, QStringLiteral("records"), 1, INT_MAX, &error);
        if (!target)
            return usage(error);
    } else {
        const QString text = parser.value(QStringLiteral("until"));
        // Date and time apart: a wall-clock time in an hour skipped by a daylight-saving
        // change has no QDateTime, but the recording can still stop there.
        if (text.size() == recording::kStampLength && text.at(10) == u' ') {
            stopDate = QDate::fromString(text.left(10), QStringLiteral("yyyy/MM/dd"));
            stopTime = QTime::fromString(text.mid(11), QStringLiteral("hh:mm:ss"));
        }
        if (!stopDate.isValid() || !stopTime.isValid())
            return usage(QStringLiteral("--until: \"%1\" is not a time of the form "
                                        "\"yyyy/mm/dd hh:nn:ss\"")
                             .arg(text));
        if (recording::stampFromCivil(stopDate, stopTime) <
            recording::stampFromDateTime(QDateTime::currentDateTime()))
            return usage(QStringLiteral("--until: %1 is in the past").arg(text));
    }
    const QString dir = parser.isSet(QStringLiteral("dir")) ? parser.value(QStringLiteral("dir"))
                                                            : QDir::currentPath();
    if (!QFileInfo(dir).isDir())
        return usage(QStringLiteral("--dir: no such folder: %1").arg(dir));

    Connection connection;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 record: ") + error);
        return kFailure;
    }
    live::LiveState& state = connection.state();
    recording::Recorder recorder([] { return QDateTime::currentDateTime(); },
                                 [&state] {
                                     recording::Sample sample;
                                     sample.raw = state.raw();
                                     sample.type = char(state.typeLetter().toLatin1());
                                     sample.channelCount = state.channelCount();
                                     sample.displayUnit = state.displayUnit();
                                     return sample;
                                 });
    recorder.setWorkingDirectory(QDir(dir).absolutePath());
    recorder.setSamplingTime(*interval);

    int exitCode = kDone;
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    QTimer timer2;
    timer2.setInterval(1000);
    QObject::connect(&timer2, &QTimer::timeout, &recorder, &recording::Recorder::tick);
    QObject::connect(&recorder, &recording::Recorder::rowRecorded, &app, [&](int count) {
        if (!progress)
            return;
        if (target)
            std::fprintf(stderr, "\rrecorded %d of %d rows", count, *target);
        else
            std::fprintf(stderr, "\rrecorded %d rows, until %s", count,
                         qPrintable(recorder.stopAtText()));
        std::fflush(stderr);
    });
    QObject::connect(&recorder, &recording::Recorder::errorOccurred, &app,
                     [&](const QString& message) {
                         printErr(QStringLiteral("\nqr512 record: ") + message);
                         exitCode = kFailure;
                         if (!recorder.isRecording())
                             app.quit();
                     });
    QObject::connect(
        &recorder, &recording::Recorder::noticeOccurred, &app,
        [](const QString& message) { printErr(QStringLiteral("qr512 record: ") + message); });
    QObject::connect(&recorder, &recording::Recorder::finished, &app,
                     [&](const QString& path, int records) {
                         timer2.stop();
                         if (progress)
                             std::fprintf(stderr, "\n");
                         printOut(QStringLiteral("%1 (%2 rows)").arg(path).arg(records));
                         app.quit();
                     });
    bool started = false;
    const int loop = runConnected(
        app, connection, common,
        [&] {
            if (started)
                return;
            started = true;
            const bool ok = target ? recorder.startByRecords(*target)
                                   : recorder.startByTime(stopDate, stopTime);
            if (!ok) {
                exitCode = kFailure;
                app.quit();
                return;
            }
            timer2.start();
        },
        [&] {
            if (recorder.isRecording()) {
                recorder.finishRecording();
            } else {
                printErr(QStringLiteral("qr512 record: stopped before the meter answered; "
                                        "nothing was recorded"));
                exitCode = kFailure;
                app.quit();
            }
        },
        [&] {
            // What was recorded still becomes its final file; the exit status says the rest.
            if (recorder.isRecording())
                recorder.finishRecording();
            else
                app.quit();
        });
    return exitCode != kDone ? exitCode : loop;
}

} // namespace

bool isCliCommand(const QStringList& args) {
    return args.size() > 1 &&
           (args.at(1) == QLatin1String("live") || args.at(1) == QLatin1String("record") ||
            args.at(1) == QLatin1String("plot"));
}

int runCli(int argc, char** argv) {
    // Drawing needs a GUI application of its own (offscreen), not the link's core one.
    if (argc > 1 && qstrcmp(argv[1], "plot") == 0)
        return runPlotCommand(argc, argv);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr512"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QR512_VERSION));
    if (!installSignalHandlers()) {
        printErr(QStringLiteral("qr512: cannot install the signal handlers"));
        return kFailure;
    }
    const QStringList args = QCoreApplication::arguments();
    if (args.at(1) == QLatin1String("live"))
        return runLive(app, args);
    return runRecord(app, args);
}

} // namespace app
