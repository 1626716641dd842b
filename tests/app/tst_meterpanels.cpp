// The panels that talk to the meter, in the main window against a virtual meter on the link
// thread: the sampling interval, the alarm limits, the clock and the service controls. What typed
// text becomes and the limits' words are pinned in tst_sampling and tst_alarmlimits; here the
// panels' wiring: the exact bytes, the bounded reads, Cancel, LinkBusy and the live poll.

#include "app/clock/clockpanel.h"
#include "app/service/servicepanel.h"
#include "app/settings/alarmpanel.h"
#include "app/settings/samplingpanel.h"
#include "app/window/controlpanel.h"
#include "settings/alarmmonitor.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using testsupport::bytes;

Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

const sim::MeterConfig kMeter{.intervalSeconds = 60, .drift = false};
const QString kPcPrompt =
    QStringLiteral("Enter the SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kMeterPrompt =
    QStringLiteral("Enter the METER SAMPLING TIME in seconds\r\n(1 <= t <= 86400 ) ");
const QString kTitle = QStringLiteral("Input Sampling Time");
const char* const kBoxes[] = {"TxtT1H", "TxtT1L", "TxtT2H", "TxtT2L",
                              "TxtT3H", "TxtT3L", "TxtT4H", "TxtT4L"};
const QDateTime kPcTime(QDate(2024, 3, 15), QTime(14, 5, 9));
const QByteArray kSetTo2024 = QByteArray("D\x24\x03\x15\x14\x05\x09", 7);
const char* const kServiceControls[] = {
    "Cmd1",     "Cmd9", "Cmd17", "CmdChByte",   "Label1",
    "Command1", "RRTC", "WRTC",  "CmdSampling", "FrameSamplingTime"};

std::optional<QString> answer(const char* text) {
    return QString::fromUtf8(text);
}

// Records the state of the link each time an input box is shown.
class SpyPlatform : public testsupport::FakePlatform {
public:
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override {
        if (onInput)
            onInput();
        return FakePlatform::input(prompt, title, defaultText);
    }
    std::function<void()> onInput;
};

// The meter on COM1 behind a port that spoils the replies to `spoiled` on demand, the link
// thread in virtual time, and the main window with every panel that talks to the meter: a PC
// clock standing at kPcTime, a PC interval the test owns, the service controls hidden unless
// `serviceShown`.
struct Rig : testsupport::LinkRig {
    explicit Rig(sim::MeterConfig config = kMeter, char spoiled = 'K', bool serviceShown = false)
        : LinkRig(config, spoiled) {
        window =
            std::make_unique<app::ControlPanel>(thread, state, platform, [] { return 1000.0; });
        sampling = app::attachSamplingPanel(
            *window, thread, platform, [this] { return pcTime; },
            [this](int seconds) {
                pcTime = seconds;
                ++pcSets;
            });
        alarm = app::attachAlarmPanel(*window, thread, state, platform);
        monitor = window->findChild<settings::AlarmMonitor*>();
        clock = app::attachClockPanel(*window, thread, [] { return kPcTime; });
        service = app::attachServicePanel(
            *window, thread, platform, *clock, [] { return kPcTime; }, {sampling->serviceFrame()},
            serviceShown);
    }
    ~Rig() { window.reset(); }

    // Commands the meter received, without the handshakes and the live polls.
    QList<QByteArray> sent() {
        QList<QByteArray> out =
            onLinkThread<QList<QByteArray>>([this] { return meter.commandLog(); });
        out.removeAll(QByteArrayLiteral("A"));
        out.removeAll(QByteArrayLiteral("M"));
        return out;
    }
    int meterInterval() {
        return onLinkThread<int>([this] { return meter.intervalSeconds(); });
    }
    std::array<quint16, 8> meterWords() {
        return onLinkThread<std::array<quint16, 8>>([this] { return meter.alarmWords(); });
    }
    // Prompt, title and default text of every input box shown.
    QStringList inputs() const {
        QStringList out;
        for (const auto& in : platform.inputs)
            out << in.prompt << in.title << in.defaultText;
        return out;
    }

    template <typename T = QWidget> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(find(name), Qt::LeftButton); }
    void press(const char* key) { window->toolbarAction(QString::fromLatin1(key))->trigger(); }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }
    QString box(const char* name) const { return find<QLineEdit>(name)->text(); }
    void type(const char* name, const char* text) {
        find<QLineEdit>(name)->setText(QString::fromLatin1(text));
    }
    QString caption() const { return find<QPushButton>("CmdSampling")->text(); }
    bool shown(const QWidget* panel) const { return panel->isVisibleTo(window.get()); }
    // Open, holding the link, the live poll off.
    bool openAndHeld(const QWidget* panel) const {
        return shown(panel) && window->linkBusy() && !thread.polling();
    }
    // Closed with the link free and the live poll running.
    bool closedAndFree(const QWidget* panel) const {
        return !shown(panel) && !window->linkBusy() && thread.polling();
    }
    // Opens the alarm panel and waits until the limits are in the boxes.
    bool openAlarm() {
        press("Alarm");
        return QTest::qWaitFor([this] { return shown(alarm) && find("CmdAlarmOK")->isEnabled(); },
                               10000);
    }
    // Ticks the named check boxes, presses OK and waits until the alarm panel has closed.
    bool confirmAlarm(std::initializer_list<const char*> ticks = {}) {
        for (const char* box : ticks)
            click(box);
        click("CmdAlarmOK");
        return QTest::qWaitFor([this] { return closedAndFree(alarm); }, 10000);
    }

    SpyPlatform platform;
    std::unique_ptr<app::ControlPanel> window;
    app::SamplingPanel* sampling = nullptr;
    app::AlarmPanel* alarm = nullptr;
    settings::AlarmMonitor* monitor = nullptr;
    app::ClockPanel* clock = nullptr;
    app::ServicePanel* service = nullptr;
    int pcTime = 7;
    int pcSets = 0;
};

} // namespace

class TestMeterPanels : public QObject {
    Q_OBJECT
private slots:
    void samplingControlsCarryTheirCaptions() {
        Rig rig;
        QVERIFY(!rig.shown(rig.sampling));
        // By this name the window knows to refuse its toolbar while the panel is open.
        QCOMPARE(rig.sampling->objectName(), QStringLiteral("PicSampling"));
        QStringList texts;
        for (const char* name :
             {"OptPC", "OptMeter", "CmdSamplingOK", "CmdSamplingCancel", "CmdSampling"})
            texts << rig.find<QAbstractButton>(name)->text();
        QCOMPARE(texts,
                 (QStringList{"PC Sampling Rate", "Meter Sampling Rate", "OK", "Cancel", "?"}));
        // The service button's frame sits beyond the right edge of the client area.
        QCOMPARE(rig.find("FrameSamplingTime")->x(), 14280 / 15);
    }

    void samplingOpeningIsRefusedWhileTheLinkIsBusy() {
        Rig rig;
        QVERIFY(rig.start());
        rig.window->setLinkBusy(true);
        rig.press("Intv");
        QVERIFY(!rig.shown(rig.sampling));
        QVERIFY(rig.thread.polling());
    }

    void samplingPcInterval_data() {
        QTest::addColumn<std::optional<QString>>("typed");
        QTest::addColumn<int>("pcTime");
        QTest::addColumn<int>("pcSets");
        QTest::addColumn<int>("messages");
        QTest::newRow("60") << answer("60") << 60 << 1 << 0;
        // The recorder's count restarts even when the interval does not change.
        QTest::newRow("same interval") << answer("7") << 7 << 1 << 0;
        QTest::newRow("box cancelled") << std::optional<QString>() << 7 << 0 << 0;
        QTest::newRow("not a number") << answer("ten") << 7 << 0 << 1;
    }

    void samplingPcInterval() {
        QFETCH(std::optional<QString>, typed);
        QFETCH(int, pcTime);
        QFETCH(int, pcSets);
        QFETCH(int, messages);
        Rig rig;
        QVERIFY(rig.start());
        rig.press("Intv");
        rig.platform.answers = {typed};
        rig.click("CmdSamplingOK");
        QCOMPARE(rig.inputs(), (QStringList{kPcPrompt, kTitle, "7"}));
        QCOMPARE(rig.platform.messages.size(), messages);
        if (messages) {
            // The panel stays open for another try; Cancel is the way out.
            QCOMPARE(rig.platform.messages[0].text,
                     QStringLiteral("\"ten\" is not a number. The sampling time is unchanged."));
            QVERIFY(rig.openAndHeld(rig.sampling));
            rig.click("CmdSamplingCancel");
        }
        QVERIFY(rig.closedAndFree(rig.sampling));
        QCOMPARE(rig.pcTime, pcTime);
        QCOMPARE(rig.pcSets, pcSets);
        QVERIFY(rig.commands("KF").isEmpty()); // the meter is not addressed
    }

    void samplingMeterInterval_data() {
        QTest::addColumn<std::optional<QString>>("typed");
        QTest::addColumn<QByteArray>("payload"); // empty: nothing written
        QTest::addColumn<int>("interval");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("message");
        QTest::newRow("3600") << answer("3600") << bytes({0x00, 0x0E, 0x10}) << 3600 << "3600"
                              << "";
        QTest::newRow("box cancelled") << std::optional<QString>() << QByteArray() << 60 << "?"
                                       << "";
        QTest::newRow("not a number")
            << answer("1 minute") << QByteArray() << 60 << "?"
            << "\"1 minute\" is not a number. The sampling time is unchanged.";
    }

    void samplingMeterInterval() {
        QFETCH(std::optional<QString>, typed);
        QFETCH(QByteArray, payload);
        QFETCH(int, interval);
        QFETCH(QString, caption);
        QFETCH(QString, message);
        Rig rig;
        QVERIFY(rig.start());
        bool busyDuringBox = true;
        bool pollingDuringBox = true;
        rig.platform.onInput = [&] {
            busyDuringBox = rig.window->linkBusy();
            pollingDuringBox = rig.thread.polling();
        };
        rig.press("Intv");
        rig.click("OptMeter");
        rig.platform.answers = {typed};
        rig.click("CmdSamplingOK");
        if (!message.isEmpty()) {
            // Back to the open panel: the user types again or cancels.
            QTRY_COMPARE_WITH_TIMEOUT(rig.platform.messages.size(), 1, 10000);
            QCOMPARE(rig.platform.messages[0].text, message);
            QVERIFY(rig.openAndHeld(rig.sampling));
            QVERIFY(rig.find<QPushButton>("CmdSamplingOK")->isEnabled());
            rig.click("CmdSamplingCancel");
        }
        QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(rig.sampling), 10000);
        QCOMPARE(rig.platform.messages.size(), message.isEmpty() ? 0 : 1);
        QCOMPARE(rig.inputs(), (QStringList{kMeterPrompt, kTitle, "60"})); // read with "K"
        // The link is free during the box, and the poll is still off.
        QVERIFY(!busyDuringBox);
        QVERIFY(!pollingDuringBox);
        QList<QByteArray> wire{QByteArrayLiteral("K")};
        if (!payload.isEmpty())
            wire << QByteArrayLiteral("F") + payload;
        QCOMPARE(rig.commands("KF"), wire);
        QCOMPARE(rig.meterInterval(), interval);
        QCOMPARE(rig.caption(), caption);
        QCOMPARE(rig.pcSets, 0);
    }

    void samplingGarbledReadGivesUpWithOneMessage() {
        Rig rig;
        QVERIFY(rig.start());
        rig.spoil = true;
        rig.press("Intv");
        rig.click("OptMeter");
        rig.platform.answers = {QStringLiteral("10")};
        rig.click("CmdSamplingOK");
        QVERIFY(!rig.find<QPushButton>("CmdSamplingOK")->isEnabled()); // one read at a time

        QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(rig.sampling), 10000);
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text,
                 QStringLiteral("The meter did not answer the request for its sampling interval.\n"
                                "Check the connection and try again."));
        QVERIFY(rig.platform.inputs.isEmpty());
        QCOMPARE(rig.commands("KF"), QList<QByteArray>(10, "K"));

        // The link works again for the next try.
        rig.spoil = false;
        rig.press("Intv");
        rig.click("CmdSamplingOK");
        QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(rig.sampling), 10000);
        QCOMPARE(rig.meterInterval(), 10);
        QCOMPARE(rig.platform.messages.size(), 1);
    }

    void samplingCancelOutrunsTheExchange_data() {
        QTest::addColumn<bool>("atWrite");
        QTest::addColumn<QList<QByteArray>>("wire");
        QTest::newRow("before the read") << false << QList<QByteArray>{};
        QTest::newRow("before the write") << true << QList<QByteArray>{"K"};
    }

    void samplingCancelOutrunsTheExchange() {
        QFETCH(bool, atWrite);
        QFETCH(QList<QByteArray>, wire);
        Rig rig;
        QVERIFY(rig.start());
        // Hold the link thread so that Cancel comes before the read, or before the write's end is
        // seen (held when the box asks for the new interval).
        auto gate = std::make_shared<QSemaphore>();
        const auto hold = [&] {
            rig.thread.post([gate](serial::LinkSession&) { gate->acquire(); });
        };
        if (atWrite)
            rig.platform.onInput = hold;
        else
            hold();
        rig.press("Intv");
        rig.click("OptMeter");
        rig.platform.answers = {QStringLiteral("25")};
        rig.click("CmdSamplingOK");
        QTRY_COMPARE_WITH_TIMEOUT(rig.platform.inputs.size(), atWrite ? 1 : 0, 10000);
        QVERIFY(rig.shown(rig.sampling));
        rig.click("CmdSamplingCancel");
        QVERIFY(rig.closedAndFree(rig.sampling));
        gate->release();
        QCOMPARE(rig.commands("KF"), wire);
        QCoreApplication::processEvents();
        QCOMPARE(rig.platform.inputs.size(), atWrite ? 1 : 0);
        QVERIFY(rig.closedAndFree(rig.sampling));
        QCOMPARE(rig.meterInterval(), 60);
        QCOMPARE(rig.caption(), QStringLiteral("?"));
    }

    void samplingServiceButtonWritesTheInterval_data() {
        QTest::addColumn<bool>("panelOpen");
        QTest::addColumn<std::optional<QString>>("typed");
        QTest::addColumn<QByteArray>("payload"); // empty: nothing written
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("messages");
        QTest::newRow("120") << false << answer("120") << bytes({0x00, 0x00, 0x78}) << "120" << 0;
        // The open panel's exchange carries the write; its poll stays off.
        QTest::newRow("panel open")
            << true << answer("30") << bytes({0x00, 0x00, 0x1E}) << "30" << 0;
        QTest::newRow("cancelled") << false << std::optional<QString>() << QByteArray() << "?" << 0;
        QTest::newRow("not a number") << false << answer("x") << QByteArray() << "?" << 1;
    }

    void samplingServiceButtonWritesTheInterval() {
        QFETCH(bool, panelOpen);
        QFETCH(std::optional<QString>, typed);
        QFETCH(QByteArray, payload);
        QFETCH(QString, caption);
        QFETCH(int, messages);
        Rig rig(kMeter, 'K', true); // CmdSampling is a service control
        QVERIFY(rig.start());
        if (panelOpen)
            rig.press("Intv");
        rig.platform.answers = {typed};
        rig.click("CmdSampling");
        QCOMPARE(rig.inputs(), (QStringList{kPcPrompt, kTitle, ""}));
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("CmdSampling")->isEnabled(), 10000);
        QCOMPARE(rig.caption(), caption);
        QCOMPARE(rig.platform.messages.size(), messages);
        // Nothing is read from the meter, and LinkBusy is neither tested nor changed.
        const QList<QByteArray> wire =
            payload.isEmpty() ? QList<QByteArray>{} : QList{QByteArrayLiteral("F") + payload};
        QCOMPARE(rig.commands("KF"), wire);
        if (panelOpen) {
            QVERIFY(rig.openAndHeld(rig.sampling));
            rig.click("CmdSamplingCancel");
        }
        QVERIFY(rig.closedAndFree(rig.sampling));
    }

    void alarmControlsCarryTheirNames() {
        Rig rig;
        QVERIFY(!rig.shown(rig.alarm));
        // By this name the window knows to refuse its toolbar while the panel is open.
        QCOMPARE(rig.alarm->objectName(), QStringLiteral("PicAlarm"));
        // Each box is named by the heading over it, for the eye and for a screen reader.
        QStringList names;
        for (const char* box : kBoxes)
            names << rig.find(box)->accessibleName();
        QCOMPARE(names, (QStringList{"T1 High", "T1 Low", "T2 High", "T2 Low", "T3 High", "T3 Low",
                                     "T4 High", "T4 Low"}));
    }

    void alarmOpeningShowsTheMetersLimits_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<char>("type");
        QTest::addColumn<char>("unit");
        QTest::addColumn<QString>("texts"); // T1 high, T1 low, ... T4 low
        QTest::addColumn<int>("panelWidth");
        QTest::addColumn<int>("frameWidth");
        // The meter starts with 100 C / 0 C on every channel.
        QTest::newRow("4 K C") << 4 << 'K' << 'C' << "100 0 100 0 100 0 100 0" << 273 << 257;
        QTest::newRow("2 T F") << 2 << 'T' << 'F' << "212 32 212 32 752 -418 752 -418" << 145
                               << 129;
        QTest::newRow("1 S C") << 1 << 'S' << 'C' << "100 0 1770 0 1770 0 1770 0" << 81 << 65;
    }

    void alarmOpeningShowsTheMetersLimits() {
        QFETCH(int, channels);
        QFETCH(char, type);
        QFETCH(char, unit);
        QFETCH(QString, texts);
        QFETCH(int, panelWidth);
        QFETCH(int, frameWidth);
        Rig rig({.channels = channels, .type = type, .unit = unit, .drift = false});
        QVERIFY(rig.start());
        QVERIFY(rig.openAlarm());
        QVERIFY(rig.openAndHeld(rig.alarm));
        QStringList shown;
        for (const char* box : kBoxes)
            shown << rig.box(box);
        QCOMPARE(shown.join(' '), texts);
        QCOMPARE(rig.alarm->width(), panelWidth);
        QCOMPARE(rig.find("FrmAlarm")->width(), frameWidth);
        // Absent channels are out of sight and out of the Tab order.
        QCOMPARE(rig.find("TxtT2H")->isVisibleTo(rig.alarm), channels >= 2);
        QCOMPARE(rig.find("CkAlm3")->isVisibleTo(rig.alarm), channels == 4);
        QCOMPARE(rig.commands("JH"), QList<QByteArray>{QByteArrayLiteral("J")});
        // The monitor keeps what the meter holds, absent channels included.
        QCOMPARE(rig.monitor->limits().high[3], shown[0].toDouble());
        QVERIFY(!rig.find<QCheckBox>("CkAlm1")->isChecked());
    }

    void alarmOkWritesTheLimitsAndStartsTheMonitor_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<char>("unit");
        QTest::addColumn<QByteArray>("payload");
        // T1 25.5 / -10, T2 as read; T3 and T4 as read, or the type's range when absent.
        QTest::newRow("4 channels C") << 4 << 'C'
                                      << bytes({0x14, 0x13, 0x11, 0x94, 0x19, 0x50, 0x12, 0x48,
                                                0x19, 0x50, 0x12, 0x48, 0x19, 0x50, 0x12, 0x48});
        // Type K in F: 2507 F and -328 F are words 29430 and 1080.
        QTest::newRow("2 channels F") << 2 << 'F'
                                      << bytes({0x12, 0x07, 0x10, 0xA4, 0x19, 0x50, 0x12, 0x48,
                                                0x72, 0xF6, 0x04, 0x38, 0x72, 0xF6, 0x04, 0x38});
    }

    void alarmOkWritesTheLimitsAndStartsTheMonitor() {
        QFETCH(int, channels);
        QFETCH(char, unit);
        QFETCH(QByteArray, payload);
        Rig rig({.channels = channels, .unit = unit, .drift = false});
        QVERIFY(rig.start());
        QVERIFY(rig.openAlarm());
        rig.type("TxtT1H", "25.5 ");
        rig.type("TxtT1L", "-10");
        QVERIFY(rig.confirmAlarm({"CkAlm2"}));
        QCOMPARE(rig.commands("JH"), (QList<QByteArray>{"J", QByteArray("H") + payload}));
        QVERIFY(rig.platform.messages.isEmpty());
        // The typed numbers, not the rounded words, in the unit they were typed in.
        QCOMPARE(rig.monitor->limits().high[0], 25.5);
        QCOMPARE(rig.monitor->limits().low[0], -10.0);
        QCOMPARE(rig.monitor->limits().unit,
                 unit == 'C' ? live::TempUnit::Celsius : live::TempUnit::Fahrenheit);
        QCOMPARE(rig.monitor->enabled(), (settings::ChannelFlags{false, true, false, false}));
        QVERIFY(rig.monitor->running());

        // Opened again: the boxes tick as stored; OK with none ticked stops the monitor.
        QVERIFY(rig.openAlarm());
        QVERIFY(rig.find<QCheckBox>("CkAlm2")->isChecked());
        QVERIFY(rig.confirmAlarm({"CkAlm2"}));
        QVERIFY(!rig.monitor->running());
    }

    void alarmOutOfRangeKeepsThePanelOpen() {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.openAlarm());
        rig.type("TxtT4L", "-200.1");
        rig.click("CkAlm1");
        rig.click("CmdAlarmOK");
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text,
                 QStringLiteral("Error! 1375 >= High Alarm >= Low Alarm >= -200"));
        QVERIFY(rig.openAndHeld(rig.alarm));
        QVERIFY(!rig.monitor->running());
        // Corrected, it goes through.
        rig.type("TxtT4L", "-200");
        QVERIFY(rig.confirmAlarm());
        QCOMPARE(rig.meterWords()[7], quint16(1080));
    }

    void alarmCancelAndEscapeSendNothing() {
        Rig rig;
        QVERIFY(rig.start());
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QVERIFY(rig.openAlarm());
        rig.type("TxtT1H", "50");
        rig.click("CkAlm1");
        rig.click("CmdAlarmCancel");
        QVERIFY(rig.closedAndFree(rig.alarm));

        QVERIFY(rig.openAlarm());
        QCOMPARE(rig.box("TxtT1H"), QStringLiteral("100")); // read again from the meter
        QVERIFY(!rig.find<QCheckBox>("CkAlm1")->isChecked());
        QVERIFY(rig.find("TxtT1H")->hasFocus());
        QTest::keyClick(rig.find("TxtT1H"), Qt::Key_Escape);
        QVERIFY(rig.closedAndFree(rig.alarm));
        QCOMPARE(rig.commands("JH"), (QList<QByteArray>{"J", "J"}));
        QVERIFY(!rig.monitor->running());
    }

    void alarmRefusedWhileBusyOrWithoutUnit() {
        Rig rig;
        // No frame yet: no unit to show the limits in.
        rig.alarm->open();
        QVERIFY(!rig.shown(rig.alarm));
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("no unit")));

        QVERIFY(rig.start());
        rig.window->setLinkBusy(true);
        rig.alarm->open();
        QVERIFY(!rig.shown(rig.alarm));
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.thread.polling());
        QVERIFY(rig.commands("JH").isEmpty());
    }

    void alarmGarbledReadGivesUpWithOneMessage() {
        Rig rig(kMeter, 'J');
        QVERIFY(rig.start());
        rig.spoil = true;
        rig.press("Alarm");
        QTRY_VERIFY_WITH_TIMEOUT(!rig.platform.messages.isEmpty(), 10000);
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text,
                 QStringLiteral("The meter did not answer the request for its alarm limits.\n"
                                "Check the connection and try again."));
        QVERIFY(rig.closedAndFree(rig.alarm));
        QCOMPARE(rig.commands("JH"), QList<QByteArray>(10, "J"));
    }

    void alarmChannelInAlarmIsShownAndSoundedUntilReconnection() {
        // T1 23.5 C and T3 180.0 C at start; T3 above 150 C is in alarm, T1 is not.
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.openAlarm());
        rig.type("TxtT3H", "150");
        QVERIFY(rig.confirmAlarm({"CkAlm1", "CkAlm3"}));
        QSignalSpy frames(&rig.state, &live::LiveState::frameDecoded);
        QVERIFY(frames.wait(10000));
        auto* shown = rig.find<QLabel>("LblAlarm");
        QVERIFY(!shown->isVisibleTo(rig.window.get()));
        rig.monitor->tick();
        QCOMPARE(rig.platform.beeps, 1);
        QVERIFY(shown->isVisibleTo(rig.window.get()));
        QCOMPARE(shown->text(), QStringLiteral("ALARM T3"));
        QCOMPARE(shown->accessibleName(), QStringLiteral("Temperature alarm on T3"));

        // A reconnection switches every alarm off: the monitor ticks on, silent.
        QSignalSpy connected(&rig.thread, &serial::LinkThread::connected);
        QVERIFY(rig.thread.choosePort(QStringLiteral("COM1")));
        QVERIFY(connected.wait(10000));
        QCOMPARE(rig.monitor->enabled(), settings::ChannelFlags{});
        QVERIFY(!shown->isVisibleTo(rig.window.get()));
        rig.monitor->tick();
        QCOMPARE(rig.platform.beeps, 1);
        QVERIFY(rig.monitor->running());
    }

    void clockHoldsTheLinkFromOpeningToExitOrEscape() {
        Rig rig;
        QVERIFY(rig.start());
        QCOMPARE(rig.clock->displayTimer()->interval(), 1000);
        for (const bool escape : {false, true}) {
            // Also after the first Exit: every opening starts the display timer.
            rig.press("RTC");
            QVERIFY(rig.openAndHeld(rig.clock));
            QVERIFY(rig.clock->displayTimer()->isActive());
            rig.clock->tick();
            QCOMPARE(rig.text("LblPCTime"), QStringLiteral("PC System Time"));
            QCOMPARE(rig.text("LblMeterTime"), QStringLiteral("Meter Time"));
            if (escape)
                QTest::keyClick(rig.find("CmdSetTime"), Qt::Key_Escape);
            else
                rig.click("CmdRTCExit");
            QVERIFY(rig.closedAndFree(rig.clock));
            QVERIFY(!rig.clock->displayTimer()->isActive());
        }
        // Both times hidden: nothing was sent; and no tick reads while the panel is closed.
        rig.click("LblMeterTime");
        rig.clock->tick();
        QVERIFY(rig.sent().isEmpty());
    }

    void clockLabelsToggleAtTheNextTick() {
        Rig rig;
        QVERIFY(rig.start());
        rig.press("RTC");
        rig.click("CmdSetTime");
        QTRY_COMPARE_WITH_TIMEOUT(rig.sent(), QList<QByteArray>{kSetTo2024}, 10000);
        QTRY_VERIFY(rig.find("CmdSetTime")->isEnabled());

        rig.click("LblMeterTime");
        QTest::keyClick(rig.find("LblPCTime"), Qt::Key_Space);
        QCOMPARE(rig.text("LblMeterTime"), QStringLiteral("Meter Time")); // not before the tick
        rig.clock->tick();
        QCOMPARE(rig.text("LblPCTime"), QStringLiteral("24/03/15 14:05:09"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("LblMeterTime"), QStringLiteral("24/03/15 14:05:09"),
                                  10000);
        QCOMPARE(rig.sent(), (QList<QByteArray>{kSetTo2024, "C"}));

        // Clicked twice: back to its caption at the next tick.
        rig.click("LblPCTime");
        rig.click("LblPCTime");
        rig.click("LblMeterTime");
        rig.clock->tick();
        QCOMPARE(rig.text("LblPCTime"), QStringLiteral("24/03/15 14:05:09"));
        QCOMPARE(rig.text("LblMeterTime"), QStringLiteral("Meter Time"));
    }

    void clockRefusedWhileAnotherExchangeHoldsTheLink() {
        Rig rig(kMeter, 'K', true);
        QVERIFY(rig.start());
        rig.press("Intv");
        rig.press("RTC");
        rig.click("Command1");
        QVERIFY(!rig.shown(rig.clock));
        rig.click("CmdSamplingCancel");
        // The open clock panel holds the link: the service exchanges are refused with a message.
        rig.press("RTC");
        rig.service->box(1)->setText(QStringLiteral("A"));
        rig.click("CmdChByte");
        rig.click("WRTC");
        QCOMPARE(rig.platform.messages.size(), 2);
        QVERIFY(rig.sent().isEmpty());
        QVERIFY(rig.openAndHeld(rig.clock));
    }

    void clockServiceControlsHiddenAndOutOfTheTabOrder_data() {
        QTest::addColumn<bool>("shown");
        QTest::newRow("default") << false;
        QTest::newRow("--service") << true;
    }

    void clockServiceControlsHiddenAndOutOfTheTabOrder() {
        QFETCH(bool, shown);
        Rig rig(kMeter, 'K', shown);
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(rig.window.get()));
        // Command1 at 11520 twips, beyond the 4575-twip client area.
        QCOMPARE(rig.find("Command1")->mapTo(rig.window.get(), QPoint(0, 0)).x(), 11520 / 15);
        QCOMPARE(rig.window->width() == 305, !shown);
        for (const char* name : kServiceControls) {
            QWidget* widget = rig.find(name);
            // Hidden, not only placed off-screen: a hidden widget never takes the focus.
            QCOMPARE(widget->isVisible(), shown);
            QCOMPARE(widget->isEnabled(), shown);
            const QRect inWindow(widget->mapTo(rig.window.get(), QPoint(0, 0)), widget->size());
            QCOMPARE(rig.window->rect().contains(inWindow), shown);
        }
        int serviceStops = 0;
        for (int i = 0; i < 100; ++i) {
            QTest::keyClick(rig.window.get(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            serviceStops += focus && (rig.service->isAncestorOf(focus) ||
                                      rig.find("FrameSamplingTime")->isAncestorOf(focus));
        }
        QCOMPARE(serviceStops > 0, shown);
    }

    // The byte panel through the window: the handshake's reply shown, nothing else sent.
    void clockBytePanel() {
        Rig rig(kMeter, 'K', true);
        QVERIFY(rig.start());
        rig.service->replyLabel()->setText(QStringLiteral("before"));
        rig.service->box(1)->setText(QStringLiteral("A"));
        rig.click("CmdChByte");
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("CmdChByte")->isEnabled() && rig.closedAndFree(rig.clock),
                                 10000);
        QCOMPARE(rig.text("Label1"), QStringLiteral("02  41  0D  "));
        QVERIFY(rig.platform.messages.isEmpty());
        QVERIFY(rig.sent().isEmpty());
    }

    void clockRawButtons() {
        Rig rig(kMeter, 'K', true);
        QVERIFY(rig.start());
        rig.click("WRTC");
        QTRY_COMPARE_WITH_TIMEOUT(rig.sent(), QList<QByteArray>{kSetTo2024}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("RRTC")->isEnabled() && rig.closedAndFree(rig.clock),
                                 10000);
        rig.click("RRTC");
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("Label1"),
                                  QStringLiteral("02  24  03  15  14  05  09  0D  "), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(rig.clock), 10000);
        // Command1 opens the panel as the toolbar key does.
        rig.click("Command1");
        QVERIFY(rig.openAndHeld(rig.clock) && rig.clock->displayTimer()->isActive());
    }
};

QTEST_MAIN(TestMeterPanels)
#include "tst_meterpanels.moc"
