#include "link/linkthread.h"

#include <QTimer>

#include <exception>

namespace serial {

LinkThread::LinkThread(BackendFactory factory, QObject* parent)
    : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("link"));
    m_worker = new LinkWorker(m_state, std::move(factory));
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &LinkWorker::statusText, this, &LinkThread::statusText);
    connect(m_worker, &LinkWorker::searchStarted, this, &LinkThread::searchStarted);
    connect(m_worker, &LinkWorker::connected, this, &LinkThread::connected);
    connect(m_worker, &LinkWorker::fixedPortFailed, this, &LinkThread::fixedPortFailed);
    connect(m_worker, &LinkWorker::portDenied, this, &LinkThread::portDenied);
    connect(m_worker, &LinkWorker::jobFailed, this, &LinkThread::jobFailed);
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
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->init(); }, Qt::QueuedConnection);
    // The first search runs by itself: the program finds the meter without being asked.
    choosePort(QStringLiteral("Auto"));
}

void LinkThread::stop() {
    if (!m_started || m_state.stopping.exchange(true))
        return;
    m_state.pollWanted = false;
    // The worker closes the port on its own thread and then ends the thread's event loop; a
    // job still running notices the stop flag at its next wait slice.
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->shutdown(); }, Qt::QueuedConnection);
    m_thread.wait();
}

void LinkThread::post(Job job, CancelFlag cancel) {
    if (!m_started || m_state.stopping)
        return;
    const quint64 generation = m_state.generation.load();
    QMetaObject::invokeMethod(
        m_worker,
        [w = m_worker, job = std::move(job), generation, cancel = std::move(cancel)] {
            w->run(job, generation, cancel);
        },
        Qt::QueuedConnection);
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
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker] { w->applyPolling(); }, Qt::QueuedConnection);
}

LinkWorker::LinkWorker(LinkState& state, BackendFactory factory)
    : m_state(state)
    , m_factory(std::move(factory)) {}

LinkWorker::~LinkWorker() = default;

void LinkWorker::init() {
    m_backend = m_factory();
    m_link = std::make_unique<MeterLink>(*m_backend.port, *m_backend.clock);
    m_detector = std::make_unique<PortDetector>(*m_link);
    m_link->setHooks({
        [this](const QString& text) { emit statusText(text); },
        [this] { m_detector->recover(); },
        [this] {
            return m_state.stopping.load() || m_state.generation.load() != m_jobGeneration ||
                   (m_jobCancel && m_jobCancel->load());
        },
    });
    m_detector->setHooks({
        [this] { emit searchStarted(); },
        [this](int portNumber) {
            m_state.pollWanted = true;
            applyPolling();
            emit connected(portNumber, m_backend.port->deviceName(portNumber));
        },
        [this](const QString& message) { emit portDenied(message); },
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
    run(pollJob, m_state.generation.load());
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
        emit fixedPortFailed(failure.detail);
    } catch (const std::exception& e) {
        emit jobFailed(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        emit jobFailed(QStringLiteral("unexpected error"));
    }
    m_jobCancel.reset();
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
    QThread::currentThread()->quit();
}

} // namespace serial
