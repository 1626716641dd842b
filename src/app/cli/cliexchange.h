#pragma once

#include "app/cli/clicommon.h"
#include "session/exchange.h"

#include <functional>

class QCoreApplication;

namespace app {

// The headless form of a panel's exchange: the same Exchange class the window uses, on a host
// that has no toolbar or title.
class CliExchangeHost : public session::ExchangeHost {
public:
    bool linkBusy() const override { return m_busy; }
    void setLinkBusy(bool busy) override { m_busy = busy; }
    void setToolbarEnabled(bool) override {}
    QString title() const override { return {}; }
    void setTitle(const QString&) override {}

private:
    bool m_busy = false;
};

struct MeterExchange {
    // Called on the main thread once the first frame came (unit, type and channel count are
    // known from connection.state()); returns the job to run, or nothing to end at once with
    // `*status` (a refused value, for example).
    std::function<session::Exchange::Work(int* status)> prepare;
    // The job's end (on the main thread) -> the exit status.
    std::function<int(session::Exchange::End end, const QString& error)> finish;
    // Progress of the job, for example to print on a terminal; may be empty.
    std::function<void(double fraction, const QString& text)> progress;
};

// Connects, waits for the first live frame within the time-out (status 3 and the message
// otherwise), then runs the job as one exclusive exchange. The time-out bounds every silence of
// the meter, the job's too (its progress counts as the meter talking): a meter that goes away
// under the job ends the command with status 3. The first Ctrl+C or SIGTERM cancels the job
// (its finish sees Cancelled), or ends the command at once when no job runs yet.
int runMeterExchange(QCoreApplication& app, Connection& connection, const Common& common,
                     const MeterExchange& exchange);

} // namespace app
