#include "settings/alarmmonitor.h"

#include "base/numbers.h"
#include "live/livepoll.h"
#include "settings/alarmlimits.h"

#include <QTimer>

#include <algorithm>

namespace settings {

namespace {

constexpr int kTickMs = 1000;

// A limit converted to another unit is kept to a millionth of a degree, so that arithmetic
// noise (211.99999999 for 100 C) cannot move it past a reading of the same temperature.
double tidy(double value) {
    return base::roundHalfEven(value * 1e6) / 1e6;
}

} // namespace

ChannelFlags channelsInAlarm(const AlarmLimits& limits, const ChannelFlags& enabled,
                             const live::ReadingText& readings,
                             std::optional<live::TempUnit> shown) {
    ChannelFlags alarm{};
    if (!shown)
        return alarm;
    for (int channel = 0; channel < live::kChannels; ++channel) {
        if (!enabled[channel])
            continue;
        const QString& text = readings[int(*shown) * live::kChannels + channel];
        if (text.contains(u'L')) {
            alarm[channel] = true;
            continue;
        }
        const std::optional<double> reading = base::parseNumber(text);
        if (!reading)
            continue;
        double high = limits.high[channel];
        double low = limits.low[channel];
        if (limits.unit != *shown) {
            high = tidy(convertTemperature(high, limits.unit, *shown));
            low = tidy(convertTemperature(low, limits.unit, *shown));
        }
        alarm[channel] = *reading >= high || *reading <= low;
    }
    return alarm;
}

AlarmMonitor::AlarmMonitor(const live::LiveState& live, base::Platform& platform, QObject* parent)
    : QObject(parent)
    , m_live(live)
    , m_platform(platform)
    , m_timer(new QTimer(this)) {
    m_timer->setObjectName(QStringLiteral("Timer4"));
    m_timer->setInterval(kTickMs);
    connect(m_timer, &QTimer::timeout, this, &AlarmMonitor::tick);
}

void AlarmMonitor::setEnabled(const ChannelFlags& enabled) {
    m_enabled = enabled;
    if (std::find(enabled.begin(), enabled.end(), true) != enabled.end()) {
        if (!m_timer->isActive())
            m_timer->start();
        return;
    }
    m_timer->stop();
    setInAlarm({});
}

void AlarmMonitor::clearEnabled() {
    m_enabled = {};
    setInAlarm({});
}

bool AlarmMonitor::running() const {
    return m_timer->isActive();
}

void AlarmMonitor::tick() {
    const ChannelFlags alarm =
        channelsInAlarm(m_limits, m_enabled, m_live.readingText(), shownUnit(m_live.display()));
    // The tones of one tick follow each other: the platform queues them.
    for (bool channel : alarm)
        if (channel)
            m_platform.beep();
    setInAlarm(alarm);
}

void AlarmMonitor::setInAlarm(const ChannelFlags& channels) {
    if (channels == m_inAlarm)
        return;
    m_inAlarm = channels;
    emit alarmChanged();
}

} // namespace settings
