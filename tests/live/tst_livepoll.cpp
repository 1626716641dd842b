// The live poll tick against scripted replies: which frames it accepts, when it gives up on
// short or garbled replies and searches again, the error path, and what the window's side
// makes of a frame (memory count text, frozen channel count, old readings while the meter is
// lost), also through the link thread.

#include "live/livepoll.h"
#include "serial/linkthread.h"
#include "serial/meterlink.h"
#include "serial/portdetector.h"
#include "support/linkrig.h"
#include "support/scriptport.h"
#include "support/virtualclock.h"

#include <QSignalSpy>
#include <QTest>

#include <stdexcept>

using namespace serial;

namespace {
const QByteArray kOk("\x02\x41\x0D", 3);

QByteArray frame(quint8 status = 0x40, quint8 memHigh = 0, quint8 memLow = 0) {
    QByteArray f(37, '\0');
    f[0] = 0x02;
    f[25] = char(status);
    f[26] = 0x12; // T1 raw 4680: 0.0 C
    f[27] = 0x48;
    f[34] = char(memHigh);
    f[35] = char(memLow);
    f[36] = 0x0D;
    return f;
}

struct Rig {
    VirtualClock clock;
    ScriptPort port{clock};
    MeterLink link{port, clock};
    PortDetector detector{link};
    LinkSession session{link, detector, [](bool) {}};
    QStringList statuses;
    Rig() {
        link.setHooks(
            {[this](const QString& s) { statuses << s; }, [this] { detector.recover(); }, nullptr});
    }
};
} // namespace

class TestLivePoll : public QObject {
    Q_OBJECT
private slots:

    void badRepliesBeforeAGoodFrame_data() {
        QTest::addColumn<QList<QByteArray>>("replies"); // to "M", then good frames ("throw": error)
        QTest::addColumn<int>("requests");
        QTest::addColumn<QStringList>("statuses");

        const QByteArray garbled = QByteArray(1, '\x03') + frame().mid(1);
        QByteArray badEnd = frame();
        badEnd[36] = 0x0A;
        const QStringList search{"No COM", "Connecting...", "COM1"};

        QTest::newRow("first frame valid") << QList<QByteArray>{} << 1 << QStringList{};
        QTest::newRow("five short replies are retried quietly")
            << QList<QByteArray>(5, QByteArray("\x02\x00", 2)) << 6 << QStringList{};
        QTest::newRow("six short replies: No COM, search, seventh request")
            << QList<QByteArray>(6, QByteArray()) << 7 << search;
        QTest::newRow("garbled frames do not count as short")
            << QList<QByteArray>{QByteArray(), garbled,      QByteArray(), badEnd,
                                 QByteArray(), QByteArray(), QByteArray()}
            << 8 << QStringList{};
        QTest::newRow("six garbled frames in a row are bounded too")
            << QList<QByteArray>{garbled, badEnd, garbled, badEnd, garbled, badEnd} << 7 << search;
        QTest::newRow("longer than a frame is cut to 37 bytes")
            << QList<QByteArray>{frame() + "xyz"} << 1 << QStringList{};
        // A port error ends the tick after a search, without decoding a partial frame.
        QTest::newRow("port error")
            << QList<QByteArray>{"throw"} << 1 << QStringList{" No COM", "Connecting...", "COM1"};
    }

    void badRepliesBeforeAGoodFrame() {
        QFETCH(QList<QByteArray>, replies);
        QFETCH(int, requests);
        QFETCH(QStringList, statuses);
        Rig rig;
        int n = 0;
        rig.port.responder = [&](const QByteArray& w) {
            if (w == "A")
                return kOk;
            const QByteArray r = n < replies.size() ? replies.at(n++) : frame();
            if (r == "throw")
                throw std::runtime_error("port failure");
            return r;
        };
        const auto got = live::pollTick(rig.session);
        QCOMPARE(got.value_or("none"), replies.value(0) == "throw" ? QByteArray("none") : frame());
        QCOMPARE(rig.port.count("M"), requests);
        QCOMPARE(rig.statuses, statuses);
    }

    void memoryCountText_data() {
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("low");
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << 0 << 0 << "0 / 16800";
        QTest::newRow("125") << 0 << 125 << "125 / 16800";
        QTest::newRow("full") << 0x41 << 0xA0 << "16800 / 16800";
    }

    void memoryCountText() {
        QFETCH(int, high);
        QFETCH(int, low);
        QFETCH(QString, text);
        live::LiveState state;
        state.applyFrame(frame(0x40, quint8(high), quint8(low)));
        QCOMPARE(live::memoryText(state.memoryCount()), text);
    }

    void frozenChannelCountIsKept() {
        live::LiveState state;
        state.applyFrame(frame(0x40));
        QCOMPARE(state.channelCount(), 4);
        QCOMPARE(state.readingText()[0], QStringLiteral("0.0"));
        QCOMPARE(state.raw()[0], quint16(4680));
        state.setChannelCountFrozen(true);
        state.applyFrame(frame(0x12));
        QCOMPARE(state.channelCount(), 4);
        QCOMPARE(state.typeLetter(), QChar(u'R'));
        state.setChannelCountFrozen(false);
        state.applyFrame(frame(0x12));
        QCOMPARE(state.channelCount(), 1);
        state.applyFrame(QByteArray(20, '\x02')); // never decodes a partial frame
        QCOMPARE(state.frames(), quint64(3));
    }

    // The frames cross from the link thread to the window's side; the thread sanitizer's run
    // watches this hand-over here.
    void pollFeedsTheStateThroughTheThread() {
        testsupport::LinkRig rig({.channels = 2, .type = 'J'}, {}, 4);
        sim::VirtualMeter& meter = rig.meter;
        live::LiveState& state = rig.state;
        QSignalSpy decoded(&state, &live::LiveState::frameDecoded);
        QSignalSpy lost(&state, &live::LiveState::lostChanged);
        rig.thread.start();
        QTRY_VERIFY_WITH_TIMEOUT(decoded.size() >= 2, 20000);
        QCOMPARE(state.channelCount(), 2);
        QCOMPARE(state.typeLetter(), QChar(u'J'));
        // The first search found the meter before any frame: nothing old was shown then.
        QCOMPARE(lost.size(), 0);

        // Unplugged: the search that follows marks the readings as old until the next frame.
        rig.thread.post([&meter](LinkSession&) { meter.setUnplugged(true); });
        QVERIFY(lost.wait(20000));
        QVERIFY(state.lost());
        const qsizetype framesWhileLost = decoded.size();
        rig.thread.post([&meter](LinkSession&) { meter.setUnplugged(false); });
        QVERIFY(lost.wait(20000));
        QVERIFY(!state.lost());
        QCOMPARE(decoded.size(), framesWhileLost + 1);
    }
};

QTEST_GUILESS_MAIN(TestLivePoll)
#include "tst_livepoll.moc"
