#include "link/linkthread.h"

#include <QTimer>

#include <exception>

namespace serial {

LinkThread::LinkThread(BackendFactory factory, QObject* parent)
    : QObject(parent) {
    m_thread.setObjectName(QStringLiteral("link"));
    m_worker = new LinkWorker(*this, std::move(factory));
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
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->init(); }, Qt::QueuedConnection);
    // The first search runs by itself: the program finds the meter without being asked.
    choosePort(QStringLiteral("Auto"));
}

void LinkThread::stop() {
    if (!m_started || m_stopping.exchange(true))
        return;
    m_pollWanted = false;
    // The worker closes the port on its own thread and then ends the thread's event loop; a
    // job still running notices the stop flag at its next wait slice.
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker] { w->shutdown(); }, Qt::QueuedConnection);
    m_thread.wait();
}

void LinkThread::post(Job job) {
    if (!m_started || m_stopping)
        return;
    const quint64 generation = m_generation.load();
    QMetaObject::invokeMethod(
        m_worker, [w = m_worker, job = std::move(job), generation] { w->run(job, generation); },
        Qt::QueuedConnection);
}

void LinkThread::postCancelling(Job job) {
    ++m_generation;
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
    m_pollWanted = on;
    if (m_started && !m_stopping)
        QMetaObject::invokeMethod(
            m_worker, [w = m_worker] { w->applyPolling(); }, Qt::QueuedConnection);
}

LinkWorker::LinkWorker(LinkThread& owner, BackendFactory factory)
    : m_owner(owner)
    , m_factory(std::move(factory)) {}

LinkWorker::~LinkWorker() = default;

void LinkWorker::init() {
    m_backend = m_factory();
    m_link = std::make_unique<MeterLink>(*m_backend.port, *m_backend.clock);
    m_detector = std::make_unique<PortDetector>(*m_link);
    m_link->setHooks({
        [this](const QString& text) { emit m_owner.statusText(text); },
        [this] { m_detector->recover(); },
        [this] {
            return m_owner.m_stopping.load() || m_owner.m_generation.load() != m_jobGeneration;
        },
    });
    m_detector->setHooks({
        [this] { emit m_owner.searchStarted(); },
        [this](int portNumber) {
            m_owner.m_pollWanted = true;
            applyPolling();
            emit m_owner.connected(portNumber, m_backend.port->deviceName(portNumber));
        },
        [this](const QString& message) { emit m_owner.portDenied(message); },
    });
    m_session = std::make_unique<LinkSession>(LinkSession{*m_link, *m_detector, [this](bool on) {
                                                              m_owner.m_pollWanted = on;
                                                              applyPolling();
                                                          }});
    m_timer1 = new QTimer(this);
    m_timer1->setInterval(100);
    connect(m_timer1, &QTimer::timeout, this, &LinkWorker::tick);
}

void LinkWorker::applyPolling() {
    if (!m_timer1)
        return;
    const bool on = m_owner.m_pollWanted.load() && !m_owner.m_stopping.load();
    if (on && !m_timer1->isActive())
        m_timer1->start();
    else if (!on)
        m_timer1->stop();
}

void LinkWorker::tick() {
    // Polling may have been switched off after this tick was queued.
    if (!pollJob || !m_owner.m_pollWanted.load())
        return;
    run(pollJob, m_owner.m_generation.load());
}

void LinkWorker::run(const Job& job, quint64 generation) {
    if (!m_session || m_owner.m_stopping.load() || generation != m_owner.m_generation.load())
        return;
    m_jobGeneration = generation;
    try {
        job(*m_session);
    } catch (const Cancelled&) {
    } catch (const FixedPortFailed& failure) {
        m_owner.m_pollWanted = false;
        applyPolling();
        emit m_owner.fixedPortFailed(failure.detail);
    } catch (const std::exception& e) {
        emit m_owner.jobFailed(QString::fromLocal8Bit(e.what()));
    }
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
