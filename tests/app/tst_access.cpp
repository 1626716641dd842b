// The window for a user without a mouse or without sight: what a screen reader finds (the
// readings, and that they are old while the meter is lost), and the window driven by keyboard
// events alone (the Tab chain, Tab and Escape in an open panel, a recording, a sampling change,
// a port).

#include "accessevents.h"
#include "windowrig.h"

using namespace windowrig;

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
        sim::FrameContent content;
        content.channels = channels;
        content.unit = unit;
        content.hold = true;
        for (int i = 0; i < 4; ++i)
            content.raw[std::size_t(i)] = quint16(raw[i]);
        rig.state.applyFrame(sim::buildFrame(content));
        // One text, not the drawing's symbols and segments one by one.
        QAccessibleInterface* display = accessible(rig.find("LCD"));
        QCOMPARE(display->role(), QAccessible::StaticText);
        QCOMPARE(display->childCount(), 0);
        const QString said = display->text(QAccessible::Name);
        QVERIFY2(said.startsWith(text + QStringLiteral("; ")), qPrintable(said));
        QVERIFY2(said.contains(QStringLiteral("hold")), qPrintable(said));
        QAccessibleTextInterface* asText = display->textInterface();
        QVERIFY(asText);
        QCOMPARE(asText->text(0, asText->characterCount()), said);

        // The next frame is said anew.
        content.hold = false;
        content.raw[0] = 5135;
        rig.state.applyFrame(sim::buildFrame(content));
        const QString next = display->text(QAccessible::Name);
        QVERIFY2(next.startsWith(text.left(2) + (unit == 'C' ? QStringLiteral(" 25.3 °C")
                                                             : QStringLiteral(" 77.5 °F"))),
                 qPrintable(next));
        QVERIFY2(!next.contains(QStringLiteral("hold")), qPrintable(next));

        // The meter lost: the glass and its text say the readings are old, until the next frame,
        // and each loss is an alert.
        QWidget* lostCover = rig.find("LblLost");
        AccessEvents events;
        for (int loss = 1; loss <= 2; ++loss) {
            QVERIFY(lostCover->isHidden());
            rig.state.setLost(true);
            QVERIFY(!lostCover->isHidden());
            QCOMPARE(display->text(QAccessible::Name),
                     QStringLiteral("The meter is not answering. Last readings: ") + next);
            QCOMPARE(display->childCount(), 1);
            QCOMPARE(display->child(0)->role(), QAccessible::AlertMessage);
            QCOMPARE(display->child(0)->text(QAccessible::Name), QStringLiteral("Not answering"));
            rig.state.applyFrame(sim::buildFrame(content));
            QVERIFY(lostCover->isHidden());
            QCOMPARE(display->text(QAccessible::Name), next);
            QCOMPARE(display->childCount(), 0);
            QCOMPARE(events.count(QAccessible::Alert), loss);
        }
    }

    void closingDuringASearchEndsPromptly() {
        Rig rig({}, 0); // no meter anywhere: the search never ends by itself
        rig.panel->show();
        rig.thread.start();
        QTRY_COMPARE_WITH_TIMEOUT(rig.statusPanel(4)->text(), QStringLiteral("Connecting..."),
                                  10000);
        QVERIFY(rig.thread.running());
        // The search never ends by itself, so close() returning with the thread finished means
        // the close cut into it.
        QVERIFY(rig.panel->close());
        QVERIFY(!rig.thread.running());
        QVERIFY(!rig.thread.polling());
    }

    void tabReachesEveryControlInOrder() {
        PanelRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.showActive());
        QStringList order;
        for (int i = 0; i < 40; ++i) {
            type(Qt::Key_Tab);
            const QWidget* focus = QApplication::focusWidget();
            QVERIFY(focus);
            QVERIFY2(focus->isVisible(), qPrintable(focus->objectName()));
            QVERIFY2(rig.panel->rect().contains(
                         QRect(focus->mapTo(rig.panel.get(), QPoint()), focus->size())),
                     qPrintable(focus->objectName()));
            if (!order.contains(focused()))
                order.append(focused());
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

    void recordingByRecords() {
        PanelRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.showActive());
        rig.find("SaveButton")->setFocus();
        rig.platform.answers = {QStringLiteral("3")};
        type(Qt::Key_S, Qt::ControlModifier);
        QWidget* panel = rig.find("PicRec");
        QVERIFY(panel->isVisible());
        QTRY_VERIFY(panel->isAncestorOf(QApplication::focusWidget()));
        // Escape is the close button; focus comes back to where it was.
        type(Qt::Key_Escape);
        QVERIFY(panel->isHidden());
        QCOMPARE(focused(), QStringLiteral("SaveButton"));

        type(Qt::Key_S, Qt::ControlModifier);
        QTRY_VERIFY(panel->isAncestorOf(QApplication::focusWidget()));
        while (focused() != QLatin1String("OptTime"))
            type(Qt::Key_Tab);
        type(Qt::Key_Down);
        if (rig.platform.inputs.isEmpty())
            type(Qt::Key_Space);
        QCOMPARE(rig.platform.inputs.size(), 1);
        QVERIFY(rig.ui->recorder().isRecording());
        QCOMPARE(rig.ui->recorder().recordTarget(), 3);
        QVERIFY(panel->isHidden());
        QCOMPARE(focused(), QStringLiteral("SaveButton"));
    }

    void samplingChange() {
        PanelRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.showActive());
        QWidget* panel = rig.find("PicSampling");
        type(Qt::Key_I, Qt::ControlModifier);
        QVERIFY(panel->isVisible());
        QTRY_COMPARE(focused(), QStringLiteral("OptPC"));
        type(Qt::Key_Escape);
        QVERIFY(panel->isHidden());
        QVERIFY(!rig.panel->linkBusy());

        rig.platform.answers = {QStringLiteral("7")};
        type(Qt::Key_I, Qt::ControlModifier);
        QTRY_COMPARE(focused(), QStringLiteral("OptPC"));
        type(Qt::Key_Tab);
        QCOMPARE(focused(), QStringLiteral("CmdSamplingOK"));
        type(Qt::Key_Space);
        QCOMPARE(rig.ui->recorder().samplingTime(), 7);
        QVERIFY(panel->isHidden());
    }

    // Tab and Shift+Tab go round the open panel's fields, however many times; Escape closes it
    // from wherever in the window the focus is (a click can put it on the toolbar).
    void tabStaysInTheOpenPanel_data() {
        QTest::addColumn<int>("shortcut");
        QTest::addColumn<QString>("panelName");
        QTest::newRow("sampling") << int(Qt::Key_I) << "PicSampling";
        QTest::newRow("record") << int(Qt::Key_S) << "PicRec";
    }

    void tabStaysInTheOpenPanel() {
        QFETCH(int, shortcut);
        QFETCH(QString, panelName);
        PanelRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.showActive());
        QWidget* panel = rig.find(panelName.toLatin1());
        type(Qt::Key(shortcut), Qt::ControlModifier);
        QTRY_VERIFY(panel->isAncestorOf(QApplication::focusWidget()));
        for (const Qt::KeyboardModifier shift : {Qt::NoModifier, Qt::ShiftModifier}) {
            QStringList seen;
            for (int i = 0; i < 12; ++i) {
                type(Qt::Key_Tab, shift);
                QVERIFY2(panel->isAncestorOf(QApplication::focusWidget()), qPrintable(focused()));
                seen << focused();
            }
            QVERIFY2(seen.removeDuplicates() < 11, qPrintable(seen.join(' '))); // it moves
        }
        rig.find("ViewButton")->setFocus(Qt::MouseFocusReason);
        type(Qt::Key_Tab);
        QVERIFY2(panel->isAncestorOf(QApplication::focusWidget()), qPrintable(focused()));
        rig.find("ViewButton")->setFocus(Qt::MouseFocusReason);
        type(Qt::Key_Escape);
        QVERIFY(panel->isHidden());
        QVERIFY(!rig.panel->linkBusy());
    }

    void portChoice() {
        PanelRig rig;
        QVERIFY(rig.start());
        QVERIFY(rig.showActive());
        auto* ports = rig.find<QComboBox>("TxtCOM");
        type(Qt::Key_P, Qt::ControlModifier);
        QVERIFY(ports->isVisible());
        QCOMPARE(focused(), QStringLiteral("TxtCOM"));
        type(Qt::Key_Escape);
        QVERIFY(ports->isHidden());
        QCOMPARE(focused(), QStringLiteral("PortSelButton"));
        type(Qt::Key_P, Qt::ControlModifier);
        // Typing and arrows move through the open list; nothing counts until Enter.
        for (const Qt::Key key : {Qt::Key_C, Qt::Key_O, Qt::Key_M, Qt::Key_1})
            type(key);
        type(Qt::Key_Down);
        QCOMPARE(ports->currentIndex(), -1);
        QVERIFY(rig.thread.polling());
        type(Qt::Key_Return);
        QCOMPARE(ports->currentText(), QStringLiteral("COM2"));
        QVERIFY(ports->isHidden());
        QCOMPARE(rig.statusPanel(4)->text(), QStringLiteral("Connecting COM2…"));
        QTRY_VERIFY_WITH_TIMEOUT(rig.thread.polling(), 10000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.statusPanel(4)->text(), QStringLiteral("COM2"), 10000);
    }
};

QTEST_MAIN(TestAccess)
#include "tst_access.moc"
