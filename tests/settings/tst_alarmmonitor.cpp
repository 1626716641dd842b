// The alarm monitor: which channels are in alarm for given readings (the edges at the limits,
// the range marks, texts that are not numbers, disabled channels, no unit shown, limits of
// another unit converted), and one tone per channel in alarm and tick. (The timer's start, stop
// and reconnection are driven through the alarm panel's tests.)

#include "settings/alarmmonitor.h"

#include "live/livepoll.h"
#include "sim/virtualmeter.h"
#include "support/fakeplatform.h"

#include <QSignalSpy>
#include <QTest>

using namespace settings;
using live::TempUnit;

Q_DECLARE_METATYPE(TempUnit)
Q_DECLARE_METATYPE(std::optional<TempUnit>)
Q_DECLARE_METATYPE(ChannelFlags)

namespace {

// T1..T4 in C, F, K; only the shown unit's column is filled.
live::ReadingText readings(TempUnit unit, std::initializer_list<const char*> texts) {
    live::ReadingText out;
    int channel = 0;
    for (const char* text : texts)
        out[int(unit) * 4 + channel++] = QString::fromLatin1(text);
    return out;
}

// 100 / 0 on every channel, in `unit`.
AlarmLimits limits(TempUnit unit) {
    return {{100, 100, 100, 100}, {0, 0, 0, 0}, unit};
}

} // namespace

class TestAlarmMonitor : public QObject {
    Q_OBJECT
private slots:

    void channelsInAlarm_data() {
        QTest::addColumn<AlarmLimits>("set");
        QTest::addColumn<ChannelFlags>("enabled");
        QTest::addColumn<std::optional<TempUnit>>("shown");
        QTest::addColumn<live::ReadingText>("texts");
        QTest::addColumn<ChannelFlags>("alarm");
        const TempUnit c = TempUnit::Celsius;
        const TempUnit f = TempUnit::Fahrenheit;
        const ChannelFlags on = {true, true, true, true};
        const auto row = [](const char* name, AlarmLimits set, ChannelFlags enabled,
                            std::optional<TempUnit> shown, live::ReadingText texts,
                            ChannelFlags alarm) {
            QTest::newRow(name) << set << enabled << shown << texts << alarm;
        };
        row("at the limits", limits(c), on, c, readings(c, {"100.0", "0.0", "99.9", "0.1"}),
            {true, true, false, false});
        row("beyond the limits", limits(c), on, c, readings(c, {"100.1", "-0.1", "50.0", "1375.0"}),
            {true, true, false, true});
        row("range marks", limits(c), on, c, readings(c, {"OL", "-OL", "50.0", "50.0"}),
            {true, true, false, false});
        row("not numbers", limits(c), on, c, readings(c, {"", "abc", "", ""}), {});
        row("disabled never", limits(c), {false, true, false, false}, c,
            readings(c, {"OL", "50.0", "-OL", "100.0"}), {});
        row("no unit shown", limits(c), on, std::nullopt, readings(c, {"OL", "OL", "OL", "OL"}),
            {});
        row("whole degrees", limits(c), on, c, readings(c, {"100", "0", "99", "1"}),
            {true, true, false, false});
        // Limits set in C, the meter now shows F: 100 C is 212 F, 0 C is 32 F.
        row("C limits, F shown", limits(c), on, f, readings(f, {"212.0", "32.0", "211.9", "100.0"}),
            {true, true, false, false});
        row("F limits, C shown", limits(f), on, c, readings(c, {"37.8", "-17.8", "37.7", "-17.7"}),
            {true, true, false, false});
        row("C limits, K shown", limits(c), on, TempUnit::Kelvin,
            readings(TempUnit::Kelvin, {"373.0", "273.0", "372.9", "273.1"}),
            {true, true, false, false});
        // 77.9 F is 25.500000000000004 C in doubles: the reading 25.5 is at the limit all the same.
        AlarmLimits noisy = limits(f);
        noisy.high[0] = 77.9;
        row("conversion noise", noisy, on, c, readings(c, {"25.5", "25.4", "25.4", "25.4"}),
            {true, false, false, false});
    }

    void channelsInAlarm() {
        QFETCH(AlarmLimits, set);
        QFETCH(ChannelFlags, enabled);
        QFETCH(std::optional<TempUnit>, shown);
        QFETCH(live::ReadingText, texts);
        QFETCH(ChannelFlags, alarm);
        QCOMPARE(settings::channelsInAlarm(set, enabled, texts, shown), alarm);
    }

    void oneTonePerChannelInAlarm() {
        live::LiveState live;
        testsupport::FakePlatform platform;
        AlarmMonitor monitor(live, platform);
        monitor.setLimits(limits(TempUnit::Celsius));
        monitor.setEnabled({true, false, true, true});
        // Before the first frame every reading is empty: no tone.
        monitor.tick();
        QCOMPARE(platform.beeps, 0);

        // T1 100.0 C, T2 OL, T3 50.0 C, T4 -OL; T2 is not enabled.
        const sim::VirtualMeter meter(
            {.unit = 'C', .drift = false, .pinned = {6480, 65535, 5580, 0}});
        live.applyFrame(meter.frame());
        QSignalSpy changed(&monitor, &AlarmMonitor::alarmChanged);
        monitor.tick();
        QCOMPARE(platform.beeps, 2);
        QCOMPARE(monitor.inAlarm(), (ChannelFlags{true, false, false, true}));
        QCOMPARE(changed.count(), 1);
        monitor.tick();
        QCOMPARE(platform.beeps, 4);
        QCOMPARE(changed.count(), 1);

        // Switching every alarm off clears what is shown.
        monitor.setEnabled({});
        QCOMPARE(monitor.inAlarm(), ChannelFlags{});
        QCOMPARE(changed.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestAlarmMonitor)
#include "tst_alarmmonitor.moc"
