#pragma once

#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

namespace app {

// A single-shot time-out of any length up to the command line's year: QTimer counts its
// interval in an int of milliseconds (24.8 days), so a long one is armed in steps against a
// 64-bit deadline instead of wrapping round to a short or negative interval.
class SilenceTimer {
public:
    explicit SilenceTimer(std::function<void()> expired)
        : m_expired(std::move(expired)) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (m_deadline.hasExpired())
                m_expired();
            else
                arm();
        });
    }

    void start(qint64 ms) {
        m_deadline = QDeadlineTimer(ms);
        arm();
    }
    void stop() { m_timer.stop(); }
    bool isActive() const { return m_timer.isActive(); }
    // Milliseconds of the step now armed (at most a day).
    int stepMs() const { return m_timer.interval(); }

private:
    void arm() {
        constexpr qint64 kDayMs = 86400 * 1000;
        m_timer.start(int(std::clamp<qint64>(m_deadline.remainingTime(), 0, kDayMs)));
    }

    std::function<void()> m_expired;
    QTimer m_timer;
    QDeadlineTimer m_deadline;
};

} // namespace app
