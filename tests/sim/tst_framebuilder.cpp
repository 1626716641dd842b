// The virtual meter's display frame, read back by a decoder of its own: digits drawn with the
// two segment wirings show the reading (decimal point, minus sign, OL marks, group 2's reversed
// byte order) next to its raw word, the channel and type marks and the status byte.

#include "sim/framebuilder.h"

#include <QTest>

using sim::buildFrame;
using sim::FrameContent;

namespace {

// The wiring tables read bit by bit: bit n lights the segment named at index n.
const char* const kBitsA = "dcegbfa";
const char* const kBitsB = "afbgecd";

char glyphOf(quint8 byte, const char* bits) {
    QByteArray lit;
    for (int b = 0; b < 7; ++b) {
        if (byte & (1 << b))
            lit.append(bits[b]);
    }
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
    FrameContent c;
    c.type = type;
    c.unit = unit;
    c.raw = {4680, 4680, 4680, 4680};
    return c;
}

} // namespace

class TestFrameBuilder : public QObject {
    Q_OBJECT
private slots:
    void digitsShowTheReading_data() {
        QTest::addColumn<char>("type");
        QTest::addColumn<char>("unit");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("shown");
        QTest::newRow("freezing point C") << 'K' << 'C' << 1 << 4680 << "0.0";
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
        QCOMPARE(quint8(f[26 + (channel - 1) * 2]) * 256 + quint8(f[27 + (channel - 1) * 2]), raw);
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

QTEST_GUILESS_MAIN(TestFrameBuilder)
#include "tst_framebuilder.moc"
