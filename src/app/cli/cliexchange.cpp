#include "app/cli/cliexchange.h"

#include "app/cli/silencetimer.h"
#include "base/signalwatcher.h"

#include <QCoreApplication>
#include <QTimer>

namespace app {

namespace {

constexpr int kSignalGraceMs = 400;

// One run of runMeterExchange(): the wait for the first frame, the job, and its ends.
class ExchangeRun {
public:
    ExchangeRun(QCoreApplication& app, Connection& connection, const Common& common,
                const MeterExchange& run)
        : m_app(app)
        , m_connection(connection)
        , m_common(common)
        , m_run(run)
        , m_exchange(connection.thread(), m_host)
        // Every silence of the meter is bounded, the one during the job too: a meter that goes
        // away under it leaves the link searching, with the job queued behind the search.
        // Ending the event loop stops the link thread, which wakes any search or wait and
        // ends it.
        , m_timeout([this] {
            printErr(silenceText(m_started, m_common.timeoutMs));
            end(kNoMeter);
        }) {
        if (run.progress)
            QObject::connect(&m_exchange, &session::Exchange::progress, &app, run.progress);
        // A job that is receiving is not silent.
        QObject::connect(
            &m_exchange, &session::Exchange::progress, &app,
            [this](double, const QString&) { m_timeout.start(m_common.timeoutMs); });
        QObject::connect(&connection.state(), &live::LiveState::frameDecoded, &app,
                         [this] { firstFrame(); });
        m_grace.setSingleShot(true);
        QObject::connect(&m_grace, &QTimer::timeout, &app, [this] {
            printErr(QStringLiteral("qr512: stopped; the meter was not answering"));
            end(kFailure);
        });
    }

    int exec() {
        const base::SignalWatcher signalWatcher([this] { signalled(); });
        m_connection.thread().start();
        m_timeout.start(m_common.timeoutMs);
        m_app.exec();
        return m_status;
    }

private:
    void firstFrame() {
        if (m_started)
            return;
        m_started = true;
        m_timeout.start(m_common.timeoutMs);
        int refused = kDone;
        session::Exchange::Work work = m_run.prepare(&refused);
        if (!work) {
            end(refused);
            return;
        }
        m_exchange.runOnce(std::move(work),
                           [this](session::Exchange::End ending, const QString& error) {
                               m_timeout.stop();
                               end(m_run.finish(ending, error));
                           });
    }
    // The first Ctrl+C or SIGTERM cancels a running job, which ends at its next wait (a poll's
    // search gives way to it). Should it not have ended 0.4 s later, the command ends anyway
    // and the link thread is stopped with it.
    void signalled() {
        if (m_exchange.jobRunning()) {
            m_exchange.cancel();
            m_grace.start(kSignalGraceMs);
            return;
        }
        printErr(QStringLiteral("qr512: stopped before the meter answered"));
        end(kFailure);
    }
    void end(int status) {
        m_status = status;
        m_app.quit();
    }

    QCoreApplication& m_app;
    Connection& m_connection;
    const Common& m_common;
    const MeterExchange& m_run;
    int m_status = kDone;
    bool m_started = false;
    CliExchangeHost m_host;
    session::Exchange m_exchange;
    SilenceTimer m_timeout;
    QTimer m_grace;
};

} // namespace

int runMeterExchange(QCoreApplication& app, Connection& connection, const Common& common,
                     const MeterExchange& run) {
    ExchangeRun exchangeRun(app, connection, common, run);
    return exchangeRun.exec();
}

} // namespace app
