// The virtual meter in virtual time, as far as the product's tests lean on it: the exact
// replies to the settings read back, payloads in pieces or cut off, the keys, REC storing at
// the interval up to the capacity with the records a download gets, erase, the wire pacing and
// the replies every fault switch shapes (their lengths and framing pin "A" and "M" too).

#include "sim/virtualmeter.h"

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
    // Each row presses one key code a few times; after each press the meter's type and unit,
    // whether the frame shows the reading frozen with the HOLD mark (H), and the REC mark (R).
    void keysChangeTheMeter_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QString>("states");
        QTest::newRow("TYPE") << bytes({0x04, 0, 0, 0}) << "JC-- EC-- TC-- NC-- RC-- SC-- KC--";
        QTest::newRow("TYPE long") << bytes({0, 0, 0x04, 0}) << "KF-- KK-- KC--";
        QTest::newRow("HOLD") << bytes({0x01, 0, 0, 0}) << "KCH- KC--";
        QTest::newRow("REC") << bytes({0x10, 0, 0, 0}) << "KC-R KC--";
    }

    void keysChangeTheMeter() {
        QFETCH(QByteArray, code);
        QFETCH(QString, states);
        VirtualMeter m(fixedConfig());
        QStringList got;
        for (int i = 0; i <= states.count(u' '); ++i) {
            m.setReading(1, 5000);
            send(m, 'I', code, 1.0 + i);
            m.setReading(1, 6000);
            const QByteArray f = ask(m, "M", 1.5 + i);
            const bool held = quint8(f[22]) & 0x01;
            const char shown = word(f, 26) == (held ? 5000 : 6000) ? (held ? 'H' : '-') : '?';
            const char state[] = {m.type(), m.unit(), shown, quint8(f[20]) & 0x20 ? 'R' : '-', 0};
            got << QString::fromLatin1(state);
        }
        QCOMPARE(got.join(u' '), states);
    }

    // REC stores a record at every interval from the press, stamped by the meter's clock, until
    // the memory is full; then REC goes out by itself.
    void recStoresAtTheIntervalUntilFull() {
        MeterConfig c = fixedConfig();
        c.intervalSeconds = 10;
        c.storedRecords = 16800 - 3;
        c.wirePaced = false;
        VirtualMeter m(c);
        send(m, 'D', bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x00}), 0.0);
        send(m, 'I', bytes({0x10, 0, 0, 0}), 1.0);
        m.advance(100.0);
        const QByteArray f = ask(m, "M", 101.0);
        QCOMPARE(word(f, 34), 16800);
        QVERIFY(!(quint8(f[20]) & 0x20));
        const QByteArray dump = ask(m, "G", 102.0);
        QCOMPARE(dump.size(), 16800 * 19);
        for (int i = 0; i < 3; ++i) {
            const QByteArray r = dump.mid((16797 + i) * 19, 19);
            // Started at 14:05:01 on the set clock; stored at 11, 21, 31 s.
            QCOMPARE(r.mid(3, 6), bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x11 + i * 0x10}));
            QCOMPARE(quint8(r[9]), 0x40);
        }
    }

    // At 38400 baud, 10 bits a byte, a full memory takes 83 s to arrive (unpaced, it comes at
    // once: see the full memory above).
    void memoryArrivesAtWireSpeed() {
        MeterConfig c = fixedConfig();
        c.storedRecords = 16800;
        VirtualMeter m(c);
        m.receive("G", 1.0);
        const double seconds = 16800 * 19 * 10 / 38400.0;
        const qsizetype early = m.takeOutput(1.0 + seconds * 0.99).size();
        QVERIFY(early < 16800 * 19);
        QCOMPARE(early + m.takeOutput(1.0 + seconds + 0.002).size(), 16800 * 19);
        QVERIFY(std::isinf(m.nextOutputTime()));
    }

    void eraseNeedsItsExactPayload() {
        MeterConfig c = fixedConfig();
        c.storedRecords = 7;
        VirtualMeter m(c);
        send(m, 'E', bytes({0x05, 0, 0, 0}), 1.0);
        QCOMPARE(word(ask(m, "M", 2.0), 34), 7);
        send(m, 'E', bytes({0x04, 0, 0, 0}), 3.0);
        QCOMPARE(word(ask(m, "M", 4.0), 34), 0);
    }

    // A setting sent with its payload, then read back some seconds later: the exact reply.
    void settingsRoundTrip_data() {
        QTest::addColumn<QByteArray>("command"); // letter and payload
        QTest::addColumn<double>("later");
        QTest::addColumn<QByteArray>("reply"); // to the read letter, framed
        const QList<int> words{5139, 180, 36540, 4680, 1, 2, 65534, 4360};
        QByteArray limits;
        for (int w : words)
            limits += bytes({w >> 8, w & 0xFF});
        QTest::newRow("H, J") << "H" + limits << 1.0 << "\x02" + limits + "\x0D";
        QTest::newRow("F 60 s, K")
            << "F" + bytes({0, 0, 0x3C}) << 1.0 << bytes({0x02, 0, 0, 0x3C, 0x0D});
        QTest::newRow("F one day")
            << "F" + bytes({0x01, 0x51, 0x80}) << 1.0 << bytes({0x02, 0x01, 0x51, 0x80, 0x0D});
        QTest::newRow("F 0 refused")
            << "F" + bytes({0, 0, 0}) << 1.0 << bytes({0x02, 0, 0, 0x02, 0x0D});
        QTest::newRow("F above a day refused")
            << "F" + bytes({0x01, 0x51, 0x81}) << 1.0 << bytes({0x02, 0, 0, 0x02, 0x0D});
        QTest::newRow("D, C") << "D" + bytes({0x24, 0x03, 0x15, 0x14, 0x05, 0x09}) << 0.5
                              << bytes({0x02, 0x24, 0x03, 0x15, 0x14, 0x05, 0x09, 0x0D});
        QTest::newRow("D, C a minute later over new year")
            << "D" + bytes({0x99, 0x12, 0x31, 0x23, 0x59, 0x30}) << 60.5
            << bytes({0x02, 0x00, 0x01, 0x01, 0x00, 0x00, 0x30, 0x0D});
    }

    void settingsRoundTrip() {
        QFETCH(QByteArray, command);
        QFETCH(double, later);
        QFETCH(QByteArray, reply);
        VirtualMeter m(fixedConfig());
        send(m, command[0], command.mid(1), 10.0);
        const char read = command[0] == 'H' ? 'J' : command[0] == 'F' ? 'K' : 'C';
        QCOMPARE(ask(m, QByteArray(1, read), 10.0 + later), reply);
    }

    // The payload may come in pieces; one that comes too late or never is not waited for.
    void payloadInPiecesLateOrIncomplete() {
        VirtualMeter m(fixedConfig());
        m.receive("F", 1.0);
        m.receive(bytes({0x00}), 1.002);
        m.receive(bytes({0x00, 0x3C}), 1.003);
        QCOMPARE(m.intervalSeconds(), 60);
        m.receive("F", 2.0);
        m.receive(bytes({0x00, 0x00, 0x1E}), 3.0); // far too late: not a payload any more
        QCOMPARE(m.intervalSeconds(), 60);
        m.receive("D", 4.0);
        m.receive(bytes({0x24}), 4.002); // the host died mid-payload
        QCOMPARE(ask(m, "A", 5.0), bytes({0x02, 0x41, 0x0D}));
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
