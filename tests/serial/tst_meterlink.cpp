// The link's exchanges against scripted replies: the bytes it sends, how often it tries, the
// minimum waits it keeps, when it gives up and hands over to the port search.

#include "serial/meterlink.h"
#include "serial/portdetector.h"
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

// The shortest time from a write of `bytes` to whatever the link did next on the port.
double shortestGapAfter(const ScriptPort& port, const QByteArray& bytes) {
    double gap = 1e9;
    for (qsizetype i = 0; i + 1 < port.events.size(); ++i)
        if (port.events[i].kind == 'w' && port.events[i].bytes == bytes)
            gap = std::min(gap, port.events[i + 1].time - port.events[i].time);
    return gap;
}
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
        QTest::newRow("silent 98 times then answers") << (QList<QByteArray>(98) << kOk) << 99 << 0;
        QTest::newRow("an answer to the 100th attempt is not looked at")
            << (QList<QByteArray>(99) << kOk) << 100 << 1;
        QTest::newRow("wrong bytes: three series, then the search")
            << QList<QByteArray>{QByteArray("xyz")} << 3 << 1;
        QTest::newRow("wrong middle byte is a wrong reply")
            << QList<QByteArray>{QByteArray("\x02\x42\x0D", 3)} << 3 << 1;
        QTest::newRow("wrong bytes once, then right")
            << QList<QByteArray>{QByteArray("xyz"), kOk} << 2 << 0;
        QTest::newRow("a silent series after a wrong one still counts 100")
            << (QList<QByteArray>{QByteArray("\x02\x41\x0A", 3)} << QList<QByteArray>(120))
            << 1 + 100 << 1;
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
        // Every reply is read no sooner than 10 ms after its "A".
        QVERIFY(shortestGapAfter(rig.port, "A") >= 0.01 - 1e-9);
    }

    void closedPortStartsTheSearchAtOnce() {
        Rig rig;
        rig.port.close(); // its device unplugged
        rig.link.checkMeter();
        QCOMPARE(rig.port.count("A"), 0);
        QCOMPARE(rig.clock.waited(), 0.0);
        QCOMPARE(rig.recoveries, 1);
    }

    // Each try is a whole exchange, handshake and letter; only a framed reply of the full
    // length ends it, cut to that length, and no sooner than the caller's wait after the letter.
    void requestReplyTriesWholeExchanges_data() {
        QTest::addColumn<QList<QByteArray>>("replies"); // to each "K"; the last repeats
        QTest::addColumn<QByteArray>("frame");          // empty: none
        QTest::addColumn<int>("exchanges");
        QTest::newRow("wrong last byte: ten tries, then none")
            << QList<QByteArray>{QByteArray("\x02\x00\x00\x3C\x0A", 5)} << QByteArray() << 10;
        QTest::newRow("short, then framed with trailing noise")
            << QList<QByteArray>{QByteArray("\x02\x00", 2),
                                 QByteArray("\x02\x00\x00\x3C\x0D\x55", 6)}
            << QByteArray("\x02\x00\x00\x3C\x0D", 5) << 2;
        // A meter slower than the handshake wait: the replies to the handshakes sent again
        // meanwhile come before the reply to the letter.
        QTest::newRow("late handshake replies first")
            << QList<QByteArray>{QByteArray("\x02\x41\x0D\x02\x41\x0D\x02\x00\x00\x3C\x0D", 11)}
            << QByteArray("\x02\x00\x00\x3C\x0D", 5) << 1;
        QTest::newRow("late handshake replies, then a wrong last byte")
            << QList<QByteArray>{QByteArray("\x02\x41\x0D\x02\x00\x00\x3C\x0A", 8)} << QByteArray()
            << 10;
        // Framed as it stands: never cut, though it starts as a handshake reply does.
        QTest::newRow("framed reply led by 02 41 0D")
            << QList<QByteArray>{QByteArray("\x02\x41\x0D\x3C\x0D", 5)}
            << QByteArray("\x02\x41\x0D\x3C\x0D", 5) << 1;
    }

    void requestReplyTriesWholeExchanges() {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(QByteArray, frame);
        QFETCH(int, exchanges);
        Rig rig;
        int k = 0;
        rig.port.responder = [&](const QByteArray& w) {
            return w == "A" ? kOk : replies.at(std::min<int>(k++, int(replies.size()) - 1));
        };
        QCOMPARE(rig.link.requestReply('K', 5, 0.02, 10).value_or(QByteArray()), frame);
        QList<QByteArray> expected;
        for (int i = 0; i < exchanges; ++i)
            expected += QList<QByteArray>{"A", "K"};
        QCOMPARE(rig.port.written(), expected);
        QVERIFY(shortestGapAfter(rig.port, "K") >= 0.02 - 1e-9);
        QCOMPARE(rig.recoveries, 0);
    }

    // The letter and its payload go together, 2 ms apart, even when the job is cancelled (a
    // panel closed, the window's Cancel) right after the letter: the meter would otherwise take
    // the next command's bytes for the payload.
    void sendCommandSpacesLetterAndPayload_data() {
        QTest::addColumn<bool>("cancelAfterLetter");
        QTest::newRow("as asked") << false;
        QTest::newRow("cancelled after the letter") << true;
    }

    void sendCommandSpacesLetterAndPayload() {
        QFETCH(bool, cancelAfterLetter);
        Rig rig;
        rig.port.responder = [](const QByteArray& w) { return w == "A" ? kOk : QByteArray(); };
        rig.link.setHooks({nullptr, nullptr,
                           [&] { return cancelAfterLetter && rig.port.written().contains("I"); }});
        const QByteArray code("\x00\x00\x01\x00", 4);
        rig.link.sendCommand('I', code);
        QCOMPARE(rig.port.written(), (QList<QByteArray>{"A", "I", code}));
        QVERIFY(shortestGapAfter(rig.port, "I") >= 0.002 - 1e-9);
    }

    void aCancelIsLookedAtAfterEveryWaitItEnds() {
        // The clock here ends its wait at once, as a wake-up does.
        struct WokenClock : VirtualClock {
            void wait(double) override { VirtualClock::wait(0.001); }
        } clock;
        ScriptPort port{clock};
        MeterLink link{port, clock};
        int looks = 0;
        link.setHooks({nullptr, nullptr, [&] { return ++looks > 3; }});
        QVERIFY_THROWS_EXCEPTION(Cancelled, link.delay(10.0));
        QCOMPARE(looks, 4);
        QVERIFY(clock.waited() < 0.01);
    }

    void portChoiceTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("autoPort");
        QTest::addColumn<int>("number"); // 0: refused
        QTest::newRow("Auto") << "Auto" << true << 1;
        QTest::newRow("COM1") << "COM1" << false << 1;
        QTest::newRow("COM16") << "COM16" << false << 16;
        QTest::newRow("COM17 is not offered") << "COM17" << false << 0;
        QTest::newRow("COM0") << "COM0" << false << 0;
        QTest::newRow("leading zero") << "COM05" << false << 0;
        QTest::newRow("the list's caption") << "COM Port" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
    }

    void portChoiceTexts() {
        QFETCH(QString, text);
        QFETCH(bool, autoPort);
        QFETCH(int, number);
        QCOMPARE(parsePortChoice(text).value_or(PortChoice{false, 0}),
                 (PortChoice{autoPort, number}));
    }
};

QTEST_GUILESS_MAIN(TestMeterLink)
#include "tst_meterlink.moc"
