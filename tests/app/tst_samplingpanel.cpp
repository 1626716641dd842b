// The sampling panel in the window: the PC and meter intervals, the exact "F" bytes, the
// bounded "K" read, Cancel against a running exchange, LinkBusy and the live poll. What typed
// text becomes is pinned in tst_sampling and tst_numbers.

#include "panelrig.h"

#include <QAccessible>

using namespace panelrig;

class TestSamplingPanel : public QObject {
    Q_OBJECT
private slots:

    void samplingRefusedWhileTheLinkIsBusy() {
        Rig rig;
        QVERIFY(rig.start());
        rig.window->setLinkBusy(true);
        rig.press("Intv");
        QVERIFY(!rig.shown(rig.sampling));
        QVERIFY(rig.thread.polling());
    }

    // OK with "PC Sampling Rate" asks for the recorder's interval; with "Meter Sampling Rate" it
    // reads the meter's with "K", asks, and writes it with "F".
    void samplingInterval_data() {
        QTest::addColumn<bool>("meter");
        QTest::addColumn<std::optional<QString>>("typed");
        QTest::addColumn<QByteArray>("payload"); // the "F" write's, empty: nothing written
        QTest::addColumn<int>("interval");       // the PC's or the meter's afterwards
        QTest::addColumn<int>("pcSets");
        QTest::addColumn<QString>("message");
        const std::optional<QString> cancelled;
        const QByteArray none;
        QTest::newRow("PC 60") << false << answer("60") << none << 60 << 1 << "";
        // The recorder's count restarts even when the interval does not change.
        QTest::newRow("PC same interval") << false << answer("7") << none << 7 << 1 << "";
        QTest::newRow("PC box cancelled") << false << cancelled << none << 7 << 0 << "";
        QTest::newRow("PC not a number")
            << false << answer("ten") << none << 7 << 0
            << "\"ten\" is not a number. The sampling time is unchanged.";
        QTest::newRow("meter 3600")
            << true << answer("3600") << bytes({0x00, 0x0E, 0x10}) << 3600 << 0 << "";
        QTest::newRow("meter box cancelled") << true << cancelled << none << 60 << 0 << "";
        QTest::newRow("meter not a number")
            << true << answer("1 minute") << none << 60 << 0
            << "\"1 minute\" is not a number. The sampling time is unchanged.";
    }

    void samplingInterval() {
        QFETCH(bool, meter);
        QFETCH(std::optional<QString>, typed);
        QFETCH(QByteArray, payload);
        QFETCH(int, interval);
        QFETCH(int, pcSets);
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
        if (meter)
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
        QCOMPARE(rig.inputs(), (meter ? QStringList{kMeterPrompt, kTitle, "60"}
                                      : QStringList{kPcPrompt, kTitle, "7"}));
        // The poll is off during the box; the link is free during the meter's.
        QVERIFY(!pollingDuringBox);
        QVERIFY(!(meter && busyDuringBox));
        QList<QByteArray> wire;
        if (meter)
            wire << QByteArrayLiteral("K");
        if (!payload.isEmpty())
            wire << QByteArrayLiteral("F") + payload;
        QCOMPARE(rig.commands("KF"), wire);
        QCOMPARE(meter ? rig.meterInterval() : rig.pcTime, interval);
        QCOMPARE(rig.caption(),
                 payload.isEmpty() ? QStringLiteral("?") : QString::number(interval));
        QCOMPARE(rig.pcSets, pcSets);
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
        // The caption is a number or "?": the name says what the button does.
        QAccessibleInterface* button =
            QAccessible::queryAccessibleInterface(rig.find("CmdSampling"));
        QCOMPARE(button->text(QAccessible::Name), QStringLiteral("Set the meter's sampling time"));
        QCOMPARE(button->text(QAccessible::Description),
                 caption == "?" ? QStringLiteral("Not set since the start")
                                : QStringLiteral("Set to %1 s").arg(caption));
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
};

QTEST_MAIN(TestSamplingPanel)
#include "tst_samplingpanel.moc"
