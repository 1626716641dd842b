// The link's exchanges against scripted replies: the bytes it sends, how often it tries, the
// minimum waits it keeps, when it gives up and hands over to the port search.

#include "link/meterlink.h"
#include "link/portdetector.h"
#include "support/scriptport.h"
#include "support/virtualclock.h"

#include <QTest>

using namespace serial;

namespace {
const QByteArray kOk("\x02\x41\x0D", 3);

struct Rig {
    VirtualClock clock;
    ScriptPort port{clock};
    MeterLink link{port, clock};
    QStringList statuses;
    int recoveries = 0;
    Rig() {
        link.setHooks(
            {[this](const QString& s) { statuses << s; }, [this] { ++recoveries; }, nullptr});
    }
};
} // namespace

class TestMeterLink : public QObject {
    Q_OBJECT
private slots:

    void checkMeterCountsAttempts_data() {
        QTest::addColumn<QList<QByteArray>>("replies"); // reply to each "A"; the last repeats
        QTest::addColumn<int>("handshakes");
        QTest::addColumn<int>("recoveries");

        QTest::newRow("answers at once") << QList<QByteArray>{kOk} << 1 << 0;
        QTest::newRow("extra bytes after the reply are accepted")
            << QList<QByteArray>{kOk + QByteArray("\x02\x99", 2)} << 1 << 0;
        QTest::newRow("two bytes do not end the attempt")
            << QList<QByteArray>{QByteArray("\x02\x41", 2), kOk} << 2 << 0;
        QTest::newRow("silent meter: 100 attempts then the search")
            << QList<QByteArray>{QByteArray()} << 100 << 1;
        QTest::newRow("silent 98 times then answers") << [] {
            QList<QByteArray> r(98, QByteArray());
            r << kOk;
            return r;
        }() << 99 << 0;
        QTest::newRow("an answer to the 100th attempt is not looked at") << [] {
            QList<QByteArray> r(99, QByteArray());
            r << kOk;
            return r;
        }() << 100 << 1;
        QTest::newRow("wrong bytes: three series, then the search")
            << QList<QByteArray>{QByteArray("xyz")} << 3 << 1;
        QTest::newRow("wrong middle byte is a wrong reply")
            << QList<QByteArray>{QByteArray("\x02\x42\x0D", 3)} << 3 << 1;
        QTest::newRow("wrong bytes once, then right")
            << QList<QByteArray>{QByteArray("xyz"), kOk} << 2 << 0;
        QTest::newRow("a silent series after a wrong one still counts 100") << [] {
            QList<QByteArray> r{QByteArray("\x02\x41\x0A", 3)};
            r << QList<QByteArray>(120, QByteArray());
            return r;
        }() << 1 + 100 << 1;
    }

    void checkMeterCountsAttempts() {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, handshakes);
        QFETCH(int, recoveries);
        Rig rig;
        int n = 0;
        rig.port.responder = [&](const QByteArray& w) {
            if (w != "A")
                return QByteArray();
            const QByteArray r = replies.at(std::min<int>(n, int(replies.size()) - 1));
            ++n;
            return r;
        };
        rig.link.checkMeter();
        QCOMPARE(rig.port.count("A"), handshakes);
        QCOMPARE(rig.recoveries, recoveries);
        QCOMPARE(rig.statuses, recoveries ? QStringList{" No COM"} : QStringList{});
    }

    void closedPortStartsTheSearchAtOnce() {
        Rig rig;
        rig.port.close(); // its device unplugged
        rig.link.checkMeter();
        QCOMPARE(rig.port.count("A"), 0);
        QCOMPARE(rig.clock.waited(), 0.0);
        QCOMPARE(rig.recoveries, 1);
    }

    void handshakeWaitsTenMillisecondsBeforeReading() {
        Rig rig;
        rig.port.responder = [](const QByteArray&) { return QByteArray("\x02\x41", 2); };
        rig.link.checkMeter();
        // Between every "A" and the read that takes its reply at least 10 ms pass.
        int checked = 0;
        for (qsizetype i = 0; i + 1 < rig.port.events.size(); ++i) {
            const auto& e = rig.port.events[i];
            if (e.kind == 'w') {
                const auto& next = rig.port.events[i + 1];
                QCOMPARE(next.kind, 'r');
                QVERIFY2(next.time - e.time >= 0.01 - 1e-9,
                         qPrintable(QString::number(next.time - e.time)));
                ++checked;
            }
        }
        QCOMPARE(checked, 100);
    }

    void requestReplyRepeatsWholeExchangeThenGivesUp() {
        Rig rig;
        rig.port.responder = [](const QByteArray& w) {
            if (w == "A")
                return kOk;
            return QByteArray("\x02\x00\x00\x3C\x0A", 5); // wrong last byte
        };
        const auto reply = rig.link.requestReply('K', 5, 0.02, 10);
        QVERIFY(!reply);
        QList<QByteArray> expected;
        for (int i = 0; i < 10; ++i)
            expected << "A"
                     << "K";
        QCOMPARE(rig.port.written(), expected);
        QCOMPARE(rig.recoveries, 0);
    }

    void requestReplyReturnsOnlyTheFrame() {
        Rig rig;
        int k = 0;
        rig.port.responder = [&](const QByteArray& w) {
            if (w == "A")
                return kOk;
            // First a short reply, then a good one with trailing noise.
            return ++k == 1 ? QByteArray("\x02\x00", 2) : QByteArray("\x02\x00\x00\x3C\x0D\x55", 6);
        };
        const auto reply = rig.link.requestReply('K', 5, 0.02, 10);
        QVERIFY(reply);
        QCOMPARE(*reply, QByteArray("\x02\x00\x00\x3C\x0D", 5));
        QCOMPARE(rig.port.written(), (QList<QByteArray>{"A", "K", "A", "K"}));
        // The reply is read no sooner than the caller's wait after the letter.
        for (qsizetype i = 0; i + 1 < rig.port.events.size(); ++i)
            if (rig.port.events[i].bytes == "K")
                QVERIFY(rig.port.events[i + 1].time - rig.port.events[i].time >= 0.02 - 1e-9);
    }

    void sendCommandSpacesLetterAndPayload() {
        Rig rig;
        rig.port.responder = [](const QByteArray& w) { return w == "A" ? kOk : QByteArray(); };
        const QByteArray code("\x00\x00\x01\x00", 4);
        rig.link.sendCommand('I', code);
        QCOMPARE(rig.port.written(), (QList<QByteArray>{"A", "I", code}));
        double letterAt = -1, payloadAt = -1;
        for (const auto& e : rig.port.events) {
            if (e.kind == 'w' && e.bytes == "I")
                letterAt = e.time;
            if (e.kind == 'w' && e.bytes == code)
                payloadAt = e.time;
        }
        QVERIFY(payloadAt - letterAt >= 0.002 - 1e-9);
    }

    void cancelEndsAWaitWithinASlice() {
        VirtualClock clock;
        ScriptPort port(clock);
        MeterLink link(port, clock);
        const double start = clock.now();
        link.setHooks({nullptr, nullptr, [&] { return clock.now() - start >= 0.3; }});
        bool cancelled = false;
        try {
            link.delay(10.0);
        } catch (const Cancelled&) {
            cancelled = true;
        }
        QVERIFY(cancelled);
        QVERIFY(clock.now() - start <= 0.3 + 0.05 + 1e-9);
    }

    void portChoiceTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<bool>("autoPort");
        QTest::addColumn<int>("number");
        QTest::newRow("Auto") << "Auto" << true << true << 1;
        QTest::newRow("COM1") << "COM1" << true << false << 1;
        QTest::newRow("COM16") << "COM16" << true << false << 16;
        QTest::newRow("COM17 is not offered") << "COM17" << false << false << 0;
        QTest::newRow("COM0") << "COM0" << false << false << 0;
        QTest::newRow("leading zero") << "COM05" << false << false << 0;
        QTest::newRow("the list's caption") << "COM Port" << false << false << 0;
        QTest::newRow("empty") << "" << false << false << 0;
    }

    void portChoiceTexts() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(bool, autoPort);
        QFETCH(int, number);
        const auto choice = parsePortChoice(text);
        QCOMPARE(bool(choice), valid);
        if (valid)
            QCOMPARE(*choice, (PortChoice{autoPort, number}));
    }
};

QTEST_GUILESS_MAIN(TestMeterLink)
#include "tst_meterlink.moc"
