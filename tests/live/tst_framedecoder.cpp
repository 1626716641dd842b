// The live frame decoders: the bytes and segment bit orders of the four digit groups, every
// annunciator bit and the unit flags, bits that must drive nothing, the status byte (type letter,
// channel count, freezing), and the temperature texts in all three units for every raw word and
// type, including the range marks, the rounding of halves, zero never printed as "-0", and the
// Celsius sort key agreeing with the Celsius text.

#include "live/framedecoder.h"

#include <QTest>

#include <cfenv>
#include <cmath>
#include <limits>

using namespace live;

namespace {

QByteArray blankFrame() {
    QByteArray frame(kFrameLength, '\0');
    frame[0] = '\x02';
    frame[kFrameLength - 1] = '\x0D';
    return frame;
}

QByteArray frameWith(int byteNumber, quint8 value) {
    QByteArray frame = blankFrame();
    frame[byteNumber - 1] = char(value);
    return frame;
}

// Every lit segment as digit and segment letter ("3d"), and every shown symbol's name.
QStringList litSegments(const DisplayState& state) {
    QStringList lit;
    for (int d = 0; d < kDigitCount; ++d) {
        for (int seg = 0; seg < kSegmentCount; ++seg)
            if (state.segments[std::size_t(d)][std::size_t(seg)])
                lit << QString::number(d) + QChar(u'a' + seg);
    }
    return lit;
}

QStringList shownNames(const DisplayState& state) {
    QStringList names;
    for (std::size_t i = 0; i < kAnnunciators.size(); ++i)
        if (state.annunciators[i])
            names << QString::fromLatin1(kAnnunciators[i].name);
    return names;
}

QByteArray rawWords(quint16 t1, quint16 t2, quint16 t3, quint16 t4) {
    QByteArray bytes;
    for (quint16 raw : {t1, t2, t3, t4}) {
        bytes.append(char(raw >> 8));
        bytes.append(char(raw & 0xFF));
    }
    return bytes;
}

// The conversions written the plain way, in doubles with the default rounding mode (halves to
// even). An independent route to the same texts.
QString referenceText(quint16 raw, TempUnit unit, QChar type) {
    const double r = raw;
    const bool whole = type == u'R' || type == u'S';
    double value = 0;
    switch (unit) {
    case TempUnit::Fahrenheit:
        value = (r - 4360) / 10;
        break;
    case TempUnit::Celsius:
        value = std::nearbyint((r - 4680) / 9 / 10 * 50) / 10;
        break;
    case TempUnit::Kelvin:
        value = std::nearbyint((r + 234) / 9 / 10 * 50) / 10;
        break;
    }
    if (whole)
        value = std::nearbyint(value);
    value += 0.0; // a negative zero prints as "0"
    return QString::number(value, 'f', whole ? 0 : 1);
}

const QList<QChar> kAllTypes = {u'K', u'N', u'R', u'S', u'T', u'E', u'J', QChar()};

} // namespace

class TestFrameDecoder : public QObject {
    Q_OBJECT
private slots:
    // Bit k of a digit's byte lights segment order[k] of that digit alone; the groups take
    // their digits from different bytes and are wired in two orders.
    void segmentBytesAndBitOrders_data() {
        QTest::addColumn<QList<int>>("bytes"); // the group's digits, left to right
        QTest::addColumn<int>("firstDigit");   // 0 = LCD1
        QTest::addColumn<QString>("order");
        QTest::newRow("group 1") << QList<int>{2, 3, 4, 5} << 0 << "dcegbfa";
        QTest::newRow("group 2") << QList<int>{18, 17, 16, 15} << 4 << "dcegbfa";
        QTest::newRow("group 3") << QList<int>{6, 7, 8, 9} << 8 << "afbgecd";
        QTest::newRow("group 4") << QList<int>{10, 11, 13, 14} << 12 << "afbgecd";
    }

    void segmentBytesAndBitOrders() {
        QFETCH(QList<int>, bytes);
        QFETCH(int, firstDigit);
        QFETCH(QString, order);
        for (int i = 0; i < 4; ++i) {
            for (int bit = 0; bit < 7; ++bit) {
                const DisplayState state = decodeDisplay(frameWith(bytes[i], quint8(1u << bit)));
                QCOMPARE(litSegments(state),
                         QStringList{QString::number(firstDigit + i) + order[bit]});
                QVERIFY(shownNames(state).isEmpty());
            }
        }
    }

    void everyAnnunciatorTogglesOnlyItsOwnFlag() {
        for (std::size_t i = 0; i < kAnnunciators.size(); ++i) {
            const AnnunciatorInfo& info = kAnnunciators[i];
            const DisplayState state = decodeDisplay(frameWith(info.byte, quint8(1u << info.bit)));
            QCOMPARE(shownNames(state), QStringList{QString::fromLatin1(info.name)});
            QVERIFY(state.shown(QString::fromLatin1(info.name)));
            QCOMPARE(annunciatorIndex(QString::fromLatin1(info.name)), int(i));
            QVERIFY(litSegments(state).isEmpty());
        }
    }

    void annunciatorPositions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("byteNumber");
        QTest::addColumn<int>("bit");

        QTest::newRow("plug") << "ImaPlug" << 6 << 7;
        QTest::newRow("colon of group 4") << "LblT4DotDot" << 12 << 0;
        QTest::newRow("d:m") << "Lbldm" << 12 << 7;
        QTest::newRow("T3 mark of group 4") << "LblT4T3" << 18 << 7;
        QTest::newRow("CLOSE") << "LblClose" << 19 << 2;
        QTest::newRow("MIN") << "LblMin" << 21 << 0;
        QTest::newRow("REC") << "LblRec" << 21 << 5;
        QTest::newRow("minus of group 1") << "LblT1Minus" << 22 << 7;
        QTest::newRow("HI") << "LblHi" << 24 << 4;
        QTest::newRow("T1 mark of group 1") << "LblT1T1" << 25 << 7;
    }

    void annunciatorPositions() {
        QFETCH(QString, name);
        QFETCH(int, byteNumber);
        QFETCH(int, bit);

        QCOMPARE(shownNames(decodeDisplay(frameWith(byteNumber, quint8(1u << bit)))),
                 QStringList{name});
    }

    void unusedBitsDriveNothing() {
        QByteArray frame = blankFrame();
        const std::pair<int, int> unused[] = {{1, 0xFF},  {12, 0x70}, {19, 0x78},
                                              {20, 0x38}, {21, 0x18}, {22, 0x58},
                                              {23, 0x18}, {24, 0x89}, {25, 0x03}};
        for (const auto& [byteNumber, bits] : unused)
            frame[byteNumber - 1] = char(bits);
        frame.replace(25, kFrameLength - 25, QByteArray(kFrameLength - 25, '\xFF'));
        QCOMPARE(decodeDisplay(frame), DisplayState{});
    }

    void allBitsSetShowsEverything() {
        const DisplayState state = decodeDisplay(QByteArray(kFrameLength, '\xFF'));
        QCOMPARE(litSegments(state).size(), 16 * 7);
        QCOMPARE(shownNames(state).size(), 58);
        QVERIFY(state.unitIsCelsius && state.unitIsFahrenheit && state.unitIsKelvin);
        QVERIFY(!state.shown(u"LblNothing"));
        QCOMPARE(annunciatorIndex(u"lblt3t3"), -1); // names are case-sensitive
    }

    void unitFlags_data() {
        QTest::addColumn<int>("byteNumber");
        QTest::addColumn<QString>("shown"); // the Celsius, Fahrenheit, Kelvin flags; the symbols
        QTest::newRow("byte 20 bit 7 is Celsius") << 20 << "C-- ImaC";
        QTest::newRow("byte 19 bit 7 is Fahrenheit") << 19 << "-F- ImaF";
        QTest::newRow("byte 15 bit 7 is Kelvin") << 15 << "--K ImaK";
    }

    void unitFlags() {
        QFETCH(int, byteNumber);
        QFETCH(QString, shown);
        const auto flags = [](const DisplayState& s) {
            const char f[] = {s.unitIsCelsius ? 'C' : '-', s.unitIsFahrenheit ? 'F' : '-',
                              s.unitIsKelvin ? 'K' : '-', 0};
            return QString::fromLatin1(f);
        };
        const DisplayState state = decodeDisplay(frameWith(byteNumber, 0x80));
        QCOMPARE(QStringList(flags(state)) + shownNames(state), shown.split(u' '));
        // The other bits of those bytes are not unit marks.
        QCOMPARE(flags(decodeDisplay(frameWith(byteNumber, 0x7F))), QStringLiteral("---"));
    }

    void shortFrameGivesBlankState() {
        QCOMPARE(decodeDisplay(QByteArray(kFrameLength - 1, '\xFF')), DisplayState{});
        QCOMPARE(decodeDisplay(QByteArrayView()), DisplayState{});
        // A longer buffer decodes its first frame.
        QCOMPARE(decodeDisplay(QByteArray(kFrameLength + 5, '\xFF')),
                 decodeDisplay(QByteArray(kFrameLength, '\xFF')));
    }

    // The type letter and channel count before and after a status byte ("-": no type yet).
    void typeByte_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("frozen");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("40: K, 4 channels") << 0x40 << false << QString("J1") << QString("K4");
        QTest::newRow("12: R, 1 channel") << 0x12 << false << QString("K4") << QString("R1");
        QTest::newRow("27: type kept, 2 channels")
            << 0x27 << false << QString("J4") << QString("J2");
        QTest::newRow("07 before any type") << 0x07 << false << QString("-4") << QString("-0");
        QTest::newRow("bit 3 ignored") << 0x4B << false << QString("K1") << QString("S4");
        QTest::newRow("frozen keeps the count") << 0x14 << true << QString("K4") << QString("T4");
        QTest::newRow("odd count stored") << 0xF5 << false << QString("K4") << QString("E15");
    }

    void typeByte() {
        QFETCH(int, status);
        QFETCH(bool, frozen);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QChar typeLetter = before[0] == u'-' ? QChar() : before[0];
        int channelCount = before.mid(1).toInt();
        decodeTypeByte(quint8(status), typeLetter, channelCount, frozen);
        QCOMPARE((typeLetter.isNull() ? QStringLiteral("-") : QString(typeLetter)) +
                     QString::number(channelCount),
                 after);
    }

    // Four raw words to twelve texts: T1..T4 in Celsius, then Fahrenheit, then Kelvin; a range
    // mark only on its own channel; channels whose bytes are missing stay empty. Every raw word
    // of every type is checked against the formulas further down.
    void decodeReadings_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QChar>("type");
        QTest::addColumn<QString>("texts");
        QTest::newRow("K: freezing, lowest raw")
            << rawWords(4680, 1, 4360, 0x1248) << QChar(u'K')
            << "0.0 -259.9 -17.8 0.0 32.0 -435.9 0.0 32.0 273.0 13.1 255.2 273.0";
        QTest::newRow("no type yet: over")
            << rawWords(6480, 6480, 65535, 6480) << QChar()
            << "100.0 100.0 OL 100.0 212.0 212.0 OL 212.0 373.0 373.0 OL 373.0";
        // Whole degrees; -0.5 F rounds to the even neighbour, and never to "-0".
        QTest::newRow("S: under, F -0.5 -> 0") << rawWords(6480, 4355, 0, 6480) << QChar(u'S')
                                               << "100 -18 -OL 100 212 0 -OL 212 373 255 -OL 373";
        QTest::newRow("five bytes") << rawWords(4680, 6480, 0, 0).left(5) << QChar(u'K')
                                    << "0.0 100.0   32.0 212.0   273.0 373.0  ";
    }

    void decodeReadings() {
        QFETCH(QByteArray, bytes);
        QFETCH(QChar, type);
        QFETCH(QString, texts);
        const ReadingText text = live::decodeReadings(bytes, type);
        QCOMPARE(QStringList(text.begin(), text.end()).join(u' '), texts);
    }

    // Every raw word of every type: the three texts as the formulas above give them (never
    // "-0"), and the sort key the Celsius text in tenths, never falling as the word rises.
    void everyRawMatchesTheFormulasAndTheSortKey() {
        QCOMPARE(std::fegetround(), FE_TONEAREST);
        for (QChar type : kAllTypes) {
            QCOMPARE(celsiusKey(0, type), std::numeric_limits<qint32>::min());
            QCOMPARE(celsiusKey(65535, type), std::numeric_limits<qint32>::max());
            qint32 previous = std::numeric_limits<qint32>::min() + 1;
            for (int raw = 1; raw < 65535; ++raw) {
                QStringList got;
                QStringList want;
                for (TempUnit unit : {TempUnit::Celsius, TempUnit::Fahrenheit, TempUnit::Kelvin}) {
                    got << formatReading(quint16(raw), unit, type);
                    want << referenceText(quint16(raw), unit, type);
                }
                const qint32 key = celsiusKey(quint16(raw), type);
                got << QString::number(key);
                want << QString::number(qRound64(want[0].toDouble() * 10));
                if (got != want || got.contains(u"-0") || got.contains(u"-0.0") || key < previous) {
                    QFAIL(qPrintable(QStringLiteral("type %1 raw %2: got %3, want %4")
                                         .arg(type)
                                         .arg(raw)
                                         .arg(got.join(u' '), want.join(u' '))));
                }
                previous = key;
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
