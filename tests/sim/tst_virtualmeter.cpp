// Covers the virtual meter's protocol in virtual time: reply length and framing per command
// letter, reply timing, payload collection (split, late, garbage), keys (HOLD, TYPE short and
// long, REC storing at the interval up to the capacity), the settings round trips (J/H, K/F,
// C/D), erase, the stored records of a download, drift, and every fault switch.

#include "sim/virtualmeter.h"

#include <QSet>
#include <QTest>

#include <cmath>

using sim::Faults;
using sim::MeterConfig;
using sim::VirtualMeter;

namespace {

QByteArray ask(VirtualMeter& m, const QByteArray& command, double at, double wait = 0.2) {
    m.receive(command, at);
    return m.takeOutput(at + wait);
}

// A letter, then its payload 2 ms later, the way the host sends them.
void send(VirtualMeter& m, char letter, const QByteArray& payload, double at) {
    m.receive(QByteArray(1, letter), at);
    m.receive(payload, at + 0.002);
}

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

int word(const QByteArray& b, int offset) {
    return quint8(b[offset]) * 256 + quint8(b[offset + 1]);
}

MeterConfig fixedConfig() {
    MeterConfig c;
    c.drift = false;
    return c;
}

} // namespace

class TestVirtualMeter : public QObject {
    Q_OBJECT
private slots:
    void replyLengthPerLetter_data() {
        QTest::addColumn<QByteArray>("letter");
        QTest::addColumn<int>("length");
        QTest::newRow("A") << QByteArray("A") << 3;
        QTest::newRow("M") << QByteArray("M") << 37;
        QTest::newRow("J") << QByteArray("J") << 18;
        QTest::newRow("K") << QByteArray("K") << 5;
        QTest::newRow("C") << QByteArray("C") << 8;
    }

    void replyLengthPerLetter() {
        QFETCH(QByteArray, letter);
        QFETCH(int, length);
        VirtualMeter m(fixedConfig());
        const QByteArray reply = ask(m, letter, 1.0);
        QCOMPARE(reply.size(), length);
        QCOMPARE(quint8(reply.front()), 0x02);
        QCOMPARE(quint8(reply.back()), 0x0D);
        QCOMPARE(m.takeOutput(100.0), QByteArray());
    }

    void handshakeArrivesWithinTheWait() {
        VirtualMeter m(fixedConfig());
        QCOMPARE(ask(m, "A", 5.0, 0.0), QByteArray());
        QCOMPARE(m.takeOutput(5.010), bytes({0x02, 0x41, 0x0D}));
        m.receive("M", 6.0);
        QVERIFY(m.nextOutputTime() > 6.0);
        QCOMPARE(m.takeOutput(6.2).size(), 37);
        QVERIFY(std::isinf(m.nextOutputTime()));
    }

    void repliesQueueBehindEachOther() {
        VirtualMeter m(fixedConfig());
        m.receive("AA", 1.0);
        QCOMPARE(m.takeOutput(1.1), bytes({0x02, 0x41, 0x0D, 0x02, 0x41, 0x0D}));
    }

    void unknownBytesAreIgnored() {
        VirtualMeter m(fixedConfig());
        QCOMPARE(ask(m, QByteArray("xyz\x00\xFF", 5), 1.0), QByteArray());
        QCOMPARE(ask(m, "zAq", 2.0), bytes({0x02, 0x41, 0x0D}));
        QCOMPARE(m.commandLog(), QList<QByteArray>{"A"});
    }

    void statusByteOfTheConfiguration_data() {
        QTest::addColumn<int>("channels");
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("status");
        QTest::newRow("4 K") << 4 << 'K' << 0x40;
        QTest::newRow("1 R") << 1 << 'R' << 0x12;
        QTest::newRow("2 J") << 2 << 'J' << 0x26;
        QTest::newRow("bad count falls back to 4") << 3 << 'E' << 0x45;
    }

    void statusByteOfTheConfiguration() {
        QFETCH(int, channels);
        QFETCH(char, type);
        QFETCH(int, status);
        MeterConfig c = fixedConfig();
        c.channels = channels;
        c.type = type;
        VirtualMeter m(c);
        QCOMPARE(quint8(ask(m, "M", 1.0)[25]), status);
    }

    void frameCarriesPinnedReadingsAndAbsentChannelsAreOpen() {
        MeterConfig c = fixedConfig();
        c.channels = 2;
        VirtualMeter m(c);
        m.setReading(1, 6480);
        m.setReading(2, 0);
        const QByteArray f = ask(m, "M", 1.0);
        QCOMPARE(word(f, 26), 6480);
        QCOMPARE(word(f, 28), 0);
        QCOMPARE(word(f, 30), 65535);
        QCOMPARE(word(f, 32), 65535);
    }

    void holdFreezesTheReadings() {
        VirtualMeter m(fixedConfig());
        m.setReading(1, 5000);
        send(m, 'I', bytes({0x01, 0, 0, 0}), 1.0);
        QVERIFY(m.hold());
        m.setReading(1, 6000);
        QByteArray f = ask(m, "M", 2.0);
        QCOMPARE(word(f, 26), 5000);
        QVERIFY(quint8(f[22]) & 0x01); // HOLD mark
        send(m, 'I', bytes({0x01, 0, 0, 0}), 3.0);
        f = ask(m, "M", 4.0);
        QCOMPARE(word(f, 26), 6000);
        QVERIFY(!(quint8(f[22]) & 0x01));
    }

    void typeKeyCyclesTypeLongPressCyclesUnit() {
        VirtualMeter m(fixedConfig());
        QString types(QChar(m.type()));
        for (int i = 0; i < 7; ++i) {
            send(m, 'I', bytes({0x04, 0, 0, 0}), 1.0 + i);
            types.append(QChar(m.type()));
        }
        QCOMPARE(types, QStringLiteral("KJETNRSK"));
        QCOMPARE(m.unit(), 'C');
        QString units;
        for (int i = 0; i < 3; ++i) {
            send(m, 'I', bytes({0, 0, 0x04, 0}), 10.0 + i);
            units.append(QChar(m.unit()));
        }
        QCOMPARE(units, QStringLiteral("FKC"));
        QCOMPARE(m.type(), 'K'); // the long press leaves the type alone
    }

    void recStoresAtTheInterval() {
        MeterConfig c = fixedConfig();
        c.intervalSeconds = 10;
        VirtualMeter m(c);
        send(m, 'D', bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x00}), 0.0);
        send(m, 'I', bytes({0x10, 0, 0, 0}), 1.0);
        QVERIFY(m.isRecording());
        m.advance(35.0);
        QCOMPARE(m.storedRecords(), 3);
        const QByteArray f = ask(m, "M", 36.0);
        QVERIFY(quint8(f[20]) & 0x20); // REC
        QCOMPARE(word(f, 34), 3);
        send(m, 'I', bytes({0x10, 0, 0, 0}), 40.0);
        m.advance(100.0);
        QCOMPARE(m.storedRecords(), 3);

        const QByteArray dump = ask(m, "G", 101.0, 1.0);
        QCOMPARE(dump.size(), 3 * 19);
        for (int i = 0; i < 3; ++i) {
            const QByteArray r = dump.mid(i * 19, 19);
            // Started at 14:05:01 on the set clock; stored at 11, 21, 31 s.
            QCOMPARE(r.mid(3, 6), bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x11 + i * 0x10}));
            QCOMPARE(quint8(r[9]), 0x40);
        }
    }

    void recStopsAtTheCapacity() {
        MeterConfig c = fixedConfig();
        c.storedRecords = VirtualMeter::kCapacity - 2;
        c.intervalSeconds = 1;
        VirtualMeter m(c);
        send(m, 'I', bytes({0x10, 0, 0, 0}), 0.0);
        m.advance(60.0);
        QCOMPARE(m.storedRecords(), VirtualMeter::kCapacity);
        QVERIFY(!m.isRecording());
    }

    void storedRecordsAtStartDownload() {
        MeterConfig c = fixedConfig();
        c.storedRecords = 5;
        c.intervalSeconds = 60;
        c.channels = 1;
        c.type = 'T';
        VirtualMeter m(c);
        QCOMPARE(word(ask(m, "M", 0.0), 34), 5);
        const QByteArray dump = ask(m, "G", 1.0, 1.0);
        QCOMPARE(dump.size(), 5 * 19);
        QDateTime previous;
        for (int i = 0; i < 5; ++i) {
            const QByteArray r = dump.mid(i * 19, 19);
            auto bcd = [&](int k) { return (quint8(r[k]) >> 4) * 10 + (quint8(r[k]) & 0x0F); };
            const QDateTime t(QDate(2000 + bcd(3), bcd(4), bcd(5)), QTime(bcd(6), bcd(7), bcd(8)));
            QVERIFY(t.isValid());
            if (previous.isValid())
                QCOMPARE(previous.secsTo(t), 60);
            previous = t;
            QCOMPARE(quint8(r[9]), 0x14);
            QVERIFY(word(r, 10) != 0 && word(r, 10) != 65535);
            QCOMPARE(word(r, 12), 65535); // no T2 on a one-channel meter
        }
        QVERIFY(previous < m.clock());
    }

    void storedRecordsVaryInStampAndReading() {
        MeterConfig c = fixedConfig();
        c.storedRecords = 16800;
        VirtualMeter m(c);
        QSet<QDate> days;
        QSet<quint16> words;
        for (const sim::StoredRecord& r : m.records()) {
            days.insert(r.time.date());
            words.insert(r.raw[0]);
        }
        QVERIFY(days.size() > 10);
        QVERIFY(words.size() > 100);
    }

    void memoryPacedAtWireSpeedOrAtOnce_data() {
        QTest::addColumn<bool>("paced");
        QTest::addColumn<double>("seconds");
        QTest::newRow("wire: 10 bits a byte at 38400 baud") << true << 16800 * 19 * 10 / 38400.0;
        QTest::newRow("at once") << false << 0.01;
    }

    void memoryPacedAtWireSpeedOrAtOnce() {
        QFETCH(bool, paced);
        QFETCH(double, seconds);
        MeterConfig c = fixedConfig();
        c.storedRecords = 16800;
        c.wirePaced = paced;
        VirtualMeter m(c);
        m.receive("G", 1.0);
        const qsizetype early = m.takeOutput(1.0 + seconds * 0.99).size();
        QCOMPARE(early == 16800 * 19, !paced);
        QCOMPARE(early + m.takeOutput(1.0 + seconds + 0.002).size(), 16800 * 19);
        QVERIFY(std::isinf(m.nextOutputTime()));
    }

    void eraseNeedsItsExactPayload() {
        MeterConfig c = fixedConfig();
        c.storedRecords = 7;
        VirtualMeter m(c);
        send(m, 'E', bytes({0x05, 0, 0, 0}), 1.0);
        QCOMPARE(m.storedRecords(), 7);
        send(m, 'E', bytes({0x04, 0, 0, 0}), 2.0);
        QCOMPARE(m.storedRecords(), 0);
        QCOMPARE(word(ask(m, "M", 3.0), 34), 0);
        QCOMPARE(ask(m, "G", 4.0, 1.0), QByteArray());
    }

    void alarmLimitsRoundTrip() {
        VirtualMeter m(fixedConfig());
        QByteArray limits;
        for (int w : {5139, 180, 36540, 4680, 1, 2, 65534, 4360})
            limits += bytes({w >> 8, w & 0xFF});
        send(m, 'H', limits, 1.0);
        QCOMPARE(ask(m, "J", 2.0), QByteArray(1, 0x02) + limits + QByteArray(1, 0x0D));
        QCOMPARE(m.alarmWords()[0], quint16(5139));
    }

    void intervalRoundTrip_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("interval");
        QTest::newRow("60 s") << bytes({0, 0, 0x3C}) << 60;
        QTest::newRow("one day") << bytes({0x01, 0x51, 0x80}) << 86400;
        QTest::newRow("zero refused") << bytes({0, 0, 0}) << 2;
        QTest::newRow("above a day refused") << bytes({0x01, 0x51, 0x81}) << 2;
    }

    void intervalRoundTrip() {
        QFETCH(QByteArray, payload);
        QFETCH(int, interval);
        VirtualMeter m(fixedConfig());
        send(m, 'F', payload, 1.0);
        QCOMPARE(m.intervalSeconds(), interval);
        QCOMPARE(ask(m, "K", 2.0),
                 bytes({0x02, interval >> 16, (interval >> 8) & 0xFF, interval & 0xFF, 0x0D}));
    }

    void clockRoundTripAndRuns_data() {
        QTest::addColumn<QByteArray>("set");
        QTest::addColumn<QByteArray>("oneMinuteLater");
        QTest::newRow("plain") << bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x09})
                               << bytes({0x24, 0x03, 0x15, 0x14, 0x06, 0x09});
        QTest::newRow("over new year") << bytes({0x99, 0x12, 0x31, 0x23, 0x59, 0x30})
                                       << bytes({0x00, 0x01, 0x01, 0x00, 0x00, 0x30});
    }

    void clockRoundTripAndRuns() {
        QFETCH(QByteArray, set);
        QFETCH(QByteArray, oneMinuteLater);
        VirtualMeter m(fixedConfig());
        send(m, 'D', set, 10.0);
        QCOMPARE(ask(m, "C", 10.5).mid(1, 6), set);
        QCOMPARE(ask(m, "C", 70.5).mid(1, 6), oneMinuteLater);
    }

    void clockRefusesWhatIsNotADate_data() {
        QTest::addColumn<QByteArray>("payload");
        QTest::newRow("month 13") << bytes({0x24, 0x13, 0x01, 0, 0, 0});
        QTest::newRow("not BCD") << bytes({0x24, 0x0A, 0x01, 0, 0, 0});
        QTest::newRow("31 February") << bytes({0x24, 0x02, 0x31, 0, 0, 0});
        QTest::newRow("hour 24") << bytes({0x24, 0x01, 0x01, 0x24, 0, 0});
    }

    void clockRefusesWhatIsNotADate() {
        QFETCH(QByteArray, payload);
        VirtualMeter m(fixedConfig());
        const QByteArray good = bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x09});
        send(m, 'D', good, 1.0);
        send(m, 'D', payload, 1.1);
        QCOMPARE(ask(m, "C", 1.2).mid(1, 6), good);
    }

    void payloadMayComeInPieces() {
        VirtualMeter m(fixedConfig());
        m.receive("F", 1.0);
        m.receive(bytes({0x00}), 1.002);
        m.receive(bytes({0x00, 0x3C}), 1.003);
        QCOMPARE(m.intervalSeconds(), 60);
        QCOMPARE(m.commandLog().last(), QByteArray("F") + bytes({0, 0, 0x3C}));
    }

    void lateOrIncompletePayloadIsDropped() {
        VirtualMeter m(fixedConfig());
        m.receive("F", 1.0);
        m.receive(bytes({0x00, 0x00, 0x3C}), 2.0); // far too late: not a payload any more
        QCOMPARE(m.intervalSeconds(), 2);
        m.receive("D", 3.0);
        m.receive(bytes({0x24}), 3.002); // the host died mid-payload
        QCOMPARE(ask(m, "A", 4.0), bytes({0x02, 0x41, 0x0D}));
    }

    void readingsDriftDeterministically() {
        VirtualMeter a;
        VirtualMeter b;
        a.advance(0.0);
        b.advance(0.0);
        const quint16 start = a.reading(1);
        a.advance(600.0);
        b.advance(600.0);
        QCOMPARE(a.reading(1), b.reading(1));
        bool moved = false;
        for (int ch = 1; ch <= 4; ++ch)
            moved = moved || a.reading(ch) != VirtualMeter().reading(ch);
        QVERIFY(moved);
        QVERIFY(std::abs(int(a.reading(1)) - int(start)) < 200); // slowly: within 20 F
        a.setReading(1, 7000);
        a.advance(1200.0);
        QCOMPARE(a.reading(1), quint16(7000));
    }

    void fixedReadingsDoNotMove() {
        VirtualMeter m(fixedConfig());
        m.advance(0.0);
        const quint16 start = m.reading(3);
        m.advance(10000.0);
        QCOMPARE(m.reading(3), start);
    }

    void silentAnswersNothing() {
        Faults f;
        f.silent = true;
        VirtualMeter m(fixedConfig(), f);
        QCOMPARE(ask(m, "AMJKC", 1.0, 5.0), QByteArray());
        QVERIFY(std::isinf(m.nextOutputTime()));
        QCOMPARE(m.commandLog().size(), 5);
    }

    void wrongHandshake() {
        Faults f;
        f.wrongHandshake = true;
        VirtualMeter m(fixedConfig(), f);
        const QByteArray reply = ask(m, "A", 1.0);
        QCOMPARE(reply.size(), 3);
        QVERIFY(reply != bytes({0x02, 0x41, 0x0D}));
        QCOMPARE(ask(m, "M", 2.0).size(), 37); // only the handshake is wrong
    }

    void shortEveryNth() {
        Faults f;
        f.shortEvery = 2;
        VirtualMeter m(fixedConfig(), f);
        QCOMPARE(ask(m, "A", 1.0).size(), 3);
        QCOMPARE(ask(m, "A", 2.0).size(), 2);
        QCOMPARE(ask(m, "M", 3.0).size(), 37);
        QCOMPARE(ask(m, "M", 4.0).size(), 19);
    }

    void garbleEveryNthFixedReply() {
        Faults f;
        f.garbleEvery = 2;
        MeterConfig c = fixedConfig();
        c.storedRecords = 1;
        VirtualMeter m(c, f);
        QList<QByteArray> replies;
        for (int i = 0; i < 4; ++i) {
            replies << ask(m, "M", 1.0 + i);
            QCOMPARE(ask(m, "G", 1.5 + i).size(), 19); // downloads are never garbled
        }
        auto framed = [](const QByteArray& r) {
            return quint8(r.front()) == 0x02 && quint8(r.back()) == 0x0D;
        };
        QVERIFY(framed(replies[0]));
        QVERIFY(quint8(replies[1].front()) != 0x02);
        QVERIFY(framed(replies[2]));
        QVERIFY(quint8(replies[3].back()) != 0x0D);
        for (const QByteArray& r : replies)
            QCOMPARE(r.size(), 37);
    }

    void byteGapDeliversByteByByte() {
        Faults f;
        f.byteGap = 0.01;
        VirtualMeter m(fixedConfig(), f);
        m.receive("A", 1.0);
        QByteArray got;
        QList<double> times;
        while (!std::isinf(m.nextOutputTime())) {
            const double t = m.nextOutputTime();
            times << t;
            const QByteArray piece = m.takeOutput(t);
            QCOMPARE(piece.size(), 1);
            got += piece;
        }
        QCOMPARE(got, bytes({0x02, 0x41, 0x0D}));
        QVERIFY(times[1] - times[0] >= 0.01);
        QVERIFY(times[2] - times[1] >= 0.01);
    }

    void unplugAfterNCommands() {
        Faults f;
        f.unplugAfter = 2;
        VirtualMeter m(fixedConfig(), f);
        QCOMPARE(ask(m, "A", 1.0).size(), 3);
        QCOMPARE(ask(m, "M", 2.0).size(), 37);
        QVERIFY(!m.isUnplugged());
        QCOMPARE(ask(m, "A", 3.0), QByteArray());
        QVERIFY(m.isUnplugged());
        m.setUnplugged(false);
        QCOMPARE(ask(m, "A", 4.0).size(), 3);
    }

    void replyDelayComesAfterTheWait() {
        Faults f;
        f.replyDelay = 0.3;
        VirtualMeter m(fixedConfig(), f);
        QCOMPARE(ask(m, "M", 1.0, 0.2), QByteArray());
        QCOMPARE(m.takeOutput(1.4).size(), 37);
    }

    void faultsCanBeSwitchedWhileRunning() {
        VirtualMeter m(fixedConfig());
        QCOMPARE(ask(m, "A", 1.0).size(), 3);
        Faults f;
        f.silent = true;
        m.setFaults(f);
        QVERIFY(m.faults().silent);
        QCOMPARE(ask(m, "A", 2.0), QByteArray());
        m.setFaults({});
        QCOMPARE(ask(m, "A", 3.0).size(), 3);
    }
};

QTEST_GUILESS_MAIN(TestVirtualMeter)
#include "tst_virtualmeter.moc"
