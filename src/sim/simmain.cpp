// qr512-sim: the virtual meter alone, on a pseudo-terminal.

#include "base/signalwatcher.h"
#include "sim/ptyhost.h"
#include "sim/simoptions.h"
#include "sim/virtualmeter.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

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

    // Every signal is handed to the event loop, which ends: the link is removed on the way out.
    if (!base::installSignalHandlers({})) {
        std::perror("qr512-sim: signal handlers");
        return 1;
    }
    const base::SignalWatcher stopOnSignal([] { QCoreApplication::quit(); });

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
