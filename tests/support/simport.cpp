#include "support/simport.h"

#include "sim/virtualmeter.h"

namespace serial {

SimPort::SimPort(Clock& clock)
    : m_clock(clock) {}

void SimPort::setBusy(int slot, bool busy) {
    m_busy[slot] = busy;
}

bool SimPort::open(int slot, QString* error) {
    m_lastDenied = false;
    m_lastBusy = false;
    if (m_slot != 0) {
        if (error)
            *error = QStringLiteral("The port is already open.");
        return false;
    }
    if (m_busy.count(slot) && m_busy[slot]) {
        m_lastBusy = true;
        if (error)
            *error = QStringLiteral("COM%1 is in use by another program.").arg(slot);
        return false;
    }
    if (m_denied.count(slot) && m_denied[slot]) {
        m_lastDenied = true;
        if (error)
            *error = QStringLiteral("Permission denied for COM%1.").arg(slot);
        return false;
    }
    const auto it = m_meters.find(slot);
    if (it == m_meters.end() || it->second->isUnplugged()) {
        if (error)
            *error = QStringLiteral("COM%1 does not exist.").arg(slot);
        return false;
    }
    m_slot = slot;
    ++m_openCount;
    return true;
}

void SimPort::close() {
    m_slot = 0;
}

sim::VirtualMeter* SimPort::meterOfOpenSlot() {
    if (m_slot == 0)
        return nullptr;
    const auto it = m_meters.find(m_slot);
    if (it == m_meters.end() || it->second->isUnplugged()) {
        // Unplugged under our feet: the device is gone, as a USB adapter would be.
        m_slot = 0;
        return nullptr;
    }
    return it->second;
}

QByteArray SimPort::readAll() {
    sim::VirtualMeter* meter = meterOfOpenSlot();
    return meter ? meter->takeOutput(m_clock.now()) : QByteArray();
}

bool SimPort::write(const QByteArray& bytes) {
    sim::VirtualMeter* meter = meterOfOpenSlot();
    if (!meter)
        return false;
    m_writes.append({m_clock.now(), m_slot, bytes});
    meter->receive(bytes, m_clock.now());
    return true;
}

QString SimPort::deviceName(int slot) const {
    return m_meters.count(slot) ? QStringLiteral("virtual meter on COM%1").arg(slot) : QString();
}

} // namespace serial
