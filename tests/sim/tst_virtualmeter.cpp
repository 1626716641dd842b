// The virtual meter in virtual time, as far as the product's tests lean on it: the exact
// replies to the settings read back, payloads in pieces or cut off, the keys, REC storing at
// the interval up to the capacity with the records a download gets, erase, the wire pacing and
// the replies every fault switch shapes (their lengths and framing pin "A" and "M" too). Its
// display frame, read back by a decoder of its own: digits drawn with the two segment wirings
// show the reading (decimal point, minus sign, OL marks, group 2's reversed byte order) next
// to its raw word, the channel and type marks and the status byte.

#include "sim/framebuilder.h"
#include "sim/virtualmeter.h"
#include "support/meterbench.h"

#include <QTest>

#include <cmath>

using sim::buildFrame;
using sim::Faults;
using sim::FrameContent;
using sim::MeterConfig;
using sim::VirtualMeter;
using testsupport::bytes;

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

int word(const QByteArray& b, int offset) {
    return quint8(b[offset]) * 256 + quint8(b[offset + 1]);
}

const MeterConfig kFixed{.drift = false};

// The display frame read back by a decoder of its own.

// The wiring tables read bit by bit: bit n lights the segment named at index n.
const char* const kBitsA = "dcegbfa";
const char* const kBitsB = "afbgecd";

char glyphOf(quint8 byte, const char* bits) {
    QByteArray lit;
    for (int b = 0; b < 7; ++b)
        if (byte & (1 << b))
            lit.append(bits[b]);
    std::sort(lit.begin(), lit.end());
    static const QHash<QByteArray, char> glyphs = {
        {"", ' '},       {"abcdef", '0'}, {"bc", '1'},     {"abdeg", '2'}, {"abcdg", '3'},
        {"bcfg", '4'},   {"acdfg", '5'},  {"acdefg", '6'}, {"abc", '7'},   {"abcdefg", '8'},
        {"abcdfg", '9'}, {"g", '-'},      {"def", 'L'},
    };
    return glyphs.value(lit, '?');
}

struct GroupPlace {
    int digitBytes[4];
    const char* bits;
    int dotByte;
    int minusByte; // 0 = none
};

// Bytes counted from 1; every mark here is bit 7.
const GroupPlace kPlaces[4] = {
    {{2, 3, 4, 5}, kBitsA, 5, 22},
    {{18, 17, 16, 15}, kBitsA, 16, 0},
    {{6, 7, 8, 9}, kBitsB, 8, 3},
    {{10, 11, 13, 14}, kBitsB, 23, 0},
};

bool bitSet(const QByteArray& f, int byte, int bit) {
    return (quint8(f[byte - 1]) >> bit) & 1;
}

QString readGroup(const QByteArray& f, int group) {
    const GroupPlace& g = kPlaces[group - 1];
    QString text;
    for (int i = 0; i < 4; ++i) {
        if (i == 3 && bitSet(f, g.dotByte, 7))
            text.append('.');
        text.append(QChar(glyphOf(quint8(f[g.digitBytes[i] - 1]) & 0x7F, g.bits)));
    }
    text = text.trimmed();
    if (g.minusByte && bitSet(f, g.minusByte, 7))
        text.prepend('-');
    return text.replace(QLatin1String("0L"), QLatin1String("OL"));
}

FrameContent content(char type, char unit) {
    return {.type = type, .unit = unit, .raw = {4680, 4680, 4680, 4680}};
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
        VirtualMeter m(kFixed);
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
        VirtualMeter m({.storedRecords = 16800 - 3,
                        .intervalSeconds = 10,
                        .drift = false,
                        .wirePaced = false});
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
        VirtualMeter m({.storedRecords = 16800, .drift = false});
        m.receive("G", 1.0);
        const double seconds = 16800 * 19 * 10 / 38400.0;
        const qsizetype early = m.takeOutput(1.0 + seconds * 0.99).size();
        QVERIFY(early < 16800 * 19);
        QCOMPARE(early + m.takeOutput(1.0 + seconds + 0.002).size(), 16800 * 19);
        QVERIFY(std::isinf(m.nextOutputTime()));
    }

    void eraseNeedsItsExactPayload() {
        VirtualMeter m({.storedRecords = 7, .drift = false});
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
        VirtualMeter m(kFixed);
        send(m, command[0], command.mid(1), 10.0);
        const char read = command[0] == 'H' ? 'J' : command[0] == 'F' ? 'K' : 'C';
        QCOMPARE(ask(m, QByteArray(1, read), 10.0 + later), reply);
    }

    // The payload may come in pieces; one that comes too late or never is not waited for.
    void payloadInPiecesLateOrIncomplete() {
        VirtualMeter m(kFixed);
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
        VirtualMeter m(kFixed, faults);
        for (int i = 0; i < letters.size(); ++i) {
            const QByteArray r = ask(m, letters.mid(i, 1), 1.0 + i);
            QCOMPARE(r.size(), sizes[i]);
            const QChar mark = r.isEmpty()                                             ? u'-'
                               : quint8(r.front()) == 0x02 && quint8(r.back()) == 0x0D ? u'y'
                                                                                       : u'n';
            QCOMPARE(mark, framed[i]);
        }
    }

    void digitsShowTheReading_data() {
        QTest::addColumn<char>("type");
        QTest::addColumn<char>("unit");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a ninth rounds up") << 'K' << 'C' << 1 << 4681 << "0.1";
        QTest::newRow("negative, minus mark, group 1") << 'K' << 'C' << 1 << 4360 << "-17.8";
        QTest::newRow("negative, dash digit, group 2") << 'K' << 'C' << 2 << 4360 << "-17.8";
        QTest::newRow("negative, minus mark, group 3") << 'K' << 'C' << 3 << 4360 << "-17.8";
        QTest::newRow("negative, dash digit, group 4") << 'K' << 'C' << 4 << 4360 << "-17.8";
        QTest::newRow("kelvin") << 'K' << 'K' << 3 << 4680 << "273.0";
        QTest::newRow("R whole degrees") << 'R' << 'C' << 1 << 6480 << "100";
        QTest::newRow("S half rounds to even") << 'S' << 'F' << 2 << 4365 << "0";
        QTest::newRow("four digits drop the decimal") << 'K' << 'F' << 1 << 25430 << "2107";
        QTest::newRow("-435.9 fits with a minus mark") << 'K' << 'F' << 1 << 1 << "-435.9";
        QTest::newRow("-435.9 without one is whole") << 'K' << 'F' << 2 << 1 << "-436";
        QTest::newRow("over range group 4") << 'K' << 'C' << 4 << 65535 << "OL";
        QTest::newRow("under range group 1") << 'K' << 'C' << 1 << 0 << "-OL";
        QTest::newRow("under range group 2") << 'K' << 'C' << 2 << 0 << "-OL";
    }

    void digitsShowTheReading() {
        QFETCH(char, type);
        QFETCH(char, unit);
        QFETCH(int, channel);
        QFETCH(int, raw);
        QFETCH(QString, shown);
        FrameContent c = content(type, unit);
        c.raw[size_t(channel - 1)] = quint16(raw);
        const QByteArray f = buildFrame(c);
        QCOMPARE(readGroup(f, channel), shown);
        QCOMPARE(word(f, 26 + (channel - 1) * 2), raw);
    }

    // The type's mark among the seven letters, the status byte, and the channel marks and
    // digits of the present channels only.
    void typeChannelsAndStatusByte_data() {
        QTest::addColumn<char>("type");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("byte");
        QTest::addColumn<int>("bit");
        QTest::addColumn<int>("status");
        QTest::newRow("K 4") << 'K' << 4 << 24 << 5 << 0x40;
        QTest::newRow("N 4") << 'N' << 4 << 24 << 6 << 0x41;
        QTest::newRow("R 1") << 'R' << 1 << 23 << 5 << 0x12;
        QTest::newRow("S 4") << 'S' << 4 << 23 << 6 << 0x43;
        QTest::newRow("T 2") << 'T' << 2 << 22 << 2 << 0x24;
        QTest::newRow("E 1") << 'E' << 1 << 22 << 5 << 0x15;
        QTest::newRow("J 2") << 'J' << 2 << 21 << 2 << 0x26;
    }

    void typeChannelsAndStatusByte() {
        QFETCH(char, type);
        QFETCH(int, channels);
        QFETCH(int, byte);
        QFETCH(int, bit);
        QFETCH(int, status);
        FrameContent c = content(type, 'C');
        c.channels = channels;
        const QByteArray f = buildFrame(c);
        QCOMPARE(quint8(f[25]), status);
        QVERIFY(bitSet(f, 25, 6)); // "TYPE:"
        const int letters[7][2] = {{21, 2}, {22, 2}, {22, 5}, {23, 5}, {23, 6}, {24, 5}, {24, 6}};
        for (const auto& l : letters)
            QCOMPARE(bitSet(f, l[0], l[1]), l[0] == byte && l[1] == bit);
        const bool marks[4] = {bitSet(f, 25, 7), bitSet(f, 20, 6), bitSet(f, 2, 7),
                               bitSet(f, 17, 7)};
        for (int ch = 1; ch <= 4; ++ch) {
            QCOMPARE(marks[ch - 1], ch <= channels);
            QCOMPARE(readGroup(f, ch).isEmpty(), ch > channels);
        }
    }
};

QTEST_GUILESS_MAIN(TestVirtualMeter)
#include "tst_virtualmeter.moc"
