// Covers the live frame decoders: the segment bit orders of the four digit groups and the
// byte each digit comes from, every annunciator bit and the unit flags, bits that must drive
// nothing, the status byte (type letter, channel count, freezing), and the temperature texts
// in all three units for every raw word and type, including the range marks, the rounding of
// halves, zero never printed as "-0", and the Celsius sort key agreeing with the Celsius text.

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

int litSegmentCount(const DisplayState& state) {
    int count = 0;
    for (const auto& digit : state.segments) {
        for (bool lit : digit) {
            count += lit ? 1 : 0;
        }
    }
    return count;
}

int shownAnnunciatorCount(const DisplayState& state) {
    int count = 0;
    for (bool shownFlag : state.annunciators) {
        count += shownFlag ? 1 : 0;
    }
    return count;
}

QByteArray rawWords(quint16 t1, quint16 t2, quint16 t3, quint16 t4) {
    QByteArray bytes;
    for (quint16 raw : {t1, t2, t3, t4}) {
        bytes.append(char(raw >> 8));
        bytes.append(char(raw & 0xFF));
    }
    return bytes;
}

// The conversions written the plain way, in doubles with the default
// rounding mode (halves to even). An independent route to the same texts.
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
    if (whole) {
        value = std::nearbyint(value);
    }
    value += 0.0; // a negative zero prints as "0"
    return QString::number(value, 'f', whole ? 0 : 1);
}

const QList<QChar> kAllTypes = {u'K', u'N', u'R', u'S', u'T', u'E', u'J', QChar()};

} // namespace

class TestFrameDecoder : public QObject {
    Q_OBJECT

private slots:

    void segmentByteLightsItsDigit_data() {
        QTest::addColumn<int>("byteNumber");
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("digit"); // 0 = LCD1
        QTest::addColumn<QString>("lit");

        QTest::newRow("byte 2 -> LCD1") << 2 << 0x01 << 0 << "d";
        QTest::newRow("byte 4 -> LCD3") << 4 << 0x01 << 2 << "d";
        QTest::newRow("byte 5 -> LCD4") << 5 << 0x01 << 3 << "d";
        QTest::newRow("byte 18 -> LCD5 (leftmost of group 2)") << 18 << 0x01 << 4 << "d";
        QTest::newRow("byte 17 -> LCD6") << 17 << 0x01 << 5 << "d";
        QTest::newRow("byte 16 -> LCD7") << 16 << 0x01 << 6 << "d";
        QTest::newRow("byte 15 -> LCD8 (rightmost of group 2)") << 15 << 0x40 << 7 << "a";
        QTest::newRow("byte 6 -> LCD9") << 6 << 0x01 << 8 << "a";
        QTest::newRow("byte 8 -> LCD11") << 8 << 0x01 << 10 << "a";
        QTest::newRow("byte 9 -> LCD12") << 9 << 0x01 << 11 << "a";
        QTest::newRow("byte 10 -> LCD13") << 10 << 0x01 << 12 << "a";
        QTest::newRow("byte 11 -> LCD14") << 11 << 0x01 << 13 << "a";
        QTest::newRow("byte 13 -> LCD15") << 13 << 0x01 << 14 << "a";
        QTest::newRow("byte 14 -> LCD16") << 14 << 0x40 << 15 << "d";
    }

    void segmentByteLightsItsDigit() {
        QFETCH(int, byteNumber);
        QFETCH(int, value);
        QFETCH(int, digit);
        QFETCH(QString, lit);

        const DisplayState state = decodeDisplay(frameWith(byteNumber, quint8(value)));
        for (int seg = 0; seg < kSegmentCount; ++seg) {
            const bool expected = lit.contains(QChar(u'a' + seg));
            QVERIFY2(state.segments[std::size_t(digit)][std::size_t(seg)] == expected,
                     qPrintable(QStringLiteral("segment %1").arg(QChar(u'a' + seg))));
        }
        QCOMPARE(litSegmentCount(state), int(lit.size()));
        QCOMPARE(shownAnnunciatorCount(state), 0);
    }

    // Bit k of a digit's byte lights segment order[k]; the two digit groups are wired apart.
    void segmentBitOrders_data() {
        QTest::addColumn<int>("byteNumber");
        QTest::addColumn<int>("digit");
        QTest::addColumn<QString>("order");
        QTest::newRow("order A") << 3 << 1 << "dcegbfa";
        QTest::newRow("order B") << 7 << 9 << "afbgecd";
    }

    void segmentBitOrders() {
        QFETCH(int, byteNumber);
        QFETCH(int, digit);
        QFETCH(QString, order);
        for (int bit = 0; bit < 7; ++bit) {
            const DisplayState state = decodeDisplay(frameWith(byteNumber, quint8(1u << bit)));
            for (int seg = 0; seg < kSegmentCount; ++seg)
                QVERIFY2(state.segments[std::size_t(digit)][std::size_t(seg)] ==
                             (order[bit] == QChar(u'a' + seg)),
                         qPrintable(QStringLiteral("bit %1").arg(bit)));
            QCOMPARE(litSegmentCount(state), 1);
        }
    }

    void everyAnnunciatorTogglesOnlyItsOwnFlag() {
        for (std::size_t i = 0; i < kAnnunciators.size(); ++i) {
            const AnnunciatorInfo& info = kAnnunciators[i];
            const DisplayState state = decodeDisplay(frameWith(info.byte, quint8(1u << info.bit)));
            for (std::size_t j = 0; j < kAnnunciators.size(); ++j) {
                QVERIFY2(state.annunciators[j] == (i == j),
                         qPrintable(QStringLiteral("%1 set, %2 wrong")
                                        .arg(QLatin1String(info.name), kAnnunciators[j].name)));
            }
            QVERIFY(state.shown(QString::fromLatin1(info.name)));
            QCOMPARE(annunciatorIndex(QString::fromLatin1(info.name)), int(i));
            QCOMPARE(litSegmentCount(state), 0);
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

        QVERIFY(annunciatorIndex(name) >= 0);
        const DisplayState state = decodeDisplay(frameWith(byteNumber, quint8(1u << bit)));
        QVERIFY(state.shown(name));
        QCOMPARE(shownAnnunciatorCount(state), 1);
    }

    void unusedBitsDriveNothing() {
        QByteArray frame = blankFrame();
        frame[0] = '\xFF';
        frame[12 - 1] = char(0x70);
        frame[19 - 1] = char(0x78);
        frame[20 - 1] = char(0x38);
        frame[21 - 1] = char(0x18);
        frame[22 - 1] = char(0x58);
        frame[23 - 1] = char(0x18);
        frame[24 - 1] = char(0x89);
        frame[25 - 1] = char(0x03);
        for (int byteNumber = 26; byteNumber <= kFrameLength; ++byteNumber) {
            frame[byteNumber - 1] = '\xFF';
        }
        QCOMPARE(decodeDisplay(frame), DisplayState{});
    }

    void allBitsSetShowsEverything() {
        const DisplayState state = decodeDisplay(QByteArray(kFrameLength, '\xFF'));
        QCOMPARE(litSegmentCount(state), kDigitCount * kSegmentCount);
        QCOMPARE(shownAnnunciatorCount(state), kAnnunciatorCount);
        QVERIFY(state.unitIsCelsius && state.unitIsFahrenheit && state.unitIsKelvin);
        QVERIFY(!state.shown(u"LblNothing"));
        QCOMPARE(annunciatorIndex(u"lblt3t3"), -1); // names are case-sensitive
    }

    void unitFlags_data() {
        QTest::addColumn<int>("byteNumber");
        QTest::addColumn<bool>("celsius");
        QTest::addColumn<bool>("fahrenheit");
        QTest::addColumn<bool>("kelvin");

        QTest::newRow("byte 20 bit 7 is Celsius") << 20 << true << false << false;
        QTest::newRow("byte 19 bit 7 is Fahrenheit") << 19 << false << true << false;
        QTest::newRow("byte 15 bit 7 is Kelvin") << 15 << false << false << true;
    }

    void unitFlags() {
        QFETCH(int, byteNumber);
        QFETCH(bool, celsius);
        QFETCH(bool, fahrenheit);
        QFETCH(bool, kelvin);

        const DisplayState state = decodeDisplay(frameWith(byteNumber, 0x80));
        QCOMPARE(state.unitIsCelsius, celsius);
        QCOMPARE(state.unitIsFahrenheit, fahrenheit);
        QCOMPARE(state.unitIsKelvin, kelvin);
        QCOMPARE(state.shown(u"ImaC"), celsius);
        QCOMPARE(state.shown(u"ImaF"), fahrenheit);
        QCOMPARE(state.shown(u"ImaK"), kelvin);

        // The other bits of those bytes are not unit marks.
        const DisplayState others = decodeDisplay(frameWith(byteNumber, 0x7F));
        QVERIFY(!others.unitIsCelsius && !others.unitIsFahrenheit && !others.unitIsKelvin);
    }

    void shortFrameGivesBlankState() {
        QCOMPARE(decodeDisplay(QByteArray(kFrameLength - 1, '\xFF')), DisplayState{});
        QCOMPARE(decodeDisplay(QByteArrayView()), DisplayState{});
        // A longer buffer decodes its first frame.
        QCOMPARE(decodeDisplay(QByteArray(kFrameLength + 5, '\xFF')),
                 decodeDisplay(QByteArray(kFrameLength, '\xFF')));
    }

    void typeByte_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QChar>("letterBefore");
        QTest::addColumn<int>("countBefore");
        QTest::addColumn<bool>("frozen");
        QTest::addColumn<QChar>("letter");
        QTest::addColumn<int>("count");

        QTest::newRow("40: K, 4 channels") << 0x40 << QChar(u'J') << 1 << false << QChar(u'K') << 4;
        QTest::newRow("12: R, 1 channel") << 0x12 << QChar(u'K') << 4 << false << QChar(u'R') << 1;
        QTest::newRow("27: type kept, 2 channels")
            << 0x27 << QChar(u'J') << 4 << false << QChar(u'J') << 2;
        QTest::newRow("07 before any type") << 0x07 << QChar() << 4 << false << QChar() << 0;
        QTest::newRow("bit 3 ignored") << 0x4B << QChar(u'K') << 1 << false << QChar(u'S') << 4;
        QTest::newRow("frozen keeps the count")
            << 0x14 << QChar(u'K') << 4 << true << QChar(u'T') << 4;
        QTest::newRow("odd count stored") << 0xF5 << QChar(u'K') << 4 << false << QChar(u'E') << 15;
    }

    void typeByte() {
        QFETCH(int, status);
        QFETCH(QChar, letterBefore);
        QFETCH(int, countBefore);
        QFETCH(bool, frozen);
        QFETCH(QChar, letter);
        QFETCH(int, count);

        QChar typeLetter = letterBefore;
        int channelCount = countBefore;
        decodeTypeByte(quint8(status), typeLetter, channelCount, frozen);
        QCOMPARE(typeLetter, letter);
        QCOMPARE(channelCount, count);
    }

    void readings_data() {
        QTest::addColumn<QChar>("type");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("texts"); // Celsius, Fahrenheit, Kelvin

        QTest::newRow("K freezing") << QChar(u'K') << 4680 << "0.0 32.0 273.0";
        QTest::newRow("K just below freezing") << QChar(u'K') << 4679 << "-0.1 31.9 272.9";
        QTest::newRow("K lowest raw") << QChar(u'K') << 1 << "-259.9 -435.9 13.1";
        QTest::newRow("no type yet") << QChar() << 6480 << "100.0 212.0 373.0";
        QTest::newRow("R boiling") << QChar(u'R') << 6480 << "100 212 373";
        // Whole degrees: halves go to the even neighbour, and what rounds to zero from below
        // prints "0", never "-0". Every raw word is checked against the formulas further down.
        QTest::newRow("R F 0.5 -> 0") << QChar(u'R') << 4365 << "-18 0 256";
        QTest::newRow("S F -0.5 -> 0") << QChar(u'S') << 4355 << "-18 0 255";
        QTest::newRow("S F -0.6 -> -1") << QChar(u'S') << 4354 << "-18 -1 255";
        QTest::newRow("R C 0.5 -> 0, K 273.5 -> 274") << QChar(u'R') << 4689 << "0 33 274";
    }

    void readings() {
        QFETCH(QChar, type);
        QFETCH(int, raw);
        QFETCH(QString, texts);
        const QStringList expected = texts.split(u' ');
        QCOMPARE(formatReading(quint16(raw), TempUnit::Celsius, type), expected[0]);
        QCOMPARE(formatReading(quint16(raw), TempUnit::Fahrenheit, type), expected[1]);
        QCOMPARE(formatReading(quint16(raw), TempUnit::Kelvin, type), expected[2]);
    }

    void rangeMarksApplyToTheirChannelOnly_data() {
        QTest::addColumn<QChar>("type");
        QTest::addColumn<int>("raw");
        QTest::addColumn<QString>("mark");

        QTest::newRow("K over") << QChar(u'K') << 65535 << "OL";
        QTest::newRow("K under") << QChar(u'K') << 0 << "-OL";
        QTest::newRow("S under") << QChar(u'S') << 0 << "-OL";
    }

    void rangeMarksApplyToTheirChannelOnly() {
        QFETCH(QChar, type);
        QFETCH(int, raw);
        QFETCH(QString, mark);

        const ReadingText text = decodeReadings(rawWords(6480, 6480, quint16(raw), 6480), type);
        const QString normalC = formatReading(6480, TempUnit::Celsius, type);
        for (int channel = 0; channel < kChannels; ++channel) {
            const std::size_t c = std::size_t(channel);
            if (channel == 2) {
                QCOMPARE(text[c], mark);
                QCOMPARE(text[c + 4], mark);
                QCOMPARE(text[c + 8], mark);
            } else {
                QCOMPARE(text[c], normalC);
            }
        }
        QCOMPARE(formatReading(quint16(raw), TempUnit::Kelvin, type), mark);
    }

    void readingTextOrderIsCelsiusThenFahrenheitThenKelvin() {
        const ReadingText text = decodeReadings(rawWords(4680, 6480, 4360, 0x1248), QChar(u'K'));
        const ReadingText expected = {"0.0", "100.0", "-17.8", "0.0",   "32.0",  "212.0",
                                      "0.0", "32.0",  "273.0", "373.0", "255.2", "273.0"};
        QCOMPARE(text, expected);
    }

    void shortReadingBytesLeaveMissingChannelsEmpty() {
        const ReadingText text = decodeReadings(rawWords(4680, 6480, 0, 0).left(5), QChar(u'K'));
        QCOMPARE(text[0], QStringLiteral("0.0"));
        QCOMPARE(text[1], QStringLiteral("100.0"));
        QVERIFY(text[2].isEmpty() && text[3].isEmpty());
        QVERIFY(text[6].isEmpty() && text[7].isEmpty());
        QVERIFY(text[10].isEmpty() && text[11].isEmpty());
    }

    void everyRawMatchesTheConversionFormulas() {
        QCOMPARE(std::fegetround(), FE_TONEAREST);
        for (QChar type : kAllTypes) {
            for (int raw = 1; raw < 65535; ++raw) {
                for (TempUnit unit : {TempUnit::Celsius, TempUnit::Fahrenheit, TempUnit::Kelvin}) {
                    const QString text = formatReading(quint16(raw), unit, type);
                    const QString expected = referenceText(quint16(raw), unit, type);
                    if (text != expected || text == u"-0" || text == u"-0.0") {
                        QFAIL(qPrintable(QStringLiteral("type %1 raw %2 unit %3: got %4, want %5")
                                             .arg(type)
                                             .arg(raw)
                                             .arg(int(unit))
                                             .arg(text, expected)));
                    }
                }
            }
        }
    }

    void celsiusKeyAgreesWithCelsiusText() {
        for (QChar type : kAllTypes) {
            const bool whole = type == u'R' || type == u'S';
            qint32 previous = celsiusKey(0, type);
            QCOMPARE(previous, std::numeric_limits<qint32>::min());
            for (int raw = 1; raw < 65535; ++raw) {
                const qint32 key = celsiusKey(quint16(raw), type);
                const QString text = formatReading(quint16(raw), TempUnit::Celsius, type);
                bool ok = false;
                const double value = text.toDouble(&ok);
                if (!ok || key != qRound64(value * 10) || (whole && key % 10 != 0) ||
                    key < previous || key == std::numeric_limits<qint32>::min()) {
                    QFAIL(qPrintable(QStringLiteral("type %1 raw %2: key %3, text %4")
                                         .arg(type)
                                         .arg(raw)
                                         .arg(key)
                                         .arg(text)));
                }
                previous = key;
            }
            const qint32 over = celsiusKey(65535, type);
            QCOMPARE(over, std::numeric_limits<qint32>::max());
            QVERIFY(over > previous);
        }
    }
};

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "tst_framedecoder.moc"
