// The sampling panel in the window: the PC and meter intervals, the exact "F" bytes, the
// bounded "K" read, Cancel against a running exchange, LinkBusy and the live poll. What typed
// text becomes is pinned in tst_sampling and tst_numbers.

#include "panelrig.h"

using namespace panelrig;

class TestSamplingPanel : public QObject {
    Q_OBJECT
private slots:

    void samplingControlsCarryTheirCaptionsAndOpenOnAFreeLink() {
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

        // Opening is refused while the link is busy.
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
};

QTEST_MAIN(TestSamplingPanel)
#include "tst_samplingpanel.moc"
