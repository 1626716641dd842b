// The main window driven by keyboard events alone, offscreen: the Tab chain, a recording by
// records, a sampling change, a port choice, and a key pressed short and long with Space.

#include "app/recording/recordingui.h"
#include "app/settings/samplingpanel.h"
#include "recording/recorder.h"
#include "windowrig.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

using testsupport::bytes;

namespace {

struct Rig : testsupport::WindowRig {
    Rig() {
        ui = std::make_unique<app::RecordingUi>(*panel, state, platform);
        ui->recorder().setWorkingDirectory(dir.path());
        app::attachSamplingPanel(
            *panel, thread, platform, [this] { return ui->recorder().samplingTime(); },
            [this](int seconds) { ui->recorder().setSamplingTime(seconds); });
    }
    ~Rig() { ui.reset(); }

    bool showActive() {
        panel->show();
        panel->activateWindow();
        return QTest::qWaitForWindowActive(panel.get());
    }
    // Where a key goes: the open list, else the widget with the focus.
    static void type(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::activePopupWidget();
        if (target && target->focusWidget())
            target = target->focusWidget();
        if (!target)
            target = QApplication::focusWidget();
        QVERIFY(target);
        QTest::keyClick(target, key, modifiers);
    }
    static QString focused() {
        const QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName() : QString();
    }

    QTemporaryDir dir;
    std::unique_ptr<app::RecordingUi> ui;
};

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void tabReachesEveryControlInOrder() {
        Rig rig;
        QVERIFY(rig.startAndWaitForFrame());
        QVERIFY(rig.showActive());
        QStringList order;
        for (int i = 0; i < 40; ++i) {
            Rig::type(Qt::Key_Tab);
            const QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            QVERIFY2(focus->isVisible(), qPrintable(focus->objectName()));
            QVERIFY2(rig.panel->rect().contains(
                         QRect(focus->mapTo(rig.panel.get(), QPoint()), focus->size())),
                     qPrintable(focus->objectName()));
            if (!order.contains(Rig::focused()))
                order.append(Rig::focused());
        }
        const QStringList expected = {
            "SaveButton", "IntvButton", "PortSelButton", "ViewButton", "LCD",     "CmdHold",
            "CmdTime",    "CmdUnit",    "CmdRel",        "CmdRec",     "CmdT1T2", "CmdT3T4",
            "CmdMax",     "LblPwr",     "LblLight",      "LimitLbl",   "CmdOpen"};
        const qsizetype start = order.indexOf(expected.first());
        QVERIFY(start >= 0);
        QStringList cycle = order.mid(start) + order.mid(0, start);
        QCOMPARE(cycle, expected);
        QVERIFY(!order.contains(QStringLiteral("CmdSampling")));
    }

    void spacePressesAFocusedKeyShortAndLong() {
        Rig rig;
        QVERIFY(rig.startAndWaitForFrame());
        QVERIFY(rig.showActive());
        rig.find("LblLight")->setFocus(Qt::TabFocusReason);
        QTest::keyPress(QApplication::focusWidget(), Qt::Key_Space);
        rig.now += 2.5;
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
        Rig::type(Qt::Key_Tab); // LIMIT
        QTest::keyPress(QApplication::focusWidget(), Qt::Key_Space);
        rig.now += 2.0;
        QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Space);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
        QCOMPARE(rig.keyCommands(),
                 QList<QByteArray>({bytes({0x49, 0, 0, 0x80, 0}), bytes({0x49, 0, 0x01, 0, 0})}));
    }

    void recordingByRecords() {
        Rig rig;
        QVERIFY(rig.startAndWaitForFrame());
        QVERIFY(rig.showActive());
        rig.find("SaveButton")->setFocus();
        rig.platform.answers = {QStringLiteral("3")};
        Rig::type(Qt::Key_S, Qt::ControlModifier);
        QWidget* panel = rig.find("PicRec");
        QVERIFY(panel->isVisible());
        QTRY_VERIFY(panel->isAncestorOf(QApplication::focusWidget()));
        // Escape is the close button; focus comes back to where it was.
        Rig::type(Qt::Key_Escape);
        QVERIFY(panel->isHidden());
        QCOMPARE(Rig::focused(), QStringLiteral("SaveButton"));

        Rig::type(Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(panel->isAncestorOf(QApplication::focusWidget()));
        while (Rig::focused() != QLatin1String("OptTime"))
            Rig::type(Qt::Key_Tab);
        Rig::type(Qt::Key_Down);
        if (rig.platform.inputs.isEmpty())
            Rig::type(Qt::Key_Space);
        QCOMPARE(rig.platform.inputs.size(), 1);
        QVERIFY(rig.ui->recorder().isRecording());
        QCOMPARE(rig.ui->recorder().recordTarget(), 3);
        QVERIFY(panel->isHidden());
        QCOMPARE(Rig::focused(), QStringLiteral("SaveButton"));
    }

    void samplingChange() {
        Rig rig;
        QVERIFY(rig.startAndWaitForFrame());
        QVERIFY(rig.showActive());
        QWidget* panel = rig.find("PicSampling");
        Rig::type(Qt::Key_I, Qt::ControlModifier);
        QVERIFY(panel->isVisible());
        QTRY_COMPARE(Rig::focused(), QStringLiteral("OptPC"));
        Rig::type(Qt::Key_Escape);
        QVERIFY(panel->isHidden());
        QVERIFY(!rig.panel->linkBusy());

        rig.platform.answers = {QStringLiteral("7")};
        Rig::type(Qt::Key_I, Qt::ControlModifier);
        QTRY_COMPARE(Rig::focused(), QStringLiteral("OptPC"));
        Rig::type(Qt::Key_Tab);
        QCOMPARE(Rig::focused(), QStringLiteral("CmdSamplingOK"));
        Rig::type(Qt::Key_Space);
        QCOMPARE(rig.ui->recorder().samplingTime(), 7);
        QVERIFY(panel->isHidden());
    }

    void portChoice() {
        Rig rig;
        QVERIFY(rig.startAndWaitForFrame());
        QVERIFY(rig.showActive());
        auto* ports = rig.find<QComboBox>("TxtCOM");
        Rig::type(Qt::Key_P, Qt::ControlModifier);
        QVERIFY(ports->isVisible());
        QCOMPARE(Rig::focused(), QStringLiteral("TxtCOM"));
        // Typing and arrows move through the open list; nothing counts until Enter.
        for (const Qt::Key key : {Qt::Key_C, Qt::Key_O, Qt::Key_M, Qt::Key_1})
            Rig::type(key);
        Rig::type(Qt::Key_Down);
        QCOMPARE(ports->currentIndex(), -1);
        QVERIFY(rig.thread.polling());
        Rig::type(Qt::Key_Return);
        QCOMPARE(ports->currentText(), QStringLiteral("COM2"));
        QVERIFY(ports->isHidden());
        QCOMPARE(rig.statusPanel(4)->text(), QStringLiteral("Connecting COM2…"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.thread.polling(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.statusPanel(4)->text(), QStringLiteral("COM2"), 10000);
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
