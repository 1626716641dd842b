#pragma once

#include "serial/linkthread.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

namespace session {

// What an exchange changes on the window while it owns the link.
class ExchangeHost {
public:
    // Marks the host gone before its child widgets (and the exchanges they own) are destroyed.
    virtual ~ExchangeHost() { *m_alive = false; }
    std::shared_ptr<const bool> alive() const { return m_alive; }
    virtual bool linkBusy() const = 0;
    virtual void setLinkBusy(bool busy) = 0;
    virtual void setToolbarEnabled(bool enabled) = 0;
    virtual QString title() const = 0;
    virtual void setTitle(const QString& title) = 0;
    // An exchange holds the link (LinkBusy may be set for no other reason).
    bool exchangeHolds() const { return m_holders > 0; }

private:
    friend class Exchange;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    int m_holders = 0;
};

struct ExchangeOptions {
    bool disableToolbar = false;
    bool progressInTitle = false; // progress texts replace the window title meanwhile
};

// The link taken from the live poll for one exchange with the meter: a key, a settings panel,
// a memory download. Every such exchange goes through this class, so the end state is the same
// however it ends (done, an exception in the job, the user's Cancel, a port choice meanwhile,
// the job dropped unrun, the owner destroyed): LinkBusy clear, toolbar enabled, title back,
// and the live poll on again unless a port choice took the link (its search switches the poll
// on itself when it connects).
//
// Owned by the panel or window that uses it: when the owner dies, late job ends touch nothing.
class Exchange : public QObject {
    Q_OBJECT
public:
    enum class End {
        Done,       // the job ran to its end
        Failed,     // the job threw; the text says what
        Cancelled,  // cancel() ended it
        Superseded, // a port choice or the program's end took the link, or it never ran
    };
    Q_ENUM(End)

    using Options = ExchangeOptions;

    // Given to the work on the link thread.
    class Job {
    public:
        Job(serial::LinkSession& linkSession, std::function<void(double, const QString&)> report)
            : session(linkSession)
            , m_progress(std::move(report)) {}
        serial::LinkSession& session;
        serial::MeterLink& link() { return session.link; }
        // Safe from the link thread: reaches the window as a queued signal.
        void progress(double fraction, const QString& text) const { m_progress(fraction, text); }
        // Throws serial::Cancelled once the job should end.
        void throwIfCancelled() const { session.link.throwIfCancelled(); }

    private:
        std::function<void(double, const QString&)> m_progress;
    };
    using Work = std::function<void(Job&)>;
    // Called on the window's thread exactly once per run(), unless the exchange died first.
    using Done = std::function<void(End end, const QString& error)>;

    Exchange(serial::LinkThread& link, ExchangeHost& host, QObject* parent = nullptr);
    ~Exchange() override;

    // Takes the link: LinkBusy set, live poll off, toolbar off and title remembered when asked.
    // False, changing nothing, when another exchange holds the link.
    bool acquire(Options options = {});
    // Runs one job while the link is held (at most one at a time; false otherwise).
    bool run(Work work, Done done);
    // acquire(), run(), and release() when the job ends. False when the link is busy.
    bool runOnce(Work work, Done done = {}, Options options = {});
    // Ends the running job at once (its wait is woken); its Done gets Cancelled.
    void cancel();
    // Gives the link back (see the class comment). A job still running is cancelled.
    void release();

    // LinkBusy cleared while a modal box waits for the user, the poll staying off; resume()
    // sets it again, false when another exchange took the link meanwhile.
    void suspend();
    bool resume();

    bool held() const { return m_held; }
    bool jobRunning() const { return m_running; }

signals:
    void progress(double fraction, const QString& text);
    void ended(session::Exchange::End end);

private:
    struct Notice;
    void jobEnded(quint64 id, End end, const QString& error, const Done& done);

    serial::LinkThread& m_link;
    ExchangeHost& m_host;
    std::shared_ptr<const bool> m_hostAlive;
    Options m_options;
    bool m_held = false;
    bool m_running = false;
    bool m_releaseWhenDone = false;
    bool m_superseded = false;
    bool m_pollOwed = false; // a reconnection's poll held back until the link is given back
    quint64 m_generation = 0;
    quint64 m_jobId = 0;
    QString m_title;
    serial::CancelFlag m_cancel;
};

} // namespace session
