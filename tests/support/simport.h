#pragma once

#include "serial/port.h"

#include <QList>
#include <map>

namespace sim {
class VirtualMeter;
}

namespace serial {

class Clock;

// A port joined in memory to virtual meters: each meter sits in a slot (COM1..COM16); writes
// reach the meter at the clock's time and reads return what has arrived by then. Every write
// is logged with its time so tests can check the exact bytes and gaps on the wire.
class SimPort : public Port {
public:
    struct Write {
        double time = 0;
        int slot = 0;
        QByteArray bytes;
    };

    explicit SimPort(Clock& clock);

    void attach(int slot, sim::VirtualMeter* meter) { m_meters[slot] = meter; }
    void detach(int slot) { m_meters.erase(slot); }
    // Slots whose open fails as if another program held them.
    void setBusy(int slot, bool busy);
    // Slots whose open fails for lack of rights.
    void setDenied(int slot, bool denied) { m_denied[slot] = denied; }

    bool open(int slot, QString* error) override;
    bool openWasDenied() const override { return m_lastDenied; }
    bool openWasBusy() const override { return m_lastBusy; }
    QString holderOf(int slot) const override {
        return m_busy.count(slot) ? QStringLiteral("process 42 (term)") : QString();
    }
    void close() override;
    bool isOpen() const override { return m_slot != 0; }
    QByteArray readAll() override;
    bool write(const QByteArray& bytes) override;
    QString deviceName(int slot) const override;

    int openSlot() const { return m_slot; }
    const QList<Write>& writes() const { return m_writes; }
    void clearWrites() { m_writes.clear(); }
    int openCount() const { return m_openCount; }

private:
    sim::VirtualMeter* meterOfOpenSlot();

    Clock& m_clock;
    std::map<int, sim::VirtualMeter*> m_meters;
    std::map<int, bool> m_busy;
    std::map<int, bool> m_denied;
    bool m_lastDenied = false;
    bool m_lastBusy = false;
    int m_slot = 0;
    int m_openCount = 0;
    QList<Write> m_writes;
};

} // namespace serial
