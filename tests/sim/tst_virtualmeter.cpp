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

Q_DECLARE_METATYPE(sim::Faults)

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
        c.storedRecords = 16800 - 2;
        c.intervalSeconds = 1;
        VirtualMeter m(c);
        send(m, 'I', bytes({0x10, 0, 0, 0}), 0.0);
        m.advance(60.0);
        QCOMPARE(m.storedRecords(), 16800);
        QVERIFY(!m.isRecording());
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

    // Each fault switch shapes the replies to a run of commands, one second apart; "framed"
    // marks each reply: y = 02 ... 0D, n = unframed, - = nothing.
    void faultsShapeTheReplies_data() {
        QTest::addColumn<Faults>("faults");
        QTest::addColumn<QByteArray>("letters");
        QTest::addColumn<QList<int>>("sizes");
        QTest::addColumn<QString>("framed");
        QTest::newRow("silent") << Faults{.silent = true} << QByteArray("AMJKC")
                                << QList<int>{0, 0, 0, 0, 0} << "-----";
        QTest::newRow("wrong handshake, frames right")
            << Faults{.wrongHandshake = true} << QByteArray("AM") << QList<int>{3, 37} << "ny";
        QTest::newRow("every 2nd reply short")
            << Faults{.shortEvery = 2} << QByteArray("AAMM") << QList<int>{3, 2, 37, 19} << "ynyn";
        QTest::newRow("every 2nd fixed reply garbled")
            << Faults{.garbleEvery = 2} << QByteArray("MMMM") << QList<int>{37, 37, 37, 37}
            << "ynyn";
        QTest::newRow("unplugged after 2 commands")
            << Faults{.unplugAfter = 2} << QByteArray("AMA") << QList<int>{3, 37, 0} << "yy-";
        QTest::newRow("reply later than the wait")
            << Faults{.replyDelay = 0.3} << QByteArray("M") << QList<int>{0} << "-";
    }

    void faultsShapeTheReplies() {
        QFETCH(Faults, faults);
        QFETCH(QByteArray, letters);
        QFETCH(QList<int>, sizes);
        QFETCH(QString, framed);
        VirtualMeter m(fixedConfig(), faults);
        for (int i = 0; i < letters.size(); ++i) {
            const QByteArray r = ask(m, letters.mid(i, 1), 1.0 + i);
            QCOMPARE(r.size(), sizes[i]);
            const QChar mark = r.isEmpty()                                             ? u'-'
                               : quint8(r.front()) == 0x02 && quint8(r.back()) == 0x0D ? u'y'
                                                                                       : u'n';
            QCOMPARE(mark, framed[i]);
        }
    }
};

QTEST_GUILESS_MAIN(TestVirtualMeter)
#include "tst_virtualmeter.moc"
