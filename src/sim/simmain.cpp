// qr512-sim: the virtual meter alone, on a pseudo-terminal.

#include "sim/ptyhost.h"
#include "sim/simoptions.h"
#include "sim/virtualmeter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte into the pipe, the event loop does the rest.
void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(g_signalPipe[1], &byte, 1);
}

bool installSignalHandlers() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return false;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &action, nullptr) == 0 &&
           ::sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr512-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QR512_VERSION));

    QCommandLineParser parser;
    sim::addSimOptions(parser);
    sim::SimOptions options;
    QString error;
    if (!sim::parseSimOptions(parser, QCoreApplication::arguments(), &options, &error)) {
        std::fprintf(stderr, "qr512-sim: %s\n", qPrintable(error));
        std::fprintf(stderr, "Try 'qr512-sim --help' for the options.\n");
        return 2;
    }
    if (options.helpRequested)
        parser.showHelp(0);

    if (!installSignalHandlers()) {
        std::perror("qr512-sim: signal handlers");
        return 1;
    }
    QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte = 0;
        [[maybe_unused]] const auto n = ::read(g_signalPipe[0], &byte, 1);
        QCoreApplication::quit();
    });

    sim::VirtualMeter meter(options.config, options.faults);
    sim::PtyHost host(&meter);
    if (!host.open(&error)) {
        std::fprintf(stderr, "qr512-sim: cannot open a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    // An unplugged adapter's device node goes away; so does the link to the closed terminal,
    // which would otherwise lead to whichever pseudo-terminal takes its number next.
    QObject::connect(&host, &sim::PtyHost::unplugged, &app, [&options] {
        if (!options.linkPath.isEmpty())
            QFile::remove(options.linkPath);
        std::fprintf(stderr, "qr512-sim: the meter is unplugged; stop with Ctrl+C\n");
    });

    if (!options.linkPath.isEmpty()) {
        QFile::remove(options.linkPath);
        if (!QFile::link(host.devicePath(), options.linkPath)) {
            std::fprintf(stderr, "qr512-sim: cannot make the link %s\n",
                         qPrintable(options.linkPath));
            return 1;
        }
    }
    // The silence is timed from the first command, so that it meets a host that is polling
    // however long that host took to start.
    QTimer firstCommand;
    if (options.silentAfter >= 0) {
        firstCommand.setInterval(10);
        QObject::connect(&firstCommand, &QTimer::timeout, &app, [&] {
            if (meter.commandLog().isEmpty())
                return;
            firstCommand.stop();
            QTimer::singleShot(int(options.silentAfter * 1000), &app, [&] {
                sim::Faults faults = options.faults;
                faults.silent = true;
                meter.setFaults(faults);
                std::fprintf(stderr, "qr512-sim: silent\n");
                if (options.silentFor >= 0)
                    QTimer::singleShot(int(options.silentFor * 1000), &app, [&] {
                        meter.setFaults(options.faults);
                        std::fprintf(stderr, "qr512-sim: answering again\n");
                    });
            });
        });
        firstCommand.start();
    }

    std::printf("%s\n", qPrintable(host.devicePath()));
    std::fflush(stdout);

    const int rc = QCoreApplication::exec();
    host.close();
    if (!options.linkPath.isEmpty())
        QFile::remove(options.linkPath);
    return rc;
}
