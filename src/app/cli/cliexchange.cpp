#include "app/cli/cliexchange.h"

#include "app/cli/silencetimer.h"
#include "base/signalwatcher.h"

#include <QCoreApplication>
#include <QTimer>

namespace app {

namespace {
constexpr int kSignalGraceMs = 400;
}

int runMeterExchange(QCoreApplication& app, Connection& connection, const Common& common,
                     const MeterExchange& run) {
    int status = kDone;
    CliExchangeHost host;
    session::Exchange exchange(connection.thread(), host);
    if (run.progress)
        QObject::connect(&exchange, &session::Exchange::progress, &app, run.progress);

    bool started = false;
    // Every silence of the meter is bounded, the one during the job too: a meter that goes
    // away under it leaves the link searching, with the job queued behind the search. Ending
    // the event loop stops the link thread, which wakes any search or wait and ends it.
    SilenceTimer timeout([&] {
        printErr(silenceText(started, common.timeoutMs));
        status = kNoMeter;
        app.quit();
    });
    // A job that is receiving is not silent.
    QObject::connect(&exchange, &session::Exchange::progress, &app,
                     [&](double, const QString&) { timeout.start(common.timeoutMs); });
    QObject::connect(&connection.state(), &live::LiveState::frameDecoded, &app, [&] {
        if (started)
            return;
        started = true;
        timeout.start(common.timeoutMs);
        int refused = kDone;
        session::Exchange::Work work = run.prepare(&refused);
        if (!work) {
            status = refused;
            app.quit();
            return;
        }
        exchange.runOnce(std::move(work), [&](session::Exchange::End end, const QString& error) {
            timeout.stop();
            status = run.finish(end, error);
            app.quit();
        });
    });
    // The first Ctrl+C or SIGTERM cancels a running job, which ends at its next wait (a poll's
    // search gives way to it). Should it not have ended 0.4 s later, the command ends anyway
    // and the link thread is stopped with it.
    QTimer grace;
    grace.setSingleShot(true);
    QObject::connect(&grace, &QTimer::timeout, &app, [&] {
        printErr(QStringLiteral("qr512: stopped; the meter was not answering"));
        status = kFailure;
        app.quit();
    });
    const base::SignalWatcher signalWatcher([&] {
        if (exchange.jobRunning()) {
            exchange.cancel();
            grace.start(kSignalGraceMs);
            return;
        }
        printErr(QStringLiteral("qr512: stopped before the meter answered"));
        status = kFailure;
        app.quit();
    });
    connection.thread().start();
    timeout.start(common.timeoutMs);
    app.exec();
    return status;
}

} // namespace app
