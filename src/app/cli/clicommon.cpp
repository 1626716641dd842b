#include "app/cli/clicommon.h"

#include "base/signalwatcher.h"
#include "dataout/rowformat.h"
#include "recording/replacingfile.h"
#include "serial/serialport.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace app {

namespace {

int g_outputError = 0; // errno of the first line that did not reach standard output

} // namespace

bool installSignalHandlers(bool handOver) {
    static constexpr char kStopped[] = "qr512: stopped\n";
    // A second signal ends the program at once: every recorded row is already on disk. A
    // command that does not watch for signals (it draws or beeps and ends by itself) stops at
    // the first.
    base::SignalPolicy policy;
    policy.exitFrom = handOver ? 2 : 1;
    policy.exitMessage = handOver ? nullptr : kStopped;
    return base::installSignalHandlers(policy);
}

void printErr(const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

void printOut(const QString& text) {
    if (g_outputError != 0)
        return;
    const QByteArray line = text.toLocal8Bit() + '\n';
    errno = 0;
    if (std::fwrite(line.constData(), 1, std::size_t(line.size()), stdout) ==
            std::size_t(line.size()) &&
        std::fflush(stdout) == 0)
        return;
    // Output that cannot be written (a full disk, a closed pipe) ends the command: a reader of
    // it must not take a short list for the whole.
    g_outputError = errno != 0 ? errno : EIO;
    if (QCoreApplication* app = QCoreApplication::instance())
        app->exit(kFailure);
}

bool writeOut(QByteArrayView bytes) {
    if (g_outputError != 0)
        return false;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, std::size_t(bytes.size()), stdout) ==
        std::size_t(bytes.size()))
        return true;
    g_outputError = errno != 0 ? errno : EIO;
    return false;
}

int finishOutput(int status) {
    if (g_outputError == 0 && std::fflush(stdout) != 0)
        g_outputError = errno != 0 ? errno : EIO;
    if (g_outputError == 0)
        return status;
    printErr(QStringLiteral("qr512: could not write the output: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(g_outputError))));
    return status == kDone ? int(kFailure) : status;
}

QList<QCommandLineOption> commonOptions(const QString& timeoutMeaning) {
    return {{QStringLiteral("port"),
             QStringLiteral("Serial device of the meter (repeatable). Without it, the system's "
                            "serial ports are searched."),
             QStringLiteral("DEVICE")},
            {QStringLiteral("simulate"),
             QStringLiteral("Use the built-in virtual meter instead of a real one.")},
            {QStringLiteral("timeout"),
             QStringLiteral("Give up (exit status 3) when the meter has not answered for "
                            "SECONDS, at the start or later (default 30); %1.")
                 .arg(timeoutMeaning),
             QStringLiteral("SECONDS"), QStringLiteral("30")}};
}

std::optional<qint64> durationMs(const QCommandLineParser& parser, const QString& name,
                                 qint64 minimumMs, qint64 maximumMs, QString* error) {
    bool ok = false;
    const QString text = parser.value(name);
    const double seconds = text.trimmed().toDouble(&ok);
    // Compared as seconds before any conversion: a huge or non-finite value never overflows.
    if (!ok || !std::isfinite(seconds) || seconds * 1000 < double(minimumMs) ||
        seconds * 1000 > double(maximumMs)) {
        *error = QStringLiteral("--%1: \"%2\" is not a number of seconds from %3 to %4")
                     .arg(name, text, secondsText(minimumMs), secondsText(maximumMs));
        return std::nullopt;
    }
    return std::llround(seconds * 1000);
}

QString secondsText(qint64 ms) {
    return ms % 1000 == 0 ? QString::number(ms / 1000)
                          : QString::number(double(ms) / 1000, 'f', 3)
                                .remove(QRegularExpression(QStringLiteral("0+$")));
}

QString durationText(qint64 ms) {
    return secondsText(ms) + (ms == 1000 ? QStringLiteral(" second") : QStringLiteral(" seconds"));
}

QString countText(qint64 count, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
}

std::optional<live::TempUnit> parseUnit(const QCommandLineParser& parser, QString* error) {
    const QString letter = parser.value(QStringLiteral("unit"));
    const std::optional<live::TempUnit> unit = dataout::unitOf(letter);
    if (!unit)
        *error = QStringLiteral("--unit: \"%1\" is not C, F or K").arg(letter);
    return unit;
}

bool writableOutput(const QString& path, QString* error) {
    const std::optional<QString> refusal = recording::unsafeTarget(path);
    if (refusal)
        *error = QStringLiteral("-o: cannot write \"%1\": %2").arg(path, *refusal);
    return !refusal;
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
        if (!serial::SerialPort::isSerialDevice(port)) {
            *error = QStringLiteral("--port: not a serial port: %1").arg(port);
            return false;
        }
    }
    const auto timeout =
        durationMs(parser, QStringLiteral("timeout"), 100, qint64(86400) * 365 * 1000, error);
    if (!timeout)
        return false;
    common->timeoutMs = *timeout;
    return true;
}

bool Connection::open(const Common& common, QString* error) {
    QStringList devices = common.ports;
    if (common.simulate) {
        m_sim = std::make_unique<session::Simulation>();
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
    // The window keeps searching past a port another program holds; a command line names it,
    // since that is often why no meter answers.
    for (const auto signal : {&serial::LinkThread::portDenied, &serial::LinkThread::portBusy})
        QObject::connect(m_thread.get(), signal, m_thread.get(), [](const QString& message) {
            printErr(QStringLiteral("qr512: ") + message);
        });
    return true;
}

Connection::~Connection() {
    if (m_thread)
        m_thread->stop();
}

QString silenceText(bool answered, qint64 ms) {
    const QString seconds = durationText(ms);
    return answered
               ? QStringLiteral("qr512: the meter stopped answering (nothing for %1)").arg(seconds)
               : QStringLiteral("qr512: no meter answered within %1").arg(seconds);
}

} // namespace app
