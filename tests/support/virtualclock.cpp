#include "support/virtualclock.h"

namespace serial {

void VirtualClock::wait(double seconds) {
    if (seconds > 0)
        m_now += seconds;
    for (const auto& listener : m_listeners)
        listener(m_now);
}

} // namespace serial
