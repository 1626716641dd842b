// The main window against a virtual meter on the link thread: the status bar's connection and
// memory texts, the keys (codes on the wire for short and long presses, feedback, the
// countdown, presses refused while the link is busy), which keys each channel count shows,
// the toolbar's refusal while a panel is open, the port list, and a key's effect coming back
// in the live display.

#include "app/window/controlpanel.h"
#include "app/window/desktopplatform.h"
#include "app/window/keyshape.h"
#include "app/window/lcdwidget.h"
#include "link/linkthread.h"
#include "live/livepoll.h"
#include "sim/virtualmeter.h"
#include "support/simport.h"
#include "support/virtualclock.h"
#include "windowrig.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <cmath>
#include <future>
#include <limits>

using app::ControlPanel;

namespace {

using testsupport::bytes;
using Rig = testsupport::WindowRig;

QColor captionColour(QWidget* button) {
    return button->palette().color(QPalette::ButtonText);
}

// The contrast ratio of two colours as legibility guidelines measure it (1 to 21).
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace

class TestControlPanel : public QObject {
    Q_OBJECT
private slots:
    void windowHasItsFixedShape();
    void connectionAndMemoryShowInTheStatusBar();
    void keyPressSendsItsCode_data();
    void keyPressSendsItsCode();
    void holdingAKeyShowsFeedbackAndCountdown();
    void holdCountdown_data();
    void holdCountdown();
    void pressesWhileTheLinkIsBusySendNothing();
    void keysFollowTheChannelCount_data();
    void keysFollowTheChannelCount();
    void picturesOnKeysSendNothing_data();
    void picturesOnKeysSendNothing();
    void toolbarIsRefusedWhileAPanelIsOpen_data();
    void toolbarIsRefusedWhileAPanelIsOpen();
    void portSelTwiceLeavesThePortListAsItWas();
    void portListIgnoresTyping();
    void choosingAnEmptyPortSaysSoOnce();
    void statusTextsFit_data();
    void statusTextsFit();
    void shortcutsShowAndLeaveTextEditingAlone();
    void viewScalesTheWindow_data();
    void viewScalesTheWindow();
    void typeKeyChangesTheLiveDisplay();
    void closingDuringASearchEndsPromptly();
};

void TestControlPanel::windowHasItsFixedShape() {
    Rig rig;
    ControlPanel& w = *rig.panel;
    QCOMPARE(w.objectName(), QStringLiteral("ControlPanel"));
    QCOMPARE(w.size(), QSize(305, 650));
    QCOMPARE(w.minimumSize(), w.maximumSize());
    QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("QR512 Thermometer ")));

    const QStringList keys = {"Save", "Open", "RTC", "Memory", "Alarm", "Intv", "Erase", "PortSel"};
    const QStringList tips = {
        "Save Data", "Open File to Read", "Real Time Clock", "Data Logger",
        "Alarm",     "Sampling Rate",     "Erase Memory",    "Port Connection"};
    auto* toolbar = rig.find<QToolBar>("Toolbar1");
    QVERIFY(toolbar);
    const QList<QAction*> actions = toolbar->actions();
    QCOMPARE(actions.size(), keys.size());
    for (int i = 0; i < keys.size(); ++i) {
        QCOMPARE(actions[i]->objectName(), keys[i]);
        QCOMPARE(actions[i]->toolTip(), tips[i]);
        QVERIFY(!actions[i]->icon().isNull());
        // Nothing hangs on the feature keys yet: they must look unavailable.
        QCOMPARE(actions[i]->isEnabled(), keys[i] == QLatin1String("PortSel"));
    }

    auto* ports = rig.find<QComboBox>("TxtCOM");
    QVERIFY(ports);
    QVERIFY(ports->isHidden());
    QVERIFY(!ports->isEditable());
    QCOMPARE(ports->count(), 17);
    QCOMPARE(ports->itemText(0), QStringLiteral("Auto"));
    QCOMPARE(ports->itemText(16), QStringLiteral("COM16"));
    QCOMPARE(ports->currentIndex(), -1);
    QCOMPARE(ports->placeholderText(), QStringLiteral("COM Port"));
    w.setPortDevices({QStringLiteral("/dev/pts/7"), QStringLiteral("/dev/ttyUSB0")});
    QCOMPARE(ports->itemData(1, Qt::ToolTipRole).toString(), QStringLiteral("/dev/pts/7"));
    QCOMPARE(ports->itemData(2, Qt::ToolTipRole).toString(), QStringLiteral("/dev/ttyUSB0"));

    QCOMPARE(rig.find<QLabel>("Label2")->text(), QStringLiteral("QR512"));
    QVERIFY(rig.find<app::LcdWidget>("LCD"));
    QVERIFY(rig.find("ShapeStart")->isHidden());
    QVERIFY(rig.find("LblTiming")->isHidden());
    for (const char* name : {"ImaLight", "ImaPwr", "CmdLight", "CmdLimit", "CmdPwr", "LblLight",
                             "LblPwr", "StatusBar1"})
        QVERIFY2(rig.find(name), name);
    for (const live::KeyInfo& info : live::kKeys) {
        QWidget* key = rig.find(info.objectName);
        QVERIFY2(key, info.objectName);
        if (*info.caption) {
            if (auto* button = qobject_cast<QPushButton*>(key))
                QCOMPARE(button->text(), QString::fromLatin1(info.caption));
            else
                QCOMPARE(qobject_cast<QLabel*>(key)->text(), QString::fromLatin1(info.caption));
        }
    }
}

void TestControlPanel::connectionAndMemoryShowInTheStatusBar() {
    Rig rig;
    QLabel* connection = rig.statusPanel(4);
    QCOMPARE(connection->text(), QStringLiteral("No COM"));
    QVERIFY(!rig.statusPanel(1)->text().isEmpty()); // date and time keep themselves
    QVERIFY(!rig.statusPanel(2)->text().isEmpty());

    // Connected after the window's own handlers, so each entry is what the window showed.
    QStringList shown;
    QList<bool> indicatorDuringSearch;
    connect(&rig.thread, &serial::LinkThread::statusText, rig.panel.get(),
            [&] { shown.append(connection->text()); });
    connect(&rig.thread, &serial::LinkThread::searchStarted, rig.panel.get(),
            [&] { indicatorDuringSearch.append(!rig.find("ShapeStart")->isHidden()); });
    rig.panel->toolbar()->setEnabled(false);
    rig.panel->setLinkBusy(true);

    QVERIFY(rig.startAndWaitForFrame());
    QCOMPARE(shown, QStringList({"Connecting...", "Connecting...", "COM2"}));
    QCOMPARE(indicatorDuringSearch, QList<bool>{true});
    QCOMPARE(connection->toolTip(), QStringLiteral("virtual meter on COM2"));
    QVERIFY(rig.panel->toolbar()->isEnabled());
    QVERIFY(!rig.panel->linkBusy());
    QVERIFY(rig.find("ShapeStart")->isHidden());
    QCOMPARE(rig.statusPanel(3)->text(), QStringLiteral("0 / 16800"));
}

void TestControlPanel::keyPressSendsItsCode_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("mouseButton");
    QTest::addColumn<double>("held");
    QTest::addColumn<QByteArray>("sent");
    const int left = Qt::LeftButton;
    QTest::newRow("HOLD 1 s") << "CmdHold" << left << 1.0 << bytes({0x49, 0x01, 0, 0, 0});
    QTest::newRow("HOLD 3 s") << "CmdHold" << left << 3.0 << bytes({0x49, 0, 0, 0x01, 0});
    QTest::newRow("REL, right button")
        << "CmdRel" << int(Qt::RightButton) << 0.5 << bytes({0x49, 0x08, 0, 0, 0});
    QTest::newRow("LIMIT 3 s") << "LimitLbl" << left << 3.0 << bytes({0x49, 0, 0, 0, 0x01});
    QTest::newRow("light key long") << "LblLight" << left << 2.5 << bytes({0x49, 0, 0, 0x80, 0});
    QTest::newRow("power key") << "LblPwr" << left << 0.1 << bytes({0x49, 0, 0x04, 0, 0});
    QTest::newRow("Pow+Hold click") << "CmdPowerHold" << -1 << 9.0 << bytes({0x49, 0, 0x10, 0, 0});
}

void TestControlPanel::keyPressSendsItsCode() {
    QFETCH(QString, control);
    QFETCH(int, mouseButton);
    QFETCH(double, held);
    QFETCH(QByteArray, sent);
    // Two channels so that the POWER combinations are shown; the light and limit keys only
    // show with four, so those rows use a four-channel meter.
    sim::MeterConfig config;
    config.channels = control == QLatin1String("CmdPowerHold") ? 2 : 4;
    Rig rig(config);
    QVERIFY(rig.startAndWaitForFrame());
    QWidget* key = rig.panel->findChild<QWidget*>(control);
    QVERIFY(key);
    QVERIFY(key->isVisibleTo(rig.panel.get()));

    if (mouseButton < 0) {
        QTest::mouseClick(key, Qt::LeftButton);
    } else {
        QTest::mousePress(key, Qt::MouseButton(mouseButton));
        rig.now += held;
        QTest::mouseRelease(key, Qt::MouseButton(mouseButton));
    }
    QVERIFY(rig.panel->linkBusy());
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
    QCOMPARE(rig.keyCommands(), QList<QByteArray>{sent});
    QVERIFY(rig.thread.polling());
}

void TestControlPanel::holdingAKeyShowsFeedbackAndCountdown() {
    Rig rig;
    QVERIFY(rig.startAndWaitForFrame());
    QWidget* hold = rig.find("CmdHold");
    auto* light = rig.find<app::KeyShape>("CmdLight");
    auto* power = rig.find<app::KeyShape>("CmdPwr");
    QWidget* timing = rig.find("LblTiming");
    const QColor orange(255, 128, 0);
    QCOMPARE(light->fillColor(), orange);

    QTest::mousePress(hold, Qt::LeftButton);
    QVERIFY(captionColour(hold) != QColor(Qt::black));
    QVERIFY(contrast(captionColour(hold), hold->palette().color(QPalette::Button)) >= 4.5);
    QVERIFY(!timing->isHidden());
    QSignalSpy frames(&rig.state, &live::LiveState::frameDecoded);
    rig.now += 1.5;
    QVERIFY(frames.wait(10000));
    QCOMPARE(rig.find<QLabel>("LblTiming")->text(), QStringLiteral("2"));
    rig.now += 2.0;
    QVERIFY(frames.wait(10000));
    QCOMPARE(rig.find<QLabel>("LblTiming")->text(), QStringLiteral("0"));
    QTest::mouseRelease(hold, Qt::LeftButton);
    QCOMPARE(captionColour(hold), QColor(Qt::black));
    QVERIFY(timing->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);

    QTest::mousePress(rig.find("LblLight"), Qt::LeftButton);
    QCOMPARE(light->fillColor(), QColor(Qt::white));
    QTest::mouseRelease(rig.find("LblLight"), Qt::LeftButton);
    QCOMPARE(light->fillColor(), orange);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);

    // The power key has no countdown.
    QTest::mousePress(rig.find("LblPwr"), Qt::LeftButton);
    QCOMPARE(power->fillColor(), QColor(Qt::white));
    QVERIFY(timing->isHidden());
    QTest::mouseRelease(rig.find("LblPwr"), Qt::LeftButton);
    QCOMPARE(power->fillColor(), orange);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
}

void TestControlPanel::holdCountdown_data() {
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

void TestControlPanel::holdCountdown() {
    QFETCH(double, held);
    QFETCH(int, shown);
    QCOMPARE(ControlPanel::holdCountdown(held), shown);
}

void TestControlPanel::pressesWhileTheLinkIsBusySendNothing() {
    Rig rig;
    QVERIFY(rig.startAndWaitForFrame());
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
    // A press refused while busy stays refused when its release comes after the link is free.
    QTest::mousePress(time, Qt::LeftButton);
    rig.panel->setLinkBusy(false);
    rig.now += 5;
    QTest::mouseRelease(time, Qt::LeftButton);
    QVERIFY(!rig.panel->linkBusy());
    QCOMPARE(rig.keyCommands().size(), 1);
}

void TestControlPanel::keysFollowTheChannelCount_data() {
    QTest::addColumn<int>("channels");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    const QStringList always = {"CmdHold", "CmdUnit", "CmdRel", "CmdRec", "CmdMax", "LblPwr"};
    const QStringList combos = {"CmdPowerHold", "CmdPowerRel", "CmdPowerUnit"};
    const QStringList fourOnly = {"CmdT3T4",  "CmdTime",  "LblLight", "CmdLight",
                                  "ImaLight", "LimitLbl", "CmdLimit"};
    QTest::addColumn<QStringList>("firstRows");
    QTest::newRow("1") << 1 << always + combos << fourOnly + QStringList{"CmdT1T2"}
                       << QStringList{"CmdHold", "CmdUnit", "CmdRel", "CmdRec", "CmdMax"};
    QTest::newRow("2") << 2 << always + combos + QStringList{"CmdT1T2"} << fourOnly
                       << QStringList{"CmdHold", "CmdUnit", "CmdRel",
                                      "CmdRec",  "CmdT1T2", "CmdMax"};
    QTest::newRow("4") << 4 << always + fourOnly + QStringList{"CmdT1T2"} << combos
                       << QStringList{"CmdHold", "CmdTime", "CmdUnit", "CmdRel",
                                      "CmdRec",  "CmdT1T2", "CmdT3T4", "CmdMax"};
}

void TestControlPanel::keysFollowTheChannelCount() {
    QFETCH(int, channels);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QFETCH(QStringList, firstRows);
    sim::MeterConfig config;
    config.channels = channels;
    Rig rig(config);
    QVERIFY(rig.startAndWaitForFrame());
    QCOMPARE(rig.state.channelCount(), channels);
    for (const QString& name : shown)
        QVERIFY2(rig.panel->findChild<QWidget*>(name)->isVisibleTo(rig.panel.get()),
                 qPrintable(name));
    for (const QString& name : hidden)
        QVERIFY2(!rig.panel->findChild<QWidget*>(name)->isVisibleTo(rig.panel.get()),
                 qPrintable(name));
    // The shown keys close up: four to a row from the left, no holes where others were.
    for (int i = 0; i < firstRows.size(); ++i)
        QCOMPARE(rig.find(firstRows[i].toLatin1())->pos(),
                 QPoint(10 + 73 * (i % 4), i < 4 ? 316 : 366));
    QCOMPARE(rig.find("CmdPwr")->pos(), QPoint(10, 416));
    if (channels == 4)
        QCOMPARE(rig.find("CmdLimit")->pos(), QPoint(156, 416));
}

void TestControlPanel::picturesOnKeysSendNothing_data() {
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("shape");
    QTest::newRow("power") << "ImaPwr"
                           << "CmdPwr";
    QTest::newRow("light") << "ImaLight"
                           << "CmdLight";
}

void TestControlPanel::picturesOnKeysSendNothing() {
    QFETCH(QString, picture);
    QFETCH(QString, shape);
    Rig rig;
    QVERIFY(rig.startAndWaitForFrame());
    QWidget* image = rig.panel->findChild<QWidget*>(picture);
    auto* fill = rig.panel->findChild<app::KeyShape*>(shape);
    QVERIFY(image && fill);
    const QColor orange(255, 128, 0);

    // Most of the face is key; the press on the picture shows no press, as it sends none.
    QVERIFY(image->width() * image->height() * 4 < fill->width() * fill->height());
    QVERIFY(!image->geometry().contains(fill->geometry().center()));
    QTest::mousePress(image, Qt::LeftButton);
    QCOMPARE(fill->fillColor(), orange);
    QVERIFY(rig.find("LblTiming")->isHidden());
    rig.now += 0.5;
    QTest::mouseRelease(image, Qt::LeftButton);
    QCOMPARE(fill->fillColor(), orange);
    QVERIFY(!rig.panel->linkBusy());
    // A real key afterwards is the only thing on the wire.
    QTest::mouseClick(rig.find("CmdRel"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
    QCOMPARE(rig.keyCommands(), QList<QByteArray>{bytes({0x49, 0x08, 0, 0, 0})});
}

void TestControlPanel::toolbarIsRefusedWhileAPanelIsOpen_data() {
    QTest::addColumn<QString>("panelName");
    for (const char* name : {"PicRTC", "PicAlarm", "PicRec", "PicSampling"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestControlPanel::toolbarIsRefusedWhileAPanelIsOpen() {
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

void TestControlPanel::portSelTwiceLeavesThePortListAsItWas() {
    Rig rig;
    QWidget* ports = rig.find("TxtCOM");
    QAction* portSel = rig.panel->toolbarAction(QStringLiteral("PortSel"));
    for (bool shownFirst : {false, true}) {
        ports->setVisible(shownFirst);
        portSel->trigger();
        QCOMPARE(ports->isHidden(), shownFirst);
        portSel->trigger();
        QCOMPARE(ports->isHidden(), !shownFirst);
    }
}

void TestControlPanel::portListIgnoresTyping() {
    Rig rig;
    auto* ports = rig.find<QComboBox>("TxtCOM");
    ports->show();
    QSignalSpy chosen(ports, &QComboBox::activated);
    QTest::keyClicks(ports, QStringLiteral("C"));
    QTest::keyClick(ports, Qt::Key_Down);
    QTest::keyClick(ports, Qt::Key_End);
    QCOMPARE(chosen.size(), 0);
    QCOMPARE(ports->currentIndex(), -1);
}

void TestControlPanel::choosingAnEmptyPortSaysSoOnce() {
    Rig rig;
    QVERIFY(rig.startAndWaitForFrame());
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
    rig.commands(); // everything the link thread had to say has been said
    QCoreApplication::processEvents();
    QCOMPARE(rig.platform.messages.size(), 1);
    QCOMPARE(rig.platform.messages.first().text, QStringLiteral("No device found, try again!"));
    QCOMPARE(rig.platform.messages.first().icon, app::Platform::Icon::Critical);
    QVERIFY(!rig.thread.polling());
}

void TestControlPanel::statusTextsFit_data() {
    QTest::addColumn<int>("panel");
    QTest::addColumn<QString>("text");
    QTest::newRow("date") << 1 << "2026/12/08";
    QTest::newRow("time") << 2 << "23:58:48";
    QTest::newRow("memory full") << 3 << "16800 / 16800";
    QTest::newRow("connecting") << 4 << "Connecting...";
    QTest::newRow("connecting COM16") << 4 << "Connecting COM16…";
}

void TestControlPanel::statusTextsFit() {
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

void TestControlPanel::shortcutsShowAndLeaveTextEditingAlone() {
    Rig rig;
    const QList<std::pair<const char*, QKeySequence>> expected = {
        {"Save", QKeySequence("Ctrl+S")},        {"Open", QKeySequence("Ctrl+O")},
        {"RTC", QKeySequence("Ctrl+T")},         {"Memory", QKeySequence("Ctrl+M")},
        {"Alarm", QKeySequence("Ctrl+L")},       {"Intv", QKeySequence("Ctrl+I")},
        {"Erase", QKeySequence("Ctrl+Shift+E")}, {"PortSel", QKeySequence("Ctrl+P")},
    };
    QList<QKeySequence> taken = {QKeySequence("Ctrl+Q")};
    for (const auto& [key, sequence] : expected) {
        QAction* action = rig.panel->toolbarAction(QString::fromLatin1(key));
        QCOMPARE(action->shortcut(), sequence);
        QVERIFY(ControlPanel::toolTipWithShortcut(action).endsWith(
            QStringLiteral(" (%1)").arg(sequence.toString(QKeySequence::NativeText))));
        QVERIFY2(!taken.contains(sequence), key);
        taken.append(sequence);
    }
    const QKeySequence::StandardKey editing[] = {QKeySequence::Copy,
                                                 QKeySequence::Cut,
                                                 QKeySequence::Paste,
                                                 QKeySequence::Undo,
                                                 QKeySequence::Redo,
                                                 QKeySequence::SelectAll,
                                                 QKeySequence::Delete,
                                                 QKeySequence::DeleteEndOfLine,
                                                 QKeySequence::DeleteStartOfWord,
                                                 QKeySequence::DeleteEndOfWord,
                                                 QKeySequence::MoveToStartOfLine,
                                                 QKeySequence::MoveToEndOfLine,
                                                 QKeySequence::MoveToNextChar,
                                                 QKeySequence::MoveToPreviousChar,
                                                 QKeySequence::Backspace,
                                                 QKeySequence::Deselect};
    for (const QKeySequence::StandardKey standard : editing) {
        for (const QKeySequence& binding : QKeySequence::keyBindings(standard))
            QVERIFY2(!taken.contains(binding), qPrintable(binding.toString()));
    }

    // Ctrl+Q ends the program like the window's close button.
    rig.panel->show();
    rig.panel->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(rig.panel.get()));
    QTest::keyClick(rig.panel.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!rig.panel->isVisible());
}

void TestControlPanel::viewScalesTheWindow_data() {
    QTest::addColumn<QString>("choice");
    QTest::addColumn<int>("percent");
    QTest::newRow("150 %") << "View150" << 150;
    QTest::newRow("200 %") << "View200" << 200;
}

void TestControlPanel::viewScalesTheWindow() {
    QFETCH(QString, choice);
    QFETCH(int, percent);
    sim::MeterConfig config;
    config.channels = 2;
    Rig rig(config);
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
    QVERIFY(rig.startAndWaitForFrame());
    QCOMPARE(rig.find("CmdT1T2")->pos(), QPoint(qRound(10 * f), qRound(366 * f)));

    rig.panel->findChild<QAction*>(QStringLiteral("View100"))->trigger();
    QCOMPARE(rig.panel->size(), QSize(305, 650));
    QCOMPARE(hold->geometry(), holdAt);
    QCOMPARE(lcd->size(), lcdSize);
    QCOMPARE(rig.find("CmdT1T2")->pos(), QPoint(10, 366));
}

void TestControlPanel::typeKeyChangesTheLiveDisplay() {
    Rig rig;
    QVERIFY(rig.startAndWaitForFrame());
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

void TestControlPanel::closingDuringASearchEndsPromptly() {
    Rig rig({}, 0); // no meter anywhere: the search never ends by itself
    rig.panel->show();
    rig.thread.start();
    QTRY_COMPARE_WITH_TIMEOUT(rig.statusPanel(4)->text(), QStringLiteral("Connecting..."), 10000);
    QVERIFY(rig.thread.running());
    // The search never ends by itself, so close() returning with the thread finished means
    // the close cut into it.
    QVERIFY(rig.panel->close());
    QVERIFY(!rig.thread.running());
    QVERIFY(!rig.thread.polling());
}

QTEST_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
