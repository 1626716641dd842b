#pragma once

#include "base/platform.h"
#include "live/framedecoder.h"

#include <QObject>

#include <array>
#include <optional>

class QTimer;

namespace live {
class LiveState;
}

namespace settings {

using ChannelFlags = std::array<bool, live::kChannels>;

// AlarmHigh and AlarmLow of the four channels, in the unit they were read or typed in: the
// meter's unit may change afterwards, and a limit of 100 C must not be taken for 100 F.
struct AlarmLimits {
    std::array<double, live::kChannels> high{};
    std::array<double, live::kChannels> low{};
    live::TempUnit unit = live::TempUnit::Celsius;
};

// One tick's decision: the enabled channels whose reading in the shown unit is a range mark
// ("OL", "-OL"), at or above the high limit or at or below the low one (limits converted to
// the shown unit). A reading that is not a number, or no unit shown, is never in alarm.
ChannelFlags channelsInAlarm(const AlarmLimits& limits, const ChannelFlags& enabled,
                             const live::ReadingText& readings,
                             std::optional<live::TempUnit> shown);

// The program's own audible alarm ("Timer4"): once a second, one tone per enabled channel in
// alarm, T1 first. It only reads what the live poll decoded; it never talks to the meter.
class AlarmMonitor : public QObject {
    Q_OBJECT
public:
    AlarmMonitor(const live::LiveState& live, base::Platform& platform, QObject* parent = nullptr);

    const AlarmLimits& limits() const { return m_limits; }
    void setLimits(const AlarmLimits& limits) { m_limits = limits; }
    // AlarmEnabled.
    const ChannelFlags& enabled() const { return m_enabled; }
    // The alarm panel's OK: runs the monitor when any channel is on, stops it otherwise.
    void setEnabled(const ChannelFlags& enabled);
    // A port (re)connection: every alarm off. The timer keeps ticking, silent.
    void clearEnabled();
    bool running() const;

    // One tick; the timer calls it once a second.
    void tick();
    // The channels found in alarm by the last tick (all clear while nothing is enabled).
    const ChannelFlags& inAlarm() const { return m_inAlarm; }

signals:
    // inAlarm() changed.
    void alarmChanged();

private:
    void setInAlarm(const ChannelFlags& channels);

    const live::LiveState& m_live;
    base::Platform& m_platform;
    QTimer* m_timer = nullptr;
    AlarmLimits m_limits;
    ChannelFlags m_enabled{};
    ChannelFlags m_inAlarm{};
};

} // namespace settings
