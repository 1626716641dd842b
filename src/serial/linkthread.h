#pragma once

#include "serial/handover.h"
#include "serial/meterlink.h"
#include "serial/portdetector.h"
#include "serial/waker.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>

class QTimer;

namespace serial {

// What the link thread works with. Both are created on the link thread and die there.
struct Backend {
    std::unique_ptr<Port> port;
    std::unique_ptr<Clock> clock;
};
using BackendFactory = std::function<Backend()>;

// Handed to every job: the link operations and the port search, on the link thread.
struct LinkSession {
    MeterLink& link;
    PortDetector& detector;
    std::function<void(bool)> setPolling; // live poll on/off from inside a job
};
using Job = std::function<void(LinkSession&)>;

class LinkWorker;

// What the window's thread and the link thread both look at; every field is atomic.
struct LinkState {
    std::atomic<quint64> generation{0}; // bumped by every cancelling post (a port choice)
    std::atomic<bool> stopping{false};
    std::atomic<bool> pollWanted{false};
    // Posted jobs not yet started: a search that a poll tick runs gives way to them.
    std::atomic<int> queuedJobs{0};
    // Ends the running wait, so the job looks at the flags above at once.
    Waker waker;
};

// Set (through LinkThread::cancel) by the owner of one job to end it (the user's Cancel).
using CancelFlag = std::shared_ptr<std::atomic<bool>>;

// One thread owns the port and runs one job at a time: the live poll tick, a key, a settings
// exchange, a port search. The window never touches the port; it posts jobs and gets status
// texts and results back as queued signals. Any wait inside a job ends at once when the job
// is cancelled (a new port choice, the user's Cancel) or the thread stops (the window closes).
class LinkThread : public QObject {
    Q_OBJECT
public:
    explicit LinkThread(BackendFactory factory, QObject* parent = nullptr);
    ~LinkThread() override;

    // The live poll tick run by the 100 ms timer while polling is on. Set before start().
    void setPollJob(Job job);
    // Starts the thread and the automatic search of all ports.
    void start();
    // Ends the running job and the thread; returns when the thread has finished.
    void stop();

    // Runs after the jobs already queued. Setting `cancel` ends this job (Cancelled is thrown
    // out of its next wait) without touching the others.
    void post(Job job, CancelFlag cancel = nullptr);
    // Ends the running job (and skips queued ones) before running this one.
    void postCancelling(Job job);
    // Sets the flag a job was posted with; its running wait ends at once.
    void cancel(const CancelFlag& flag);
    // The user's pick in the port list: stops the live poll; "Auto" or "COM1".."COM16" end a
    // running search and start the new one. Any other text leaves the poll off and returns
    // false.
    bool choosePort(const QString& text);
    // Live poll on or off ("Timer1").
    void setPolling(bool on);
    bool polling() const { return m_state.pollWanted.load(); }
    bool running() const { return m_thread.isRunning(); }
    // Changes whenever a port choice (or any cancelling post) supersedes the queued jobs.
    quint64 generation() const { return m_state.generation.load(); }

signals:
    void statusText(const QString& text);
    void searchStarted();
    void connected(int portNumber, const QString& device);
    void fixedPortFailed(const QString& detail);
    // Once per automatic search: a port could not be opened for lack of rights.
    void portDenied(const QString& message);
    // Once per automatic search: a port is held by another program.
    void portBusy(const QString& message);
    void jobFailed(const QString& message);

private:
    QThread m_thread;
    LinkState m_state;
    LinkWorker* m_worker = nullptr;
    bool m_started = false;
};

// Lives on the link thread. Internal to LinkThread: what it has to say reaches the window's
// thread as LinkThread's signals.
class LinkWorker : public QObject {
    Q_OBJECT
public:
    LinkWorker(LinkState& state, BackendFactory factory, LinkThread* owner);
    ~LinkWorker() override;

    void init();
    void run(const Job& job, quint64 generation, const CancelFlag& cancel = nullptr);
    void tick();
    void applyPolling();
    void shutdown();
    Job pollJob;

private:
    // Emits the owner's `signal` on the owner's thread, the hand-over marked (handover.h).
    template <typename Signal, typename... Args> void tell(Signal signal, Args... args) {
        postTo(
            m_owner, [owner = m_owner, signal, args...] { (owner->*signal)(args...); });
    }

    LinkState& m_state;
    LinkThread* m_owner;
    CancelFlag m_jobCancel;
    BackendFactory m_factory;
    Backend m_backend;
    std::unique_ptr<MeterLink> m_link;
    std::unique_ptr<PortDetector> m_detector;
    std::unique_ptr<LinkSession> m_session;
    QTimer* m_timer1 = nullptr;
    quint64 m_jobGeneration = 0;
    bool m_inPollTick = false;
    bool m_searching = false; // from a search's start until a meter answers or the job ends
};

} // namespace serial
