#include "app/window/runwindow.h"

#include "app/clock/clockpanel.h"
#include "app/memory/memoryui.h"
#include "app/plot/plotviewer.h"
#include "app/recording/recordingui.h"
#include "app/service/servicepanel.h"
#include "app/settings/alarmpanel.h"
#include "app/settings/samplingpanel.h"
#include "app/trend/trendview.h"
#include "app/window/controlpanel.h"
#include "app/window/desktopplatform.h"
#include "live/livepoll.h"
#include "recording/recorder.h"
#include "serial/linkthread.h"
#include "serial/portcatalog.h"
#include "serial/serialport.h"
#include "session/simulation.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QSettings>
#include <QStatusBar>

#include <cstdio>
#include <memory>

namespace app {

namespace {

struct WindowOptions {
    QCommandLineParser parser;
    QCommandLineOption help{QStringList{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this help and exit.")};
    QCommandLineOption version{QStringLiteral("version"),
                               QStringLiteral("Show the version and exit.")};
    QCommandLineOption simulate{
        QStringLiteral("simulate"),
        QStringLiteral("Start a built-in virtual meter on a pseudo-terminal and use it as the "
                       "first port (COM1).")};
    QCommandLineOption service{
        QStringLiteral("service"),
        QStringLiteral("Widen the window to show the service controls: the byte panel, the "
                       "raw clock buttons and the meter's sampling time.")};
    QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral("Serial device for the next port number, after the virtual meter; may "
                       "be given several times. The system's own ports follow."),
        QStringLiteral("DEVICE")};

    WindowOptions() {
        parser.setApplicationDescription(QStringLiteral(
            "Companion program of the QR512 thermometer and data logger.\n"
            "Without a window: 'qr512 COMMAND --help' for the commands live (print the "
            "readings), record (record them into a data file), plot (draw a data file into a "
            "picture), export (a data file as CSV), download and erase (the meter's memory), "
            "limits (the alarm limits), beep "
            "(the alarm"
            " tone), clock (the meter's clock), interval (the meter's sampling interval)"
            " and send (bytes to the meter)."));
        parser.addOptions({help, version, simulate, service, port});
    }
};

} // namespace

int answerWithoutWindow(const QStringList& args) {
    WindowOptions options;
    QCommandLineParser& parser = options.parser;
    if (!parser.parse(args)) {
        std::fprintf(stderr, "qr512: %s\nTry 'qr512 --help' for the options.\n",
                     qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(options.help)) {
        // No application object yet, so the parser cannot know the program's name.
        std::printf("%s", qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                               QStringLiteral("qr512"))));
        return 0;
    }
    if (parser.isSet(options.version)) {
        std::printf("qr512 %s\nLicence: MIT (see /usr/share/doc/qr512/copyright)\n", QR512_VERSION);
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "qr512: unexpected argument '%s'\nTry 'qr512 --help'.\n",
                     qPrintable(parser.positionalArguments().first()));
        return 2;
    }
    return -1;
}

int runWindow(QApplication& app, const QStringList& args) {
    if (const int rc = answerWithoutWindow(args); rc >= 0)
        return rc;
    WindowOptions options;
    options.parser.parse(args);
    const QCommandLineParser& parser = options.parser;

    QStringList devices = parser.values(options.port);
    std::unique_ptr<session::Simulation> simulation;
    if (parser.isSet(options.simulate)) {
        simulation = std::make_unique<session::Simulation>();
        QString error;
        if (!simulation->start(&error)) {
            std::fprintf(stderr, "qr512: cannot start the virtual meter: %s\n", qPrintable(error));
            return 1;
        }
        devices.prepend(simulation->devicePath());
    }

    const serial::PortCatalog catalog(devices);
    serial::LinkThread link([catalog] {
        auto serialPort = std::make_unique<serial::SerialPort>(catalog);
        auto clock = std::make_unique<serial::RealClock>(serialPort.get());
        return serial::Backend{std::move(serialPort), std::move(clock)};
    });
    live::LiveState live;
    live::attachLivePoll(link, live);

    DesktopPlatform platform;
    QElapsedTimer monotonic;
    monotonic.start();
    ControlPanel window(link, live, platform,
                        [monotonic] { return double(monotonic.nsecsElapsed()) / 1e9; });
    window.setPortDevices(catalog.devices());
    QObject::connect(&link, &serial::LinkThread::jobFailed, &window, [&](const QString& what) {
        static_cast<Platform&>(platform).message(
            QStringLiteral("The exchange with the meter failed: %1").arg(what),
            Platform::Icon::Warning);
    });
    auto* recording = new RecordingUi(window, live, platform, &QDateTime::currentDateTime, &window);
    SamplingPanel* sampling = attachSamplingPanel(
        window, link, platform, [recording] { return recording->recorder().samplingTime(); },
        [recording](int seconds) { recording->recorder().setSamplingTime(seconds); });
    auto* plots = new PlotViewer(
        platform, [&live] { return live.displayUnit(); }, &window);
    attachOpenKey(window, *plots, [recording] { return recording->recorder().isRecording(); });
    ClockPanel* clock = attachClockPanel(window, link, &QDateTime::currentDateTime);
    attachServicePanel(window, link, platform, *clock, &QDateTime::currentDateTime,
                       {sampling->serviceFrame()}, parser.isSet(options.service));
    attachMemory(
        window, live, platform, [recording] { return recording->recorder().workingDirectory(); },
        [plots](const QString& path) { plots->open(path); });
    attachAlarmPanel(window, link, live, platform);
    QObject::connect(&platform.tone(), &Tone::noSoundDevice, &window, [&window] {
        window.showNotice(
            QStringLiteral("No sound device found: the alarm sounds the system beep."));
    });
    if (simulation)
        window.markVirtualMeter();
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("qr512"),
                       QStringLiteral("qr512"));
    attachTrendChart(window, live, settings); // widens the unscaled window: before the scale
    window.rememberScale(settings);
    window.show();
    link.start();

    const int rc = app.exec();
    link.stop();
    return rc;
}

} // namespace app
