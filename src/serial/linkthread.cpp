#include "serial/linkthread.h"

#include <QTimer>

#include <exception>

namespace serial {

LinkThread::LinkThread(BackendFactory factory, QObject* parent)
    : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("link"));
    m_worker = new LinkWorker(m_state, std::move(factory), this);
    m_worker->moveToThread(&m_thread);
}

LinkThread::~LinkThread() {
    stop();
    delete m_worker;
}

void LinkThread::setPollJob(Job job) {
    m_worker->pollJob = std::move(job);
}

void LinkThread::start() {
    if (m_started)
        return;
    m_started = true;
    m_thread.start();
    postTo(m_worker, [w = m_worker] { w->init(); });
    // The first search runs by itself: the program finds the meter without being asked.
    choosePort(QStringLiteral("Auto"));
}

void LinkThread::stop() {
    if (!m_started || m_state.stopping.exchange(true))
        return;
    m_state.pollWanted = false;
    // The worker closes the port on its own thread and then ends the thread's event loop; a
    // job still running is woken from its wait and notices the stop flag.
    postTo(m_worker, [w = m_worker] { w->shutdown(); });
    m_state.waker.wake();
    m_thread.wait();
    takeOver(); // the worker's last writes, before it is deleted here
}

void LinkThread::post(Job job, CancelFlag cancel) {
    if (!m_started || m_state.stopping)
        return;
    const quint64 generation = m_state.generation.load();
    ++m_state.queuedJobs;
    postTo(m_worker, [w = m_worker, state = &m_state, job = std::move(job), generation,
                      cancel = std::move(cancel)] {
        --state->queuedJobs;
        w->run(job, generation, cancel);
    });
    // A search run by a poll tick gives way to the job, and a cancelling post ends the job.
    m_state.waker.wake();
}

void LinkThread::cancel(const CancelFlag& flag) {
    if (!flag)
        return;
    flag->store(true);
    m_state.waker.wake();
}

void LinkThread::postCancelling(Job job) {
    ++m_state.generation;
    post(std::move(job));
}

bool LinkThread::choosePort(const QString& text) {
    // The poll stops whatever the text: a text that is no choice leaves it off.
    setPolling(false);
    const std::optional<PortChoice> choice = parsePortChoice(text);
    if (!choice)
        return false;
    postCancelling([choice = *choice](LinkSession& s) {
        s.detector.setChoice(choice);
        if (choice.autoPort)
            s.detector.scanPorts();
        else
            s.detector.openFixedPort();
    });
    return true;
}

void LinkThread::setPolling(bool on) {
    m_state.pollWanted = on;
    if (m_started && !m_state.stopping)
        postTo(m_worker, [w = m_worker] { w->applyPolling(); });
}

LinkWorker::LinkWorker(LinkState& state, BackendFactory factory, LinkThread* owner)
    : m_state(state)
    , m_owner(owner)
    , m_factory(std::move(factory)) {}

LinkWorker::~LinkWorker() = default;

void LinkWorker::init() {
    m_backend = m_factory();
    m_backend.clock->setWaker(&m_state.waker);
    m_link = std::make_unique<MeterLink>(*m_backend.port, *m_backend.clock);
    m_detector = std::make_unique<PortDetector>(*m_link);
    m_link->setHooks({
        [this](const QString& text) { tell(&LinkThread::statusText, text); },
        [this] { m_detector->recover(); },
        [this] {
            return m_state.stopping.load() || m_state.generation.load() != m_jobGeneration ||
                   (m_jobCancel && m_jobCancel->load()) ||
                   // A meter that went away must not hold a key, a panel or a download (and
                   // its Cancel) queued behind the poll's search for it.
                   (m_inPollTick && m_searching && m_state.queuedJobs.load() > 0);
        },
    });
    m_detector->setHooks({
        [this] {
            m_searching = true;
            tell(&LinkThread::searchStarted);
        },
        [this](int portNumber) {
            m_searching = false;
            m_state.pollWanted = true;
            applyPolling();
            tell(&LinkThread::connected, portNumber, m_backend.port->deviceName(portNumber));
        },
        [this](const QString& message) { tell(&LinkThread::portDenied, message); },
        [this](const QString& message) { tell(&LinkThread::portBusy, message); },
    });
    m_session = std::make_unique<LinkSession>(LinkSession{*m_link, *m_detector, [this](bool on) {
                                                              m_state.pollWanted = on;
                                                              applyPolling();
                                                          }});
    m_timer1 = new QTimer(this);
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, &LinkWorker::tick);
}

void LinkWorker::applyPolling() {
    if (!m_timer1)
        return;
    const bool on = m_state.pollWanted.load() && !m_state.stopping.load();
    if (on && !m_timer1->isActive())
        m_timer1->start();
    else if (!on)
        m_timer1->stop();
}

void LinkWorker::tick() {
    // Polling may have been switched off after this tick was queued.
    if (!pollJob || !m_state.pollWanted.load())
        return;
    m_inPollTick = true;
    run(pollJob, m_state.generation.load());
    m_inPollTick = false;
}

void LinkWorker::run(const Job& job, quint64 generation, const CancelFlag& cancel) {
    if (!m_session || m_state.stopping.load() || generation != m_state.generation.load())
        return;
    m_jobGeneration = generation;
    m_jobCancel = cancel;
    try {
        job(*m_session);
    } catch (const Cancelled&) {
    } catch (const FixedPortFailed& failure) {
        m_state.pollWanted = false;
        applyPolling();
        tell(&LinkThread::fixedPortFailed, failure.detail);
    } catch (const std::exception& e) {
        tell(&LinkThread::jobFailed, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        tell(&LinkThread::jobFailed, QStringLiteral("unexpected error"));
    }
    m_jobCancel.reset();
    m_searching = false;
}

void LinkWorker::shutdown() {
    if (m_timer1)
        m_timer1->stop();
    m_session.reset();
    m_detector.reset();
    m_link.reset();
    // The port is closed on the thread that used it.
    m_backend.port.reset();
    m_backend.clock.reset();
    handOff(m_owner->thread());
    QThread::currentThread()->quit();
}

} // namespace serial
