// What a screen reader finds in the main window: the display as text (readings with unit and
// type, lit symbols by everyday names), the meter keys as push buttons whose press action sends
// their key, and the names of the recording panels' controls.

#include "app/recording/recordingui.h"
#include "app/window/lcdwidget.h"
#include "sim/framebuilder.h"
#include "windowrig.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QTest>

using testsupport::bytes;
using Rig = testsupport::WindowRig;

namespace {

QAccessibleInterface* accessible(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget);
}

} // namespace

class TestAccess : public QObject {
    Q_OBJECT
private slots:
    void displayReadsOut_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<char>("unit");
        QTest::addColumn<QList<int>>("raw");
        QTest::addColumn<QString>("text");
        QTest::newRow("two, °C") << 2 << 'C' << QList<int>{5107, 5135, 0, 0}
                                 << "T1 23.7 °C, T2 25.3 °C, type K";
        QTest::newRow("four, over range") << 4 << 'C' << QList<int>{5107, 65535, 4680, 5135}
                                          << "T1 23.7 °C, T2 OL, T3 0.0 °C, T4 25.3 °C, type K";
        QTest::newRow("one, °F") << 1 << 'F' << QList<int>{5107, 0, 0, 0} << "T1 74.7 °F, type K";
    }
    void displayReadsOut() {
        QFETCH(int, channels);
        QFETCH(char, unit);
        QFETCH(QList<int>, raw);
        QFETCH(QString, text);
        Rig rig;
        auto* lcd = rig.find<app::LcdWidget>("LCD");
        sim::FrameContent content;
        content.channels = channels;
        content.unit = unit;
        content.hold = true;
        for (int i = 0; i < 4; ++i)
            content.raw[std::size_t(i)] = quint16(raw[i]);
        rig.state.applyFrame(sim::buildFrame(content));
        QAccessibleInterface* display = accessible(lcd);
        QCOMPARE(display->text(QAccessible::Name), QStringLiteral("Display"));
        const QString said = display->text(QAccessible::Description);
        QVERIFY2(said.startsWith(text + QStringLiteral("; ")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("hold")), qPrintable(said));
        QVERIFY(lcd->focusPolicy() & Qt::TabFocus);

        // The next frame is said anew.
        content.hold = false;
        content.raw[0] = 5135;
        rig.state.applyFrame(sim::buildFrame(content));
        const QString next = display->text(QAccessible::Description);
        QVERIFY2(next.startsWith(text.left(2) + (unit == 'C' ? QStringLiteral(" 25.3 °C")
                                                             : QStringLiteral(" 77.5 °F"))),
                 qPrintable(next));
        QVERIFY2(!next.contains(QStringLiteral("hold")), qPrintable(next));
    }

    void symbolsHaveEverydayNames() {
        Rig rig;
        auto* lcd = rig.find<app::LcdWidget>("LCD");
        const QList<std::pair<const char*, const char*>> named = {{"ImaBt4", "battery"},
                                                                  {"ImaAPO", "auto power off"},
                                                                  {"LblHold", "hold"},
                                                                  {"ImaC", "°C"},
                                                                  {"ImaPlug", "mains adapter"}};
        for (const auto& [name, spoken] : named) {
            auto* symbol = lcd->findChild<QLabel*>(QString::fromLatin1(name));
            QCOMPARE(accessible(symbol)->text(QAccessible::Name), QString::fromUtf8(spoken));
        }
        for (QLabel* symbol : lcd->findChildren<QLabel*>()) {
            const QString name = accessible(symbol)->text(QAccessible::Name);
            QVERIFY2(!name.isEmpty() && name != symbol->objectName(),
                     qPrintable(symbol->objectName()));
        }
    }

    void keysArePushButtonsThatPress_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("sent");
        QTest::newRow("POWER") << "LblPwr"
                               << "POWER" << bytes({0x49, 0, 0x04, 0, 0});
        QTest::newRow("LIGHT") << "LblLight"
                               << "LIGHT" << bytes({0x49, 0x80, 0, 0, 0});
        QTest::newRow("LIMIT") << "LimitLbl"
                               << "LIMIT" << bytes({0x49, 0, 0x01, 0, 0});
        QTest::newRow("HOLD") << "CmdHold"
                              << "HOLD" << bytes({0x49, 0x01, 0, 0, 0});
        QTest::newRow("REL") << "CmdRel"
                             << "REL" << bytes({0x49, 0x08, 0, 0, 0});
    }
    void keysArePushButtonsThatPress() {
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QByteArray, sent);
        Rig rig;
        QVERIFY(rig.startAndWaitForFrame());
        QAccessibleInterface* button = accessible(rig.find(key.toLatin1()));
        QCOMPARE(button->role(), QAccessible::Button);
        QCOMPARE(button->text(QAccessible::Name), name);
        QAccessibleActionInterface* actions = button->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QVERIFY(rig.panel->linkBusy());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.panel->linkBusy(), 10000);
        QCOMPARE(rig.keyCommands(), QList<QByteArray>{sent});

        // Refused like a click while another exchange holds the link.
        rig.panel->setLinkBusy(true);
        actions->doAction(QAccessibleActionInterface::pressAction());
        rig.panel->setLinkBusy(false);
        QCOMPARE(rig.keyCommands().size(), 1);
    }

    void panelControlsHaveNames() {
        Rig rig;
        app::RecordingUi ui(*rig.panel, rig.state, rig.platform);
        QCOMPARE(accessible(rig.find("CmdSaveCancel"))->text(QAccessible::Name),
                 QStringLiteral("Close"));
        const QList<std::pair<const char*, const char*>> lists = {
            {"ComboYY", "Year"}, {"ComboMM", "Month"},  {"ComboDD", "Day"},
            {"Combohh", "Hour"}, {"Combonn", "Minute"}, {"Comboss", "Second"}};
        for (const auto& [list, name] : lists)
            QCOMPARE(accessible(rig.find(list))->text(QAccessible::Name), QString(name));
    }
};

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
