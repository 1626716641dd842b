// The alarm limits, the clock and the service controls in the window: the exact "J", "H" and
// "D" bytes, the bounded reads, Cancel and Escape, LinkBusy and the live poll, the monitor's
// tone and mark. The limits' words and ranges are pinned in tst_alarmlimits.

#include "accessevents.h"
#include "panelrig.h"

using namespace panelrig;

class TestMeterPanels : public QObject {
    Q_OBJECT
private slots:

    void alarmOpensOnlyWithAUnitOnAFreeLink() {
        Rig rig;
        // No frame yet: no unit to show the limits in.
        rig.alarm->open();
        QVERIFY(!rig.shown(rig.alarm));
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.platform.messages[0].text.contains(QStringLiteral("no unit")));
        // Nor while the link is busy.
        QVERIFY(rig.start());
        rig.window->setLinkBusy(true);
        rig.alarm->open();
        QVERIFY(!rig.shown(rig.alarm));
        QCOMPARE(rig.platform.messages.size(), 1);
        QVERIFY(rig.thread.polling());
        QVERIFY(rig.commands("JH").isEmpty());
    }

    void alarmOpeningShowsTheMetersLimits_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<char>("type");
        QTest::addColumn<char>("unit");
        QTest::addColumn<QString>("texts"); // T1 high, T1 low, ... T4 low
        QTest::addColumn<int>("panelWidth");
        QTest::addColumn<int>("frameWidth");
        QTest::addColumn<int>("percent");
        // The meter starts with 100 C / 0 C on every channel.
        QTest::newRow("4 K C") << 4 << 'K' << 'C' << "100 0 100 0 100 0 100 0" << 273 << 257 << 100;
        QTest::newRow("2 T F") << 2 << 'T' << 'F' << "212 32 212 32 752 -418 752 -418" << 145 << 129
                               << 100;
        QTest::newRow("1 S C") << 1 << 'S' << 'C' << "100 0 1770 0 1770 0 1770 0" << 81 << 65
                               << 100;
        // Laid out when opened, at the window's size then.
        QTest::newRow("4 at 150 %")
            << 4 << 'K' << 'C' << "100 0 100 0 100 0 100 0" << 410 << 386 << 150;
        QTest::newRow("1 at 200 %")
            << 1 << 'S' << 'C' << "100 0 1770 0 1770 0 1770 0" << 162 << 130 << 200;
    }

    void alarmOpeningShowsTheMetersLimits() {
        QFETCH(int, channels);
        QFETCH(char, type);
        QFETCH(char, unit);
        QFETCH(QString, texts);
        QFETCH(int, panelWidth);
        QFETCH(int, frameWidth);
        QFETCH(int, percent);
        Rig rig({.channels = channels, .type = type, .unit = unit, .drift = false});
        rig.window->setScalePercent(percent);
        QVERIFY(rig.start());
        QVERIFY(rig.openAlarm());
        QVERIFY(rig.openAndHeld(rig.alarm));
        QStringList shown;
        for (const char* box : kBoxes)
            shown << rig.box(box);
        QCOMPARE(shown.join(' '), texts);
        QCOMPARE(rig.alarm->width(), panelWidth);
        QCOMPARE(rig.find("FrmAlarm")->width(), frameWidth);
        const QRect inside = rig.alarm->rect();
        QVERIFY(inside.contains(rig.find("CmdAlarmCancel")->geometry()));
        QVERIFY(
            rig.find("FrmAlarm")->rect().contains(rig.find(kBoxes[2 * channels - 1])->geometry()));
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
        // The open panel owns the window: the toolbar's port list stays shut.
        rig.press("PortSel");
        QVERIFY(rig.find("TxtCOM")->isHidden());
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
        AccessEvents events;
        rig.monitor->tick();
        QCOMPARE(rig.platform.beeps, 1);
        QVERIFY(shown->isVisibleTo(rig.window.get()));
        QCOMPARE(shown->text(), QStringLiteral("ALARM T3"));
        for (const char* other : {"TxtCOM", "LCD"})
            QVERIFY(!shown->geometry().intersects(rig.find(other)->geometry()));
        QCOMPARE(shown->accessibleName(), QStringLiteral("Temperature alarm on T3"));
        // A screen reader is told once per channel entering alarm, not per tick or change.
        QCOMPARE(QAccessible::queryAccessibleInterface(shown)->role(), QAccessible::AlertMessage);
        settings::AlarmLimits limits = rig.monitor->limits();
        struct Step {
            double t1High; // T1 reads 23.5 C
            const char* text;
            int alerts;
        };
        for (const auto& [t1High, text, alerts] :
             {Step{100, "ALARM T3", 1}, Step{10, "ALARM T1 T3", 2}, Step{100, "ALARM T3", 2}}) {
            limits.high[0] = t1High;
            rig.monitor->setLimits(limits);
            rig.monitor->tick();
            QCOMPARE(shown->text(), QString::fromLatin1(text));
            QCOMPARE(events.count(QAccessible::Alert, shown), alerts);
        }

        // A reconnection switches every alarm off: the monitor ticks on, silent.
        const int beeps = rig.platform.beeps;
        QSignalSpy connected(&rig.thread, &serial::LinkThread::connected);
        QVERIFY(rig.thread.choosePort(QStringLiteral("COM1")));
        QVERIFY(connected.wait(10000));
        QCOMPARE(rig.monitor->enabled(), settings::ChannelFlags{});
        QVERIFY(!shown->isVisibleTo(rig.window.get()));
        rig.monitor->tick();
        QCOMPARE(rig.platform.beeps, beeps);
        QVERIFY(rig.monitor->running());
    }

    // A frame's 37 bytes, each shown and read out, the boxes under them.
    void byteReplyShownWhole() {
        Rig rig(kMeter, 'K', true);
        QVERIFY(rig.start());
        rig.service->box(1)->setText(QStringLiteral("M"));
        rig.click("CmdChByte");
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("CmdChByte")->isEnabled(), 10000);
        QLabel* label = rig.service->replyLabel();
        const QString text = label->text();
        QCOMPARE(text.split(QStringLiteral("  "), Qt::SkipEmptyParts).size(), 37);
        QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), text);
        const QRect inside = label->contentsRect();
        const QRect needed =
            QFontMetrics(label->font()).boundingRect(inside, Qt::TextWordWrap, text);
        QVERIFY2(inside.contains(needed), qPrintable(QStringLiteral("%1 x %2 in %3 x %4")
                                                         .arg(needed.width())
                                                         .arg(needed.height())
                                                         .arg(inside.width())
                                                         .arg(inside.height())));
        QCOMPARE(label->pos(), QPoint(0, 0));
        QList<QWidget*> rows = {rig.find("CmdChByte")};
        for (int n = 1; n <= 17; ++n)
            rows.append(rig.service->box(n));
        for (QWidget* row : rows) {
            QVERIFY2(row->y() > label->geometry().bottom(), qPrintable(row->objectName()));
            QVERIFY2(rig.service->rect().contains(row->geometry()), qPrintable(row->objectName()));
        }
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

    void focusIsDrawn_data() {
        QTest::addColumn<QString>("control");
        QTest::newRow("display") << "LCD";
        QTest::newRow("PC clock") << "LblPCTime";
        QTest::newRow("meter clock") << "LblMeterTime";
    }

    // Controls that take the focus show where it is.
    void focusIsDrawn() {
        QFETCH(QString, control);
        Rig rig;
        rig.window->show();
        rig.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(rig.window.get()));
        QVERIFY(rig.start());
        if (control != QLatin1String("LCD"))
            rig.press("RTC");
        QWidget* widget = rig.find(control.toLatin1());
        QVERIFY(widget->isVisible());
        rig.find("CmdSetTime")->setFocus();
        const QImage unfocused = widget->grab().toImage();
        widget->setFocus(Qt::TabFocusReason);
        QVERIFY(widget->hasFocus());
        QVERIFY(widget->grab().toImage() != unfocused);
    }

    void clockLabelsToggleAtTheNextTick() {
        Rig rig;
        QVERIFY(rig.start());
        rig.press("RTC");
        rig.click("CmdSetTime");
        QTRY_COMPARE_WITH_TIMEOUT(rig.sent(), QList<QByteArray>{kSetTo2024}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(rig.find("CmdSetTime")->isEnabled(), 10000);

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
        QCOMPARE(rig.window->width() == 305, !shown);
        // Widened, it still fits a 1024-pixel screen with the window manager's borders.
        QVERIFY(rig.window->width() <= 1016);
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

    // The byte panel and the raw clock buttons through the window: the replies shown, and
    // nothing on the wire but what each sends.
    void clockServiceButtons() {
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
