// The main window against a virtual meter on the link thread: the status bar's connection and
// memory texts, the keys (codes on the wire however they are pressed, feedback, the countdown,
// presses refused while the link is busy), which keys each channel count shows, the toolbar's
// refusal while a panel is open, the port list and the view's scale.

#include "windowrig.h"

#include <QMessageBox>
#include <QSettings>
#include <QStatusBar>

using namespace windowrig;

class TestControlPanel : public QObject {
    Q_OBJECT
private slots:

    void windowHasItsFixedShape() {
        Rig rig;
        ControlPanel& w = *rig.panel;
        QCOMPARE(w.size(), QSize(305, 650));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowTitle().startsWith(QStringLiteral("QR512 Thermometer ")));

        QStringList keys, tips, enabled;
        for (const QAction* action : rig.find<QToolBar>("Toolbar1")->actions()) {
            keys << action->objectName();
            tips << ControlPanel::toolTipWithShortcut(action);
            QVERIFY(!action->icon().isNull());
            if (action->isEnabled())
                enabled << action->objectName();
        }
        QCOMPARE(keys, QStringList(
                           {"Save", "Open", "RTC", "Memory", "Alarm", "Intv", "Erase", "PortSel"}));
        QCOMPARE(tips, QStringList({"Save Data (Ctrl+S)", "Open File to Read (Ctrl+O)",
                                    "Real Time Clock (Ctrl+T)", "Data Logger (Ctrl+M)",
                                    "Alarm (Ctrl+L)", "Sampling Rate (Ctrl+I)",
                                    "Erase Memory (Ctrl+Shift+E)", "Port Connection (Ctrl+P)"}));
        // Nothing hangs on the feature keys yet: they must look unavailable.
        QCOMPARE(enabled, QStringList{"PortSel"});

        auto* ports = rig.find<QComboBox>("TxtCOM");
        QVERIFY(!ports->isEditable());
        QCOMPARE(ports->count(), 17);
        QCOMPARE(ports->itemText(0), QStringLiteral("Auto"));
        QCOMPARE(ports->itemText(16), QStringLiteral("COM16"));
        w.setPortDevices({QStringLiteral("/dev/pts/7"), QStringLiteral("/dev/ttyUSB0")});
        QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/pts/7"));
        QCOMPARE(ports->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB0"));

        QVERIFY(rig.find("ShapeStart")->isHidden());
        // Every key reads the same on the screen and to a screen reader, as a push button.
        QStringList captions, spoken;
        for (const live::KeyInfo& info : live::kKeys) {
            QWidget* key = rig.find(info.objectName);
            QVERIFY2(key, info.objectName);
            captions << key->property("text").toString();
            spoken << accessible(key)->text(QAccessible::Name);
            QCOMPARE(accessible(key)->role(), QAccessible::Button);
        }
        const QStringList names = {"HOLD",  "TIME",     "TYPE",     "REL",    "REC",
                                   "T1-T2", "T3-T4",    "LIGHT",    "LIMIT",  "MAX",
                                   "POWER", "Pow+Unit", "Pow+Hold", "Pow+REL"};
        QCOMPARE(captions, names);
        QCOMPARE(spoken, names);
    }

    void connectionAndMemoryShowInTheStatusBar() {
        Rig rig;
        QLabel* connection = rig.statusPanel(4);
        QCOMPARE(connection->text(), QStringLiteral("No COM"));
        QVERIFY(!rig.statusPanel(1)->text().isEmpty()); // date and time keep themselves
        QVERIFY(!rig.statusPanel(2)->text().isEmpty());

        // Connected after the window's own handlers, so each entry is what the window showed.
        QStringList shown;
        QList<bool> indicatorDuringSearch;
        connect(
            &rig.thread, &serial::LinkThread::statusText, rig.panel.get(),
            [&] { shown.append(connection->text()); });
        connect(&rig.thread, &serial::LinkThread::searchStarted, rig.panel.get(),
                [&] { indicatorDuringSearch.append(!rig.find("ShapeStart")->isHidden()); });
        rig.panel->toolbar()->setEnabled(false);
        rig.panel->setLinkBusy(true);

        QVERIFY(rig.start());
        QCOMPARE(shown, QStringList({"Connecting...", "Connecting...", "COM2"}));
        QCOMPARE(indicatorDuringSearch, QList<bool>{true});
        QCOMPARE(connection->toolTip(), QStringLiteral("virtual meter on COM2"));
        QVERIFY(rig.panel->toolbar()->isEnabled());
        QVERIFY(!rig.panel->linkBusy());
        QVERIFY(rig.find("ShapeStart")->isHidden());
        QCOMPARE(rig.statusPanel(3)->text(), QStringLiteral("0 / 16800"));
    }

    void keyPressSendsItsCode_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<double>("held");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("HOLD 3 s") << "CmdHold" << 3.0 << "left" << bytes({0x49, 0, 0, 0x01, 0});
        QTest::newRow("REL, right button, 2 s is short")
            << "CmdRel" << 2.0 << "right" << bytes({0x49, 0x08, 0, 0, 0});
        QTest::newRow("LIMIT 3 s") << "LimitLbl" << 3.0 << "left" << bytes({0x49, 0, 0, 0, 0x01});
        QTest::newRow("Pow+Hold") << "CmdPowerHold" << 9.0 << "click"
                                  << bytes({0x49, 0, 0x10, 0, 0});
        QTest::newRow("light, Space 2.5 s")
            << "LblLight" << 2.5 << "space" << bytes({0x49, 0, 0, 0x80, 0});
        // The X server repeats a held key as release and press pairs marked as repeats, or
        // (detectable auto-repeat) as presses alone, unmarked.
        QTest::newRow("HOLD, Space 3 s repeating")
            << "CmdHold" << 3.0 << "pairs" << bytes({0x49, 0, 0, 0x01, 0});
        QTest::newRow("LIMIT, Space 3 s, repeated presses")
            << "LimitLbl" << 3.0 << "presses" << bytes({0x49, 0, 0, 0, 0x01});
        // A reader's press is short; keys other than the first of their kind, so that a press
        // wired to the wrong key shows.
        QTest::newRow("REL, reader") << "CmdRel" << 9.0 << "reader" << bytes({0x49, 0x08, 0, 0, 0});
        QTest::newRow("LIMIT, reader")
            << "LimitLbl" << 9.0 << "reader" << bytes({0x49, 0, 0x01, 0, 0});
    }

    void keyPressSendsItsCode() {
        QFETCH(QString, control);
        QFETCH(double, held);
        QFETCH(QString, how);
        QFETCH(QByteArray, sent);
        // The POWER combinations only show with fewer than four channels, the light and limit
        // keys only with four.
        Rig rig({.channels = control.startsWith(QLatin1String("CmdPower")) ? 2 : 4});
        QVERIFY(rig.start());
        QWidget* key = rig.find(control.toLatin1());
        QVERIFY(key->isVisibleTo(rig.panel.get()));

        if (how == QLatin1String("click")) {
            QTest::mouseClick(key, Qt::LeftButton);
        } else if (how == QLatin1String("reader")) {
            pressByReader(key);
        } else if (how == QLatin1String("space")) {
            QTest::keyPress(key, Qt::Key_Space);
            rig.now += held;
            QTest::keyRelease(key, Qt::Key_Space);
        } else if (how == QLatin1String("pairs") || how == QLatin1String("presses")) {
            QTest::keyPress(key, Qt::Key_Space);
            const bool pairs = how == QLatin1String("pairs");
            for (int i = 0; i < 10; ++i) {
                rig.now += held / 11;
                QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ", true);
                QKeyEvent down(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", pairs);
                if (pairs)
                    QApplication::sendEvent(key, &up);
                QApplication::sendEvent(key, &down);
            }
            rig.now += held / 11;
            QTest::keyRelease(key, Qt::Key_Space);
        } else {
            const Qt::MouseButton button =
                how == QLatin1String("right") ? Qt::RightButton : Qt::LeftButton;
            QTest::mousePress(key, button);
            rig.now += held;
            QTest::mouseRelease(key, button);
        }
        QVERIFY(rig.panel->linkBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
        QCOMPARE(rig.keyCommands(), QList<QByteArray>{sent});
        QVERIFY(rig.thread.polling());
    }

    void holdingAKeyShowsFeedbackAndCountdown() {
        Rig rig;
        QVERIFY(rig.start());
        QWidget* hold = rig.find("CmdHold");
        auto* timing = rig.find<QLabel>("LblTiming");

        QTest::mousePress(hold, Qt::LeftButton);
        QVERIFY(captionColour(hold) != QColor(Qt::black));
        QVERIFY(contrast(captionColour(hold), hold->palette().color(QPalette::Button)) >= 4.5);
        QVERIFY(!timing->isHidden());
        QSignalSpy frames(&rig.state, &live::LiveState::frameDecoded);
        rig.now += 1.5;
        QVERIFY(frames.wait(10000));
        QCOMPARE(timing->text(), QStringLiteral("2"));
        rig.now += 2.0;
        QVERIFY(frames.wait(10000));
        QCOMPARE(timing->text(), QStringLiteral("0"));
        QTest::mouseRelease(hold, Qt::LeftButton);
        QCOMPARE(captionColour(hold), QColor(Qt::black));
        QVERIFY(timing->isHidden());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
    }

    void holdCountdown_data() {
        QTest::addColumn<double>("held");
        QTest::addColumn<int>("shown");
        QTest::newRow("just pressed") << 0.0 << 3;
        QTest::newRow("0.99 s") << 0.99 << 3;
        QTest::newRow("1 s") << 1.0 << 2;
        QTest::newRow("3.5 s") << 3.5 << 0;
        QTest::newRow("4 s starts again") << 4.0 << 3;
        QTest::newRow("a day") << 86401.0 << 2;
        QTest::newRow("backwards") << -1.5 << 3;
        QTest::newRow("not a number") << std::numeric_limits<double>::quiet_NaN() << 3;
    }

    void holdCountdown() {
        QFETCH(double, held);
        QFETCH(int, shown);
        QCOMPARE(ControlPanel::holdCountdown(held), shown);
    }

    void shapedKeyLightsButItsPictureSendsNothing_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QString>("shape");
        QTest::addColumn<bool>("countdown");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("power") << QString("LblPwr") << QString("ImaPwr") << QString("CmdPwr")
                               << false << bytes({0x49, 0, 0x04, 0, 0});
        QTest::newRow("light") << QString("LblLight") << QString("ImaLight") << QString("CmdLight")
                               << true << bytes({0x49, 0x80, 0, 0, 0});
    }

    void shapedKeyLightsButItsPictureSendsNothing() {
        QFETCH(QString, key);
        QFETCH(QString, picture);
        QFETCH(QString, shape);
        QFETCH(bool, countdown);
        QFETCH(QByteArray, sent);
        Rig rig;
        QVERIFY(rig.start());
        QWidget* image = rig.find(picture.toLatin1());
        auto* fill = rig.find<app::KeyShape>(shape.toLatin1());
        QWidget* timing = rig.find("LblTiming");
        const QColor orange(255, 128, 0);
        QCOMPARE(fill->fillColor(), orange);

        // Most of the face is key; the press on the picture shows no press, as it sends none.
        QVERIFY(image->width() * image->height() * 4 < fill->width() * fill->height());
        QVERIFY(!image->geometry().contains(fill->geometry().center()));
        QTest::mousePress(image, Qt::LeftButton);
        QCOMPARE(fill->fillColor(), orange);
        QVERIFY(timing->isHidden());
        QTest::mouseRelease(image, Qt::LeftButton);
        QVERIFY(!rig.panel->linkBusy());

        QTest::mousePress(rig.find(key.toLatin1()), Qt::LeftButton);
        QCOMPARE(fill->fillColor(), QColor(Qt::white));
        QCOMPARE(timing->isHidden(), !countdown);
        QTest::mouseRelease(rig.find(key.toLatin1()), Qt::LeftButton);
        QCOMPARE(fill->fillColor(), orange);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
        QCOMPARE(rig.keyCommands(), QList<QByteArray>{sent});
    }

    void pressesWhileTheLinkIsBusySendNothing() {
        Rig rig;
        QVERIFY(rig.start());
        QWidget* hold = rig.find("CmdHold");
        QWidget* time = rig.find("CmdTime");

        // A second key while the first is still being sent: the first goes out, the second not.
        QTest::mouseClick(hold, Qt::LeftButton);
        QVERIFY(rig.panel->linkBusy());
        QTest::mouseClick(time, Qt::LeftButton);
        QTest::mouseClick(rig.find("CmdPowerRel"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
        QCOMPARE(rig.keyCommands(), QList<QByteArray>{bytes({0x49, 0x01, 0, 0, 0})});

        // Another owner of the link (a settings panel) holds it.
        rig.panel->setLinkBusy(true);
        QTest::mouseClick(time, Qt::LeftButton);
        QCOMPARE(captionColour(time), QColor(Qt::black));
        pressByReader(time);
        // A press refused while busy stays refused when its release comes after the link is free.
        QTest::mousePress(time, Qt::LeftButton);
        rig.panel->setLinkBusy(false);
        rig.now += 5;
        QTest::mouseRelease(time, Qt::LeftButton);
        QVERIFY(!rig.panel->linkBusy());
        QCOMPARE(rig.keyCommands().size(), 1);
    }

    void keysFollowTheChannelCount_data() {
        QTest::addColumn<int>("channels");
        // The captioned keys shown, in their places from the top left, four to a row.
        QTest::addColumn<QString>("captioned");
        QTest::addColumn<QString>("others"); // the other key parts shown besides POWER
        const char* combinations = "CmdPowerHold CmdPowerRel CmdPowerUnit";
        QTest::newRow("1") << 1 << "CmdHold CmdUnit CmdRel CmdRec CmdMax" << combinations;
        QTest::newRow("2") << 2 << "CmdHold CmdUnit CmdRel CmdRec CmdT1T2 CmdMax" << combinations;
        QTest::newRow("4") << 4 << "CmdHold CmdTime CmdUnit CmdRel CmdRec CmdT1T2 CmdT3T4 CmdMax"
                           << "LblLight CmdLight ImaLight LimitLbl CmdLimit";
    }

    void keysFollowTheChannelCount() {
        QFETCH(int, channels);
        QFETCH(QString, captioned);
        QFETCH(QString, others);
        Rig rig({.channels = channels});
        QVERIFY(rig.start());
        QCOMPARE(rig.state.channelCount(), channels);
        const QStringList keys = captioned.split(' ');
        const QStringList shown = keys + others.split(' ') + QStringList{"LblPwr", "CmdPwr"};
        for (const char* part :
             {"CmdHold", "CmdTime", "CmdUnit", "CmdRel", "CmdRec", "CmdT1T2", "CmdT3T4", "CmdMax",
              "LblLight", "CmdLight", "ImaLight", "LimitLbl", "CmdLimit", "LblPwr", "CmdPwr",
              "CmdPowerHold", "CmdPowerRel", "CmdPowerUnit"})
            QVERIFY2(rig.find(part)->isVisibleTo(rig.panel.get()) == shown.contains(part), part);
        // No holes where hidden keys were.
        for (int i = 0; i < keys.size(); ++i)
            QCOMPARE(rig.find(keys[i].toLatin1())->pos(),
                     QPoint(10 + 73 * (i % 4), i < 4 ? 316 : 366));
        QCOMPARE(rig.find("CmdPwr")->pos(), QPoint(10, 416));
        if (channels == 4)
            QCOMPARE(rig.find("CmdLimit")->pos(), QPoint(156, 416));
    }

    void toolbarIsRefusedWhileAPanelIsOpen_data() {
        QTest::addColumn<QString>("panelName");
        for (const char* name : {"PicRTC", "PicAlarm", "PicRec", "PicSampling"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }

    void toolbarIsRefusedWhileAPanelIsOpen() {
        QFETCH(QString, panelName);
        Rig rig;
        int saves = 0;
        rig.panel->setToolbarHandler(QStringLiteral("Save"), [&] { ++saves; });
        QAction* save = rig.panel->toolbarAction(QStringLiteral("Save"));
        QAction* portSel = rig.panel->toolbarAction(QStringLiteral("PortSel"));
        QVERIFY(save->isEnabled());
        auto* recPanel = new QWidget;
        recPanel->setObjectName(panelName);
        recPanel->move(10, 60);
        rig.panel->hostPanel(recPanel);
        QCOMPARE(recPanel->parentWidget(), rig.panel.get());
        QCOMPARE(recPanel->pos(), QPoint(10, 60));
        QVERIFY(recPanel->isHidden());

        save->trigger();
        QCOMPARE(saves, 1);

        recPanel->show();
        save->trigger();
        portSel->trigger();
        QCOMPARE(saves, 1);
        QVERIFY(rig.find("TxtCOM")->isHidden());

        recPanel->hide();
        save->trigger();
        QCOMPARE(saves, 2);
    }

    // Typing in the open list chooses nothing: pinned with the keyboard in tst_access.
    void portSelTogglesTheList() {
        Rig rig;
        auto* ports = rig.find<QComboBox>("TxtCOM");
        QAction* portSel = rig.panel->toolbarAction(QStringLiteral("PortSel"));
        portSel->trigger();
        QVERIFY(!ports->isHidden());
        portSel->trigger();
        QVERIFY(ports->isHidden());
    }

    void choosingAnEmptyPortSaysSoOnce() {
        Rig rig;
        QVERIFY(rig.start());
        auto* ports = rig.find<QComboBox>("TxtCOM");
        rig.panel->toolbarAction(QStringLiteral("PortSel"))->trigger();
        QVERIFY(!ports->isHidden());
        rig.state.setChannelCountFrozen(true);
        const int com9 = ports->findText(QStringLiteral("COM9"));
        emit ports->activated(com9); // what a click on the item does
        QCOMPARE(rig.statusPanel(4)->text(), QStringLiteral("Connecting COM9…"));
        QVERIFY(ports->isHidden());
        QVERIFY(!rig.state.channelCountFrozen());
        QTRY_COMPARE_WITH_TIMEOUT(rig.platform.messages.size(), 1, 10000);
        rig.commands("I"); // everything the link thread had to say has been said
        QCoreApplication::processEvents();
        QCOMPARE(rig.platform.messages.size(), 1);
        QCOMPARE(rig.platform.messages.first().text, QStringLiteral("No device found, try again!"));
        QCOMPARE(rig.platform.messages.first().icon, app::Platform::Icon::Critical);
        QVERIFY(!rig.thread.polling());
        // The search is over: the status bar says so and the searching dot is off.
        QCOMPARE(rig.statusPanel(4)->text(), QStringLiteral(" No COM"));
        QVERIFY(rig.find("ShapeStart")->isHidden());
        QCOMPARE(accessible(rig.find("ShapeStart"))->text(QAccessible::Name),
                 QStringLiteral("Searching for the meter"));
    }

    void statusTextsFit_data() {
        QTest::addColumn<int>("panel");
        QTest::addColumn<QString>("text");
        QTest::newRow("date") << 1 << "2026/12/08";
        QTest::newRow("time") << 2 << "23:58:48";
        QTest::newRow("memory full") << 3 << "16800 / 16800";
        QTest::newRow("connecting COM16") << 4 << "Connecting COM16…";
    }

    void statusTextsFit() {
        QFETCH(int, panel);
        QFETCH(QString, text);
        Rig rig;
        rig.panel->show();
        QLabel* label = rig.statusPanel(panel);
        label->setText(text);
        rig.statusPanel(4)->setText(QStringLiteral("Connecting COM16…"));
        QCoreApplication::processEvents(); // the status bar lays itself out
        QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width(),
                 qPrintable(QString::number(label->contentsRect().width())));
    }

    void ctrlQEndsTheProgram() {
        // Like the window's close button.
        Rig rig;
        QVERIFY(rig.showActive());
        QTest::keyClick(rig.panel.get(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!rig.panel->isVisible());
    }

    void noticeLeavesTheStatusInSight() {
        Rig rig;
        QVERIFY(rig.showActive());
        rig.panel->markVirtualMeter();
        QCOMPARE(rig.panel->windowTitle(),
                 QStringLiteral("QR512 Thermometer 0.1.0 — virtual meter"));
        const QString text =
            QStringLiteral("No sound device found: the alarm sounds the system beep.");
        rig.panel->showNotice(text);
        auto* notice = rig.find<QMessageBox>("Notice");
        QVERIFY(notice && notice->isVisible() && !notice->isModal());
        QCOMPARE(notice->text(), text);
        for (int n = 1; n <= 4; ++n)
            QVERIFY(rig.statusPanel(n)->isVisible());
        QVERIFY(rig.panel->statusBar()->currentMessage().isEmpty());
    }

    void viewScalesTheWindow_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<int>("percent");
        QTest::newRow("150 %") << "View150" << 150;
        QTest::newRow("200 %") << "View200" << 200;
    }

    void viewScalesTheWindow() {
        QFETCH(QString, choice);
        QFETCH(int, percent);
        Rig rig({.channels = 2});
        QWidget* hold = rig.find("CmdHold");
        QWidget* lcd = rig.find("LCD");
        const QRect holdAt = hold->geometry();
        const QSize lcdSize = lcd->size();
        const double pointSize = hold->font().pointSizeF();
        QCOMPARE(rig.panel->scalePercent(), 100);

        rig.panel->findChild<QAction*>(choice)->trigger();
        const double f = percent / 100.0;
        QCOMPARE(rig.panel->size(), QSize(qRound(305 * f), qRound(650 * f)));
        QCOMPARE(hold->geometry(), QRect(qRound(holdAt.x() * f), qRound(holdAt.y() * f),
                                         qRound(holdAt.width() * f), qRound(holdAt.height() * f)));
        QCOMPARE(lcd->size(), QSize(qRound(lcdSize.width() * f), qRound(lcdSize.height() * f)));
        QCOMPARE(hold->font().pointSizeF(), pointSize * f);
        // Keys that close up for fewer channels do so at the scale shown.
        QVERIFY(rig.start());
        QCOMPARE(rig.find("CmdT1T2")->pos(), QPoint(qRound(10 * f), qRound(366 * f)));

        rig.panel->findChild<QAction*>(QStringLiteral("View100"))->trigger();
        QCOMPARE(rig.panel->size(), QSize(305, 650));
        QCOMPARE(hold->geometry(), holdAt);
        QCOMPARE(lcd->size(), lcdSize);
        QCOMPARE(rig.find("CmdT1T2")->pos(), QPoint(10, 366));
    }

    void viewScaleIsKeptForTheNextRun_data() {
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QSize>("room"); // the screen without its panels
        QTest::addColumn<int>("opensAt");
        QTest::addColumn<QString>("offered");
        const QSize big(2560, 1440);
        QTest::newRow("150") << "150" << big << 150 << "100 150 200";
        QTest::newRow("a size not offered") << "175" << big << 100 << "100 150 200";
        // 610 x 1300 and 458 x 975, each with a 32-pixel title bar.
        QTest::newRow("200 on 1280x1024") << "200" << QSize(1280, 1024) << 150 << "100 150";
        QTest::newRow("200 on 1920x1080") << "200" << QSize(1920, 1080) << 150 << "100 150";
        QTest::newRow("150 on 1024x768") << "150" << QSize(1024, 768) << 100 << "100";
    }

    void viewScaleIsKeptForTheNextRun() {
        QFETCH(QString, kept);
        QFETCH(QSize, room);
        QFETCH(int, opensAt);
        QFETCH(QString, offered);
        QTemporaryDir dir;
        QSettings settings(dir.filePath("qr512.ini"), QSettings::IniFormat);
        settings.setValue("view/scale", kept);
        Rig rig;
        rig.panel->setScreenRoom([room] { return room; });
        rig.panel->rememberScale(settings);
        QCOMPARE(rig.panel->scalePercent(), opensAt);
        QStringList enabled;
        for (const char* percent : {"100", "150", "200"})
            if (rig.panel->findChild<QAction*>(QStringLiteral("View") + percent)->isEnabled())
                enabled << percent;
        QCOMPARE(enabled.join(' '), offered);
        // Opened smaller for this screen, the kept size still waits for a larger one.
        QCOMPARE(settings.value("view/scale").toString(), kept);
        rig.panel->findChild<QAction*>(QStringLiteral("View") + enabled.last())->trigger();
        QCOMPARE(settings.value("view/scale").toString(), enabled.last());
    }

    void typeKeyChangesTheLiveDisplay() {
        Rig rig;
        QVERIFY(rig.start());
        auto* lcd = rig.find<app::LcdWidget>("LCD");
        QLabel* k = lcd->findChild<QLabel*>(QStringLiteral("LblK"));
        QLabel* j = lcd->findChild<QLabel*>(QStringLiteral("LblJ"));
        QVERIFY(k && j);
        QVERIFY(!k->isHidden());
        QVERIFY(j->isHidden());

        QTest::mouseClick(rig.find("CmdUnit"), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!j->isHidden(), 10000);
        QVERIFY(k->isHidden());
        QCOMPARE(rig.state.typeLetter(), QChar('J'));
    }
};

QTEST_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
