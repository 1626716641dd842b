#pragma once

#include "link/linkthread.h"
#include "sim/virtualmeter.h"
#include "support/simport.h"
#include "support/virtualclock.h"

namespace testsupport {

// One virtual meter on COM1 behind the in-memory port, in virtual time, with a session like
// the one the link thread hands to its jobs: link jobs run on it directly.
struct MeterBench {
    explicit MeterBench(sim::MeterConfig config = {}, sim::Faults faults = {})
        : meter(config, faults) {
        port.attach(1, &meter);
        clock.onAdvance([this](double t) { meter.advance(t); });
        QString error;
        port.open(1, &error);
    }
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

} // namespace testsupport
