// The clock panel and the service controls in the window, against a virtual meter on the link
// thread: the link held while the panel is open, the display tick, CmdSetTime, refusals while
// another exchange holds the link; the service controls hidden and out of the Tab order unless
// shown; the byte panel, RRTC, WRTC and Command1.

#include "app/clock/clockpanel.h"
#include "app/service/servicepanel.h"
#include "app/settings/samplingpanel.h"
#include "app/window/controlpanel.h"
#include "support/fakeplatform.h"
#include "support/linkrig.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

namespace {

const QDateTime kPcTime(QDate(2024, 3, 15), QTime(14, 5, 9));
const char* const kServiceControls[] = {
    "Cmd1",     "Cmd9", "Cmd17", "CmdChByte",   "Label1",
    "Command1", "RRTC", "WRTC",  "CmdSampling", "FrameSamplingTime"};

// The meter on COM1, the link thread in virtual time, the main window with the sampling
// panel, the clock panel and the service controls, and a PC clock standing at kPcTime.
struct Rig : testsupport::LinkRig {
    explicit Rig(bool serviceShown = false)
        : LinkRig({}, '\0') {
        window =
            std::make_unique<app::ControlPanel>(thread, state, platform, [] { return 1000.0; });
        auto* sampling = app::attachSamplingPanel(
            *window, thread, platform, [] { return 1; }, [](int) {});
        clock = app::attachClockPanel(*window, thread, [] { return kPcTime; });
        service = app::attachServicePanel(
            *window, thread, platform, *clock, [] { return kPcTime; }, {sampling->serviceFrame()},
            serviceShown);
    }
    ~Rig() { window.reset(); }
    // Commands the meter received, without the handshakes and the live polls.
    QList<QByteArray> commands() {
        QList<QByteArray> out =
            onLinkThread<QList<QByteArray>>([this] { return meter.commandLog(); });
        out.removeAll(QByteArrayLiteral("A"));
        out.removeAll(QByteArrayLiteral("M"));
        return out;
    }
    template <typename T = QWidget> T* find(const char* name) const {
        return window->findChild<T*>(QString::fromLatin1(name));
    }
    void click(const char* name) { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }
    QString text(const char* name) const { return find<QLabel>(name)->text(); }
    bool open() const { return clock->isVisibleTo(window.get()); }
    bool closedAndFree() const { return !open() && !window->linkBusy() && thread.polling(); }
    void trigger(const char* key) { window->toolbarAction(QString::fromLatin1(key))->trigger(); }

    testsupport::FakePlatform platform;
    std::unique_ptr<app::ControlPanel> window;
    app::ClockPanel* clock = nullptr;
    app::ServicePanel* service = nullptr;
};

const QByteArray kSetTo2024 = QByteArray("D\x24\x03\x15\x14\x05\x09", 7);

} // namespace

class TestClockPanel : public QObject {
    Q_OBJECT
private slots:

    void holdsTheLinkFromOpeningToExitOrEscape() {
        Rig rig;
        QVERIFY(rig.start());
        QCOMPARE(rig.clock->displayTimer()->interval(), 1000);
        for (const bool escape : {false, true}) {
            // Also after the first Exit: every opening starts the display timer.
            rig.trigger("RTC");
            QVERIFY(rig.open() && rig.window->linkBusy() && !rig.thread.polling());
            QVERIFY(rig.clock->displayTimer()->isActive());
            rig.clock->tick();
            QCOMPARE(rig.text("LblPCTime"), QStringLiteral("PC System Time"));
            QCOMPARE(rig.text("LblMeterTime"), QStringLiteral("Meter Time"));
            if (escape)
                QTest::keyClick(rig.find("CmdSetTime"), Qt::Key_Escape);
            else
                rig.click("CmdRTCExit");
            QVERIFY(rig.closedAndFree());
            QVERIFY(!rig.clock->displayTimer()->isActive());
        }
        // Both times hidden: nothing was sent; and no tick reads while the panel is closed.
        rig.click("LblMeterTime");
        rig.clock->tick();
        QVERIFY(rig.commands().isEmpty());
    }

    void labelsToggleAtTheNextTick() {
        Rig rig;
        QVERIFY(rig.start());
        rig.trigger("RTC");
        rig.click("CmdSetTime");
        QTRY_COMPARE_WITH_TIMEOUT(rig.commands(), QList<QByteArray>{kSetTo2024}, 10000);
        QTRY_VERIFY(rig.find("CmdSetTime")->isEnabled());

        rig.click("LblMeterTime");
        QTest::keyClick(rig.find("LblPCTime"), Qt::Key_Space);
        QCOMPARE(rig.text("LblMeterTime"), QStringLiteral("Meter Time")); // not before the tick
        rig.clock->tick();
        QCOMPARE(rig.text("LblPCTime"), QStringLiteral("24/03/15 14:05:09"));
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("LblMeterTime"), QStringLiteral("24/03/15 14:05:09"),
                                  10000);
        QCOMPARE(rig.commands(), (QList<QByteArray>{kSetTo2024, "C"}));

        // Clicked twice: back to its caption at the next tick.
        rig.click("LblPCTime");
        rig.click("LblPCTime");
        rig.click("LblMeterTime");
        rig.clock->tick();
        QCOMPARE(rig.text("LblPCTime"), QStringLiteral("24/03/15 14:05:09"));
        QCOMPARE(rig.text("LblMeterTime"), QStringLiteral("Meter Time"));
    }

    void refusedWhileAnotherExchangeHoldsTheLink() {
        Rig rig(true);
        QVERIFY(rig.start());
        rig.trigger("Intv");
        rig.trigger("RTC");
        rig.click("Command1");
        QVERIFY(!rig.open());
        rig.click("CmdSamplingCancel");
        // The open clock panel holds the link: the service exchanges are refused with a message.
        rig.trigger("RTC");
        rig.service->box(1)->setText(QStringLiteral("A"));
        rig.click("CmdChByte");
        rig.click("WRTC");
        QCOMPARE(rig.platform.messages.size(), 2);
        QVERIFY(rig.commands().isEmpty());
        QVERIFY(rig.open() && !rig.thread.polling());
    }

    void serviceControlsHiddenAndOutOfTheTabOrder_data() {
        QTest::addColumn<bool>("shown");
        QTest::newRow("default") << false;
        QTest::newRow("--service") << true;
    }

    void serviceControlsHiddenAndOutOfTheTabOrder() {
        QFETCH(bool, shown);
        Rig rig(shown);
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
    void bytePanel() {
        Rig rig(true);
        QVERIFY(rig.start());
        rig.service->replyLabel()->setText(QStringLiteral("before"));
        rig.service->box(1)->setText(QStringLiteral("A"));
        rig.click("CmdChByte");
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("CmdChByte")->isEnabled() && rig.closedAndFree(), 10000);
        QCOMPARE(rig.text("Label1"), QStringLiteral("02  41  0D  "));
        QVERIFY(rig.platform.messages.isEmpty());
        QVERIFY(rig.commands().isEmpty());
    }

    void rawClockButtons() {
        Rig rig(true);
        QVERIFY(rig.start());
        rig.click("WRTC");
        QTRY_COMPARE_WITH_TIMEOUT(rig.commands(), QList<QByteArray>{kSetTo2024}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("RRTC")->isEnabled() && rig.closedAndFree(), 10000);
        rig.click("RRTC");
        QTRY_COMPARE_WITH_TIMEOUT(rig.text("Label1"),
                                  QStringLiteral("02  24  03  15  14  05  09  0D  "), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.closedAndFree(), 10000);
        // Command1 opens the panel as the toolbar key does.
        rig.click("Command1");
        QVERIFY(rig.open() && rig.window->linkBusy() && rig.clock->displayTimer()->isActive());
    }
};

QTEST_MAIN(TestClockPanel)
#include "tst_clockpanel.moc"
