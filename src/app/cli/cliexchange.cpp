#include "app/cli/cliexchange.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

namespace app {

int runMeterExchange(QCoreApplication& app, Connection& connection, const Common& common,
                     const MeterExchange& run) {
    int status = kDone;
    CliExchangeHost host;
    Exchange exchange(connection.thread(), host);
    if (run.progress)
        QObject::connect(&exchange, &Exchange::progress, &app, run.progress);

    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &app, [&] {
        printErr(QStringLiteral("qr512: no meter answered within %1 seconds").arg(common.timeout));
        status = kNoMeter;
        app.quit();
    });
    bool started = false;
    QObject::connect(&connection.state(), &live::LiveState::frameDecoded, &app, [&] {
        if (started)
            return;
        started = true;
        timeout.stop();
        int refused = kDone;
        Exchange::Work work = run.prepare(&refused);
        if (!work) {
            status = refused;
            app.quit();
            return;
        }
        exchange.runOnce(std::move(work), [&](Exchange::End end, const QString& error) {
            status = run.finish(end, error);
            app.quit();
        });
    });
    QSocketNotifier signalNotifier(signalReadFd(), QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char byte;
        [[maybe_unused]] const auto n = ::read(signalReadFd(), &byte, 1);
        if (exchange.jobRunning()) {
            exchange.cancel();
            return;
        }
        status = kFailure;
        app.quit();
    });
    connection.thread().start();
    timeout.start(common.timeout * 1000);
    app.exec();
    return status;
}

} // namespace app
