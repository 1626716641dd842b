#include "session/simulation.h"

#include "sim/ptyhost.h"

namespace session {

Simulation::Simulation(sim::MeterConfig config, sim::Faults faults)
    : m_meter(std::make_unique<sim::VirtualMeter>(config, faults)) {
    m_thread.setObjectName(QStringLiteral("virtual meter"));
}

Simulation::~Simulation() {
    if (m_thread.isRunning()) {
        m_thread.quit();
        m_thread.wait();
    }
    // The host is gone with its thread; the meter it used can follow.
    m_meter.reset();
}

bool Simulation::start(QString* error) {
    if (m_host)
        return !m_devicePath.isEmpty();
    m_host = new sim::PtyHost(m_meter.get());
    m_host->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_host, &QObject::deleteLater);
    m_thread.start();
    bool opened = false;
    QString reason;
    // The host's notifiers and timers must be made on the thread that serves them.
    QMetaObject::invokeMethod(
        m_host, [host = m_host, &opened, &reason] { opened = host->open(&reason); },
        Qt::BlockingQueuedConnection);
    if (!opened) {
        if (error)
            *error = reason;
        return false;
    }
    m_devicePath = m_host->devicePath();
    return true;
}

} // namespace session
