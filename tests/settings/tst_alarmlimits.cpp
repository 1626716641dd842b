// Alarm limits: the word <-> value table in the three units both ways, the shortest texts, the
// ranges and refusal messages of every type and unit, the range check's edges, the boxes of
// absent channels, the "J" reply and "H" payload bytes (the two link jobs are pinned through the
// alarm panel in tst_meterpanels), and the monitor that sounds them: which channels are in alarm
// for given readings and limits of any unit, one tone per channel and tick.

#include "settings/alarmlimits.h"
#include "settings/alarmmonitor.h"

#include "live/livepoll.h"
#include "support/fakeplatform.h"
#include "support/meterbench.h"

#include <QSignalSpy>
#include <QTest>

using namespace settings;
using live::TempUnit;
using testsupport::bytes;

Q_DECLARE_METATYPE(TempUnit)
Q_DECLARE_METATYPE(LimitTexts)
Q_DECLARE_METATYPE(std::optional<TempUnit>)
Q_DECLARE_METATYPE(ChannelFlags)

namespace {

// T1 high, T1 low, ... T4 low, with '|' between them.
LimitTexts texts(const char* list) {
    LimitTexts out;
    const QStringList parts = QString::fromLatin1(list).split(u'|');
    for (int i = 0; i < kLimitCount; ++i)
        out[i] = parts.value(i);
    return out;
}

// The same high and low on all four channels.
LimitValues all(double high, double low) {
    return {high, low, high, low, high, low, high, low};
}

// T1..T4 in C, F, K; only the shown unit's column is filled, from T1|T2|T3|T4.
live::ReadingText readings(TempUnit unit, const char* texts) {
    live::ReadingText out;
    const QStringList parts = QString::fromLatin1(texts).split(u'|');
    for (int channel = 0; channel < 4; ++channel)
        out[int(unit) * 4 + channel] = parts.value(channel);
    return out;
}

// 100 / 0 on every channel, in `unit`.
AlarmLimits limits(TempUnit unit) {
    return {{100, 100, 100, 100}, {0, 0, 0, 0}, unit};
}

} // namespace

class TestAlarmLimits : public QObject {
    Q_OBJECT
private slots:

    void wordShowsAsValue_data() {
        QTest::addColumn<int>("word");
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<QString>("text");
        const struct {
            int word;
            const char* c;
            const char* f;
            const char* k;
        } rows[] = {
            {180, "-250", "-418", "23"},    {36540, "1770", "3218", "2043"},
            {4680, "0", "32", "273"},       {5139, "25.5", "77.9", "298.5"},
            {4681, "0.1", "32.1", "273.1"}, // 0.0556 C rounds up to a tenth
            {4360, "-17.8", "0", "255.2"},
        };
        for (const auto& row : rows) {
            QTest::addRow("%d C", row.word) << row.word << TempUnit::Celsius << row.c;
            QTest::addRow("%d F", row.word) << row.word << TempUnit::Fahrenheit << row.f;
            QTest::addRow("%d K", row.word) << row.word << TempUnit::Kelvin << row.k;
        }
    }

    void wordShowsAsValue() {
        QFETCH(int, word);
        QFETCH(TempUnit, unit);
        QFETCH(QString, text);
        QCOMPARE(limitText(limitValue(quint16(word), unit)), text);
    }

    void valueIsSentAsWord_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<int>("word");
        QTest::newRow("23 K") << 23.0 << TempUnit::Kelvin << 180;
        QTest::newRow("2043 K") << 2043.0 << TempUnit::Kelvin << 36540;
        // 4693.5: halves go to the even neighbour (4684.5 down in the payload).
        QTest::newRow("0.75 C half up") << 0.75 << TempUnit::Celsius << 4694;
        QTest::newRow("typed decimals kept") << 25.55 << TempUnit::Celsius << 5140;
        QTest::newRow("below the word's range") << -500.0 << TempUnit::Celsius << 0;
        QTest::newRow("above the word's range") << 1e9 << TempUnit::Fahrenheit << 65535;
    }

    void valueIsSentAsWord() {
        QFETCH(double, value);
        QFETCH(TempUnit, unit);
        QFETCH(int, word);
        QCOMPARE(int(limitWord(value, unit)), word);
    }

    void rangeMessagePerTypeAndUnit_data() {
        QTest::addColumn<QChar>("type");
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<QString>("message");
        // Max and min in C, F and K.
        const struct {
            char type;
            int range[6];
        } rows[] = {
            {'K', {1375, -200, 2507, -328, 1648, 73}},  {'J', {1200, -210, 2192, -346, 1473, 63}},
            {'E', {1000, -210, 1832, -346, 1273, 63}},  {'T', {400, -250, 752, -418, 673, 23}},
            {'N', {1300, -150, 2372, -238, 1573, 123}}, {'R', {1770, 0, 3218, 32, 2043, 273}},
            {'S', {1770, 0, 3218, 32, 2043, 273}},
        };
        const TempUnit units[] = {TempUnit::Celsius, TempUnit::Fahrenheit, TempUnit::Kelvin};
        for (const auto& row : rows)
            for (int u = 0; u < 3; ++u)
                QTest::addRow("%c %c", row.type, "CFK"[u])
                    << QChar(row.type) << units[u]
                    << QStringLiteral("Error! %1 >= High Alarm >= Low Alarm >= %2")
                           .arg(row.range[2 * u])
                           .arg(row.range[2 * u + 1]);
    }

    void rangeMessagePerTypeAndUnit() {
        QFETCH(QChar, type);
        QFETCH(TempUnit, unit);
        QFETCH(QString, message);
        // A low limit below every range is refused with the row's message.
        QCOMPARE(limitsRefusal(all(100, -1000), type, unit), std::optional<QString>(message));
    }

    // Type K; the other types' ranges are pinned by their messages above.
    void rangeCheckEdges_data() {
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<LimitTexts>("typed");
        QTest::addColumn<bool>("accepted");
        const auto row = [](const char* name, TempUnit unit, LimitTexts typed, bool ok) {
            QTest::newRow(name) << unit << typed << ok;
        };
        const TempUnit c = TempUnit::Celsius;
        row("K C full range", c, texts("1375|-200|1375|-200|1375|-200|1375|-200"), true);
        row("K C high 1375.1", c, texts("1375.1|0|1|0|1|0|1|0"), false);
        row("K C low -200.1", c, texts("1|-200.1|1|0|1|0|1|0"), false);
        row("K C low equal high", c, texts("50|50|1|0|1|0|1|0"), false);
        row("1e999 is no limit", c, texts("1e999|-100|1|0|1|0|1|0"), false);
        row("T4 alone wrong", c, texts("100|0|100|0|100|0|0|100"), false);
        row("leading numbers", c, texts(" 25.5 C|-1e1x|1e3|+.5|100|0|100|0"), true);
        row("letters in Kelvin read 0", TempUnit::Kelvin,
            texts("1000|abc|1000|100|1000|100|1000|100"), false);
        row("letters in Celsius read 0", c, texts("100|abc|100|0|100|0|100|0"), true);
    }

    void rangeCheckEdges() {
        QFETCH(TempUnit, unit);
        QFETCH(LimitTexts, typed);
        QFETCH(bool, accepted);
        QCOMPARE(!limitsRefusal(readLimitTexts(typed), u'K', unit).has_value(), accepted);
    }

    void absentChannelsShowTheTypesRange_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QChar>("type");
        QTest::addColumn<TempUnit>("unit");
        QTest::addColumn<LimitTexts>("shown");
        // The meter holds 100 F / 50 F on T1, 0 F / -10 F on every other channel.
        QTest::newRow("2 channels, T in F")
            << 2 << QChar('T') << TempUnit::Fahrenheit << texts("100|50|0|-10|752|-418|752|-418");
        QTest::newRow("1 channel, K in C") << 1 << QChar('K') << TempUnit::Celsius
                                           << texts("37.8|10|1375|-200|1375|-200|1375|-200");
        QTest::newRow("4 channels keep all")
            << 4 << QChar('T') << TempUnit::Fahrenheit << texts("100|50|0|-10|0|-10|0|-10");
        QTest::newRow("unknown type keeps all")
            << 2 << QChar() << TempUnit::Fahrenheit << texts("100|50|0|-10|0|-10|0|-10");
    }

    void absentChannelsShowTheTypesRange() {
        QFETCH(int, channels);
        QFETCH(QChar, type);
        QFETCH(TempUnit, unit);
        QFETCH(LimitTexts, shown);
        const LimitWords words = {5360, 4860, 4360, 4260, 4360, 4260, 4360, 4260};
        QCOMPARE(limitTexts(words, unit, type, channels), shown);
    }

    void replyGivesEightWords_data() {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("valid");
        const QByteArray good = bytes({0x02, 0x19, 0x50, 0x12, 0x48, 0x00, 0xB4, 0x8E, 0xBC, 0x00,
                                       0x00, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x01, 0x0D});
        QTest::newRow("bytes after the 18th ignored") << good + bytes({0x02, 0x41}) << true;
        QTest::newRow("17 bytes") << good.left(17) << false;
        QTest::newRow("wrong first byte") << QByteArray(good).replace(0, 1, "\x82") << false;
        QTest::newRow("wrong last byte") << QByteArray(good).replace(17, 1, "\x8D") << false;
    }

    void replyGivesEightWords() {
        QFETCH(QByteArray, reply);
        QFETCH(bool, valid);
        const std::optional<LimitWords> words = parseLimitReply(reply);
        QCOMPARE(words.has_value(), valid);
        if (valid)
            QCOMPARE(*words, (LimitWords{6480, 4680, 180, 36540, 0, 65535, 256, 1}));
    }

    void payloadIsSixteenBytesHighFirst() {
        const LimitValues celsius = {25.5, 0, 1770, -250, 100, 99.9, 0.25, -0.1};
        QCOMPARE(limitPayload(celsius, TempUnit::Celsius),
                 bytes({0x14, 0x13, 0x12, 0x48, 0x8E, 0xBC, 0x00, 0xB4, 0x19, 0x50, 0x19, 0x4E,
                        0x12, 0x4C, 0x12, 0x46}));
        QCOMPARE(limitPayload(all(-418, -418), TempUnit::Fahrenheit).left(2), bytes({0x00, 0xB4}));
    }

    void channelsInAlarm_data() {
        QTest::addColumn<AlarmLimits>("set");
        QTest::addColumn<ChannelFlags>("enabled");
        QTest::addColumn<std::optional<TempUnit>>("shown");
        QTest::addColumn<live::ReadingText>("texts");
        QTest::addColumn<ChannelFlags>("alarm");
        const TempUnit c = TempUnit::Celsius;
        const TempUnit f = TempUnit::Fahrenheit;
        const ChannelFlags on = {true, true, true, true};
        // The readings T1|T2|T3|T4 in the unit shown (Celsius when none).
        const auto row = [](const char* name, AlarmLimits set, ChannelFlags enabled,
                            std::optional<TempUnit> shown, const char* texts, ChannelFlags alarm) {
            QTest::newRow(name) << set << enabled << shown
                                << readings(shown.value_or(TempUnit::Celsius), texts) << alarm;
        };
        row("at the limits", limits(c), on, c, "100.0|0.0|99.9|0.1", {true, true, false, false});
        row("beyond the limits", limits(c), on, c, "100.1|-0.1|50.0|1375.0",
            {true, true, false, true});
        row("range marks", limits(c), on, c, "OL|-OL|50.0|50.0", {true, true, false, false});
        row("not numbers", limits(c), on, c, "|abc||", {});
        row("disabled never", limits(c), {false, true, false, false}, c, "OL|50.0|-OL|100.0", {});
        row("no unit shown", limits(c), on, std::nullopt, "OL|OL|OL|OL", {});
        // Limits set in C, the meter now shows F: 100 C is 212 F, 0 C is 32 F.
        row("C limits, F shown", limits(c), on, f, "212.0|32.0|211.9|100.0",
            {true, true, false, false});
        row("F limits, C shown", limits(f), on, c, "37.8|-17.8|37.7|-17.7",
            {true, true, false, false});
        row("C limits, K shown", limits(c), on, TempUnit::Kelvin, "373.0|273.0|372.9|273.1",
            {true, true, false, false});
        // 77.9 F is 25.500000000000004 C in doubles: the reading 25.5 is at the limit all the same.
        AlarmLimits noisy = limits(f);
        noisy.high[0] = 77.9;
        row("conversion noise", noisy, on, c, "25.5|25.4|25.4|25.4", {true, false, false, false});
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

QTEST_GUILESS_MAIN(TestAlarmLimits)
#include "tst_alarmlimits.moc"
