#pragma once

#include "serial/linkthread.h"
#include "sim/virtualmeter.h"
#include "support/simport.h"
#include "support/virtualclock.h"

#include <QByteArray>

#include <atomic>
#include <initializer_list>

namespace testsupport {

// Bytes written as numbers: bytes({0x02, 0x41, 0x0D}).
inline QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// One virtual meter on COM1 behind the in-memory port, in virtual time, with a session like
// the one the link thread hands to its jobs: link jobs run on it directly.
struct MeterBench {
    explicit MeterBench(sim::MeterConfig config = {}, sim::Faults faults = {})
        : meter(config, faults) {
        port.attach(1, &meter);
        clock.onAdvance([this](double t) { meter.advance(t); });
        QString error;
        port.open(1, &error);
        // A guard far beyond any bounded exchange: an unbounded retry ends here and its test
        // fails instead of running for ever.
        const double start = clock.now();
        link.setHooks({nullptr, nullptr, [this, start] { return clock.now() - start > 60; }});
    }
    int count(const QByteArray& command) const { return int(meter.commandLog().count(command)); }
    // The commands with their payloads, the handshakes left out.
    QList<QByteArray> commands() const {
        QList<QByteArray> out = meter.commandLog();
        out.removeAll(QByteArrayLiteral("A"));
        return out;
    }

    sim::VirtualMeter meter;
    serial::VirtualClock clock;
    serial::SimPort port{clock};
    serial::MeterLink link{port, clock};
    serial::PortDetector detector{link};
    serial::LinkSession session{link, detector, [](bool) {}};
};

// The in-memory port, with a switch that spoils the first byte of every reply to one command
// letter: a meter that answers that command with garbage.
class SpoilingPort : public serial::SimPort {
public:
    SpoilingPort(serial::Clock& clock, char letter, std::atomic<bool>& spoil)
        : SimPort(clock)
        , m_letter(letter)
        , m_spoil(spoil) {}
    bool write(const QByteArray& data) override {
        m_spoilNext = m_spoil.load() && data == QByteArray(1, m_letter);
        return SimPort::write(data);
    }
    QByteArray readAll() override {
        QByteArray out = SimPort::readAll();
        if (m_spoilNext && !out.isEmpty()) {
            out[0] = char(out[0] ^ 0x80);
            m_spoilNext = false;
        }
        return out;
    }

private:
    char m_letter;
    std::atomic<bool>& m_spoil;
    bool m_spoilNext = false;
};

} // namespace testsupport
