#pragma once

#include "serial/port.h"

#include <functional>
#include <vector>

namespace serial {

// Time that only moves when someone waits: a search over sixteen silent ports takes no real
// time at all, so the protocol's slow paths can be tested exactly and quickly.
class VirtualClock : public Clock {
public:
    double now() const override { return m_now; }
    void wait(double seconds) override;
    // Called with the new time after every wait (the virtual meters let their own time run).
    void onAdvance(std::function<void(double)> listener) {
        m_listeners.push_back(std::move(listener));
    }
    // Total time waited so far, split by nothing: tests read it as the elapsed protocol time.
    double waited() const { return m_now - m_start; }

private:
    double m_start = 1000.0;
    double m_now = 1000.0;
    std::vector<std::function<void(double)>> m_listeners;
};

} // namespace serial
