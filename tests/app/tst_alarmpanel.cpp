// The alarm panel in the main window against a virtual meter on the link thread: the "J" read
// shown in the meter's unit, the exact "H" bytes of OK, the range refusal, Cancel and Escape, the
// refusals before anything is read, the bounded read, and the channel in alarm shown and sounded
// until a reconnection. Word and range rules are pinned in tst_alarmlimits; here the wiring.

#include "app/settings/alarmpanel.h"
#include "app/window/controlpanel.h"
#include "settings/alarmmonitor.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

using testsupport::bytes;

struct Rig : testsupport::LinkRig {
    explicit Rig(sim::MeterConfig config = {.drift = false})
        : LinkRig(config, 'J') {
        window =
            std::make_unique<app::ControlPanel>(thread, state, platform, [] { return 1000.0; });
        panel = app::attachAlarmPanel(*window, thread, state, platform);
        monitor = window->findChild<settings::AlarmMonitor*>();
    }
    ~Rig() { window.reset(); }

    // "J" and "H" (with its payload) as the meter received them.
    QList<QByteArray> limitCommands() { return commands("JH"); }
    std::array<quint16, 8> meterWords() {
        return onLinkThread<std::array<quint16, 8>>([this] { return meter.alarmWords(); });
    }

    // Opens the panel and waits until the limits are in the boxes.
    bool openAndRead() {
        window->toolbarAction(QStringLiteral("Alarm"))->trigger();
        return QTest::qWaitFor([this] { return panelOpen() && find("CmdAlarmOK")->isEnabled(); },
                               10000);
    }
    template <typename T = QWidget> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    QString box(const char* name) const { return find<QLineEdit>(name)->text(); }
    void type(const char* name, const char* text) {
        find<QLineEdit>(name)->setText(QString::fromLatin1(text));
    }
    void click(const char* name) { QTest::mouseClick(find<QAbstractButton>(name), Qt::LeftButton); }
    bool panelOpen() const { return panel->isVisibleTo(window.get()); }
    bool closedAndFree() const { return !panelOpen() && !window->linkBusy() && thread.polling(); }
    // Ticks the named check boxes, presses OK and waits until the panel has closed.
    bool confirm(std::initializer_list<const char*> ticks = {}) {
        for (const char* box : ticks)
            click(box);
        click("CmdAlarmOK");
        return QTest::qWaitFor([this] { return closedAndFree(); }, 10000);
    }

    testsupport::FakePlatform platform;
    std::unique_ptr<app::ControlPanel> window;
    app::AlarmPanel* panel = nullptr;
    settings::AlarmMonitor* monitor = nullptr;
};

const char* const kBoxes[] = {"TxtT1H", "TxtT1L", "TxtT2H", "TxtT2L",
                              "TxtT3H", "TxtT3L", "TxtT4H", "TxtT4L"};

} // namespace

class TestAlarmPanel : public QObject {
    Q_OBJECT
private slots:

    void controlsCarryTheirNames() {
        Rig rig;
        QVERIFY(!rig.panelOpen());
        // By this name the window knows to refuse its toolbar while the panel is open.
        QCOMPARE(rig.panel->objectName(), QStringLiteral("PicAlarm"));
        // Each box is named by the heading over it, for the eye and for a screen reader.
        QStringList names;
        for (const char* box : kBoxes)
            names << rig.find(box)->accessibleName();
        QCOMPARE(names, (QStringList{"T1 High", "T1 Low", "T2 High", "T2 Low", "T3 High", "T3 Low",
                                     "T4 High", "T4 Low"}));
        for (const char* name : {"CkAlm1", "CkAlm2", "CkAlm3", "CkAlm4"})
            QVERIFY(rig.find<QCheckBox>(name)->text().isEmpty());
    }

    void openingShowsTheMetersLimits_data() {
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

    void openingShowsTheMetersLimits() {
        QFETCH(int, channels);
        QFETCH(char, type);
        QFETCH(char, unit);
        QFETCH(QString, texts);
        QFETCH(int, panelWidth);
        QFETCH(int, frameWidth);
        Rig rig({.channels = channels, .type = type, .unit = unit, .drift = false});
        QVERIFY(rig.start());
        QVERIFY(rig.openAndRead());
        QVERIFY(rig.window->linkBusy());
        QVERIFY(!rig.thread.polling());
        QStringList shown;
        for (const char* box : kBoxes)
            shown << rig.box(box);
        QCOMPARE(shown.join(' '), texts);
        QCOMPARE(rig.panel->width(), panelWidth);
        QCOMPARE(rig.find("FrmAlarm")->width(), frameWidth);
        // Absent channels are out of sight and out of the Tab order.
        QCOMPARE(rig.find("TxtT2H")->isVisibleTo(rig.panel), channels >= 2);
        QCOMPARE(rig.find("CkAlm3")->isVisibleTo(rig.panel), channels == 4);
        QCOMPARE(rig.limitCommands(), QList<QByteArray>{QByteArrayLiteral("J")});
        // The monitor keeps what the meter holds, absent channels included.
        QCOMPARE(rig.monitor->limits().high[3], shown[0].toDouble());
        QVERIFY(!rig.find<QCheckBox>("CkAlm1")->isChecked());
    }

    void okWritesTheLimitsAndStartsTheMonitor_data() {
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

    void okWritesTheLimitsAndStartsTheMonitor() {
        QFETCH(int, channels);
        QFETCH(char, unit);
        QFETCH(QByteArray, payload);
        Rig rig({.channels = channels, .unit = unit, .drift = false});
        QVERIFY(rig.start());
        QVERIFY(rig.openAndRead());
        rig.type("TxtT1H", "25.5 ");
        rig.type("TxtT1L", "-10");
        QVERIFY(rig.confirm({"CkAlm2"}));
        QCOMPARE(rig.limitCommands(), (QList<QByteArray>{"J", QByteArray("H") + payload}));
        QVERIFY(rig.platform.messages.isEmpty());
        // The typed numbers, not the rounded words, in the unit they were typed in.
        QCOMPARE(rig.monitor->limits().high[0], 25.5);
        QCOMPARE(rig.monitor->limits().low[0], -10.0);
        QCOMPARE(rig.monitor->limits().unit,
                 unit == 'C' ? live::TempUnit::Celsius : live::TempUnit::Fahrenheit);
        QCOMPARE(rig.monitor->enabled(), (settings::ChannelFlags{false, true, false, false}));
        QVERIFY(rig.monitor->running());

        // Opened again: the boxes tick as stored; OK with none ticked stops the monitor.
        QVERIFY(rig.openAndRead());
        QVERIFY(rig.find<QCheckBox>("CkAlm2")->isChecked());
        QVERIFY(rig.confirm({"CkAlm2"}));
        QVERIFY(!rig.monitor->running());
    }

    void outOfRangeKeepsThePanelOpen() {
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.openAndRead());
        rig.type("TxtT4L", "-200.1");
        rig.click("CkAlm1");
        rig.click("CmdAlarmOK");
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text,
                 QStringLiteral("Error! 1375 >= High Alarm >= Low Alarm >= -200"));
        QVERIFY(rig.panelOpen());
        QVERIFY(rig.window->linkBusy());
        QVERIFY(!rig.thread.polling());
        QVERIFY(!rig.monitor->running());
        // Corrected, it goes through.
        rig.type("TxtT4L", "-200");
        QVERIFY(rig.confirm());
        QCOMPARE(rig.meterWords()[7], quint16(1080));
    }

    void cancelAndEscapeSendNothing() {
        Rig rig;
        QVERIFY(rig.start());
        rig.window->show();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QVERIFY(rig.openAndRead());
        rig.type("TxtT1H", "50");
        rig.click("CkAlm1");
        rig.click("CmdAlarmCancel");
        QVERIFY(rig.closedAndFree());

        QVERIFY(rig.openAndRead());
        QCOMPARE(rig.box("TxtT1H"), QStringLiteral("100")); // read again from the meter
        QVERIFY(!rig.find<QCheckBox>("CkAlm1")->isChecked());
        QVERIFY(rig.find("TxtT1H")->hasFocus());
        QTest::keyClick(rig.find("TxtT1H"), Qt::Key_Escape);
        QVERIFY(rig.closedAndFree());
        QCOMPARE(rig.limitCommands(), (QList<QByteArray>{"J", "J"}));
        QVERIFY(!rig.monitor->running());
    }

    void refusedWhileBusyOrWithoutUnit() {
        Rig rig;
        // No frame yet: no unit to show the limits in.
        rig.panel->open();
        QVERIFY(!rig.panelOpen());
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("no unit")));

        QVERIFY(rig.start());
        rig.window->setLinkBusy(true);
        rig.panel->open();
        QVERIFY(!rig.panelOpen());
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.thread.polling());
        QVERIFY(rig.limitCommands().isEmpty());
    }

    void garbledReadGivesUpWithOneMessage() {
        Rig rig;
        QVERIFY(rig.start());
        rig.spoil = true;
        rig.window->toolbarAction(QStringLiteral("Alarm"))->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(!rig.platform.messages.isEmpty(), 10000);
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages[0].text,
                 QStringLiteral("The meter did not answer the request for its alarm limits.\n"
                                "Check the connection and try again."));
        QVERIFY(rig.closedAndFree());
        QCOMPARE(rig.limitCommands(), QList<QByteArray>(10, "J"));
    }

    void channelInAlarmIsShownAndSoundedUntilReconnection() {
        // T1 23.5 C and T3 180.0 C at start; T3 above 150 C is in alarm, T1 is not.
        Rig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.openAndRead());
        rig.type("TxtT3H", "150");
        QVERIFY(rig.confirm({"CkAlm1", "CkAlm3"}));
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
};

QTEST_MAIN(TestAlarmPanel)
#include "tst_alarmpanel.moc"
