#include "session/exchange.h"

#include "serial/handover.h"

#include <QCoreApplication>
#include <QPointer>

#include <exception>

namespace session {

// Travels with the job and reports its end from its destructor, so that a job dropped unrun
// (a port choice, the program closing) is reported as surely as one that ran.
struct Exchange::Notice {
    Notice(QPointer<Exchange> exchange, quint64 id, Done done)
        : m_exchange(std::move(exchange))
        , m_id(id)
        , m_done(std::move(done)) {}
    Notice(const Notice&) = delete;
    Notice& operator=(const Notice&) = delete;
    ~Notice() {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        serial::postTo(app,
                       [exchange = m_exchange, id = m_id, end = end, error = error, done = m_done] {
                           if (exchange)
                               exchange->jobEnded(id, end, error, done);
                       });
    }

    End end = End::Superseded; // until the job says otherwise
    QString error;

private:
    QPointer<Exchange> m_exchange;
    quint64 m_id = 0;
    Done m_done;
};

Exchange::Exchange(serial::LinkThread& link, ExchangeHost& host, QObject* parent)
    : QObject(parent)
    , m_link(link)
    , m_host(host)
    , m_hostAlive(host.alive()) {
    // A search that finds the meter switches the poll on: not while this exchange holds the
    // link (a panel open, a job whose own search found it again). It comes on at the release.
    connect(&m_link, &serial::LinkThread::connected, this, [this] {
        if (!m_held)
            return;
        m_pollOwed = true;
        m_link.setPolling(false);
    });
}

Exchange::~Exchange() {
    // The owner closed while holding the link (a panel destroyed with the window still up):
    // the window must not stay locked. A window being destroyed is left alone.
    cancel();
    if (m_held && *m_hostAlive)
        release();
}

bool Exchange::acquire(Options options) {
    if (m_held || m_host.linkBusy())
        return false;
    m_held = true;
    ++m_host.m_holders;
    m_superseded = false;
    m_pollOwed = false;
    m_releaseWhenDone = false;
    m_options = options;
    m_generation = m_link.generation();
    m_host.setLinkBusy(true);
    m_link.setPolling(false);
    if (m_options.disableToolbar)
        m_host.setToolbarEnabled(false);
    m_title = m_host.title();
    return true;
}

bool Exchange::run(Work work, Done done) {
    if (!m_held || m_running)
        return false;
    m_running = true;
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    auto notice = std::make_shared<Notice>(QPointer<Exchange>(this), ++m_jobId, std::move(done));
    const QPointer<Exchange> self(this);
    const bool toTitle = m_options.progressInTitle;
    auto report = [self, toTitle](double fraction, const QString& text) {
        serial::postTo(
            QCoreApplication::instance(),
            [self, fraction, text, toTitle] {
                if (!self || !self->m_running)
                    return;
                if (toTitle)
                    self->m_host.setTitle(text);
                emit self->progress(fraction, text);
            });
    };
    m_link.post(
        [work = std::move(work), notice, report, cancel = m_cancel](serial::LinkSession& session) {
            Job job(session, report);
            try {
                work(job);
                notice->end = End::Done;
            } catch (const serial::Cancelled&) {
                notice->end = cancel->load() ? End::Cancelled : End::Superseded;
            } catch (const serial::FixedPortFailed&) {
                // The port is gone for good: the thread says so and leaves the poll off.
                notice->end = End::Superseded;
                throw;
            } catch (const std::exception& e) {
                notice->end = End::Failed;
                notice->error = QString::fromLocal8Bit(e.what());
            } catch (...) {
                notice->end = End::Failed;
                notice->error = QStringLiteral("unexpected error");
            }
        },
        m_cancel);
    return true;
}

bool Exchange::runOnce(Work work, Done done, Options options) {
    if (!acquire(options))
        return false;
    m_releaseWhenDone = true;
    run(std::move(work), std::move(done));
    return true;
}

void Exchange::cancel() {
    m_link.cancel(m_cancel);
}

void Exchange::jobEnded(quint64 id, End end, const QString& error, const Done& done) {
    if (id == m_jobId) {
        m_running = false;
        m_cancel.reset();
        if (end == End::Superseded)
            m_superseded = true;
    }
    if (done)
        done(end, error);
    emit ended(end);
    if (id == m_jobId && m_releaseWhenDone && m_held)
        release();
}

void Exchange::release() {
    if (!m_held)
        return;
    cancel();
    m_held = false;
    --m_host.m_holders;
    m_releaseWhenDone = false;
    m_host.setLinkBusy(false);
    if (m_options.disableToolbar)
        m_host.setToolbarEnabled(true);
    if (m_options.disableToolbar || m_options.progressInTitle)
        m_host.setTitle(m_title);
    if (m_pollOwed || (!m_superseded && m_link.generation() == m_generation))
        m_link.setPolling(true);
}

void Exchange::suspend() {
    if (m_held)
        m_host.setLinkBusy(false);
}

bool Exchange::resume() {
    if (!m_held || m_host.linkBusy())
        return false;
    m_host.setLinkBusy(true);
    return true;
}

} // namespace session
