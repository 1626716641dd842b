#include "live/framedecoder.h"

#include <QLatin1StringView>

#include <cstdint>
#include <limits>
#include <string_view>

namespace live {

// Segment indices: 0 a top, 1 b upper right, 2 c lower right, 3 d bottom, 4 e lower left,
// 5 f upper left, 6 g middle.
namespace seg {
constexpr int a = 0, b = 1, c = 2, d = 3, e = 4, f = 5, g = 6;
} // namespace seg

constexpr std::array<int, kSegmentCount> kOrderASegments = {seg::d, seg::c, seg::e, seg::g,
                                                            seg::b, seg::f, seg::a};
constexpr std::array<int, kSegmentCount> kOrderBSegments = {seg::a, seg::f, seg::b, seg::g,
                                                            seg::e, seg::c, seg::d};

// The upper row is wired in order A, the lower row in order B; the upper right group arrives
// right to left and the lower right group is split around the annunciator byte 12.
constexpr std::array<DigitSource, kDigitCount> kDigitSources = {{
    {2, SegmentOrder::A},
    {3, SegmentOrder::A},
    {4, SegmentOrder::A},
    {5, SegmentOrder::A},
    {18, SegmentOrder::A},
    {17, SegmentOrder::A},
    {16, SegmentOrder::A},
    {15, SegmentOrder::A},
    {6, SegmentOrder::B},
    {7, SegmentOrder::B},
    {8, SegmentOrder::B},
    {9, SegmentOrder::B},
    {10, SegmentOrder::B},
    {11, SegmentOrder::B},
    {13, SegmentOrder::B},
    {14, SegmentOrder::B},
}};

// clang-format off
constexpr std::array<AnnunciatorInfo, kAnnunciatorCount> kAnnunciators = {{
    {"LblT3T3", 2, 7, "T3"},
    {"LblT3Minus", 3, 7, "-"},
    {"LblT3T4", 4, 7, "T4"},
    {"LblT1Dot", 5, 7, "."},
    {"ImaPlug", 6, 7, ""},
    {"LblShift", 7, 7, "SHIFT"},
    {"LblT3Dot", 8, 7, "."},
    {"LblUSB", 9, 7, "USB"},
    {"LblTime", 10, 7, "TIME"},
    {"LblY", 11, 7, "y"},
    {"LblT4DotDot", 12, 0, ":"},
    {"LblT4L", 12, 1, "l"},
    {"LblT2DotDot", 12, 2, ":"},
    {"LblT2L", 12, 3, "l"},
    {"Lbldm", 12, 7, "d:m"},
    {"Lblhm", 13, 7, "h:m"},
    {"Lblms", 14, 7, "m:s"},
    {"ImaK", 15, 7, ""},
    {"LblT2Dot", 16, 7, "."},
    {"LblT4T4", 17, 7, "T4"},
    {"LblT4T3", 18, 7, "T3"},
    {"LblREL", 19, 0, "REL"},
    {"LblCall", 19, 1, "CALL"},
    {"LblClose", 19, 2, "CLOSE"},
    {"ImaF", 19, 7, ""},
    {"LblAvg", 20, 0, "AVG"},
    {"LblMem", 20, 1, "MEM"},
    {"LblStart", 20, 2, "START"},
    {"LblT2T2", 20, 6, "T2"},
    {"ImaC", 20, 7, ""},
    {"LblMin", 21, 0, "MIN"},
    {"LblOffset", 21, 1, "OFFSET"},
    {"LblJ", 21, 2, "J"},
    {"LblRec", 21, 5, "REC"},
    {"LblT2T1", 21, 6, "T1"},
    {"LblT1T2", 21, 7, "T2"},
    {"LblMax", 22, 0, "MAX"},
    {"LblIntv", 22, 1, "INTV"},
    {"LblT", 22, 2, "T"},
    {"LblE", 22, 5, "E"},
    {"LblT1Minus", 22, 7, "-"},
    {"LblHold", 23, 0, "HOLD"},
    {"LblSetup", 23, 1, "SETUP"},
    {"LblLo", 23, 2, "Lo"},
    {"LblR", 23, 5, "R"},
    {"LblS", 23, 6, "S"},
    {"LblT4Dot", 23, 7, "."},
    {"ImaAPO", 24, 1, ""},
    {"ImaBt4", 24, 2, ""},
    {"LblHi", 24, 4, "HI"},
    {"LblK", 24, 5, "K"},
    {"LblN", 24, 6, "N"},
    {"ImaBt3", 25, 2, ""},
    {"ImaBt2", 25, 3, ""},
    {"ImaBt1", 25, 4, ""},
    {"LblLimit", 25, 5, "LIMIT"},
    {"LblType", 25, 6, "TYPE:"},
    {"LblT1T1", 25, 7, "T1"},
}};
// clang-format on

namespace {

constexpr bool isSegmentByte(int byte) {
    for (const DigitSource& src : kDigitSources)
        if (src.byte == byte)
            return true;
    return false;
}

// A clash here would make one bit drive two symbols, or a symbol steal a segment.
constexpr bool annunciatorBitsAreSound() {
    for (std::size_t i = 0; i < kAnnunciators.size(); ++i) {
        const AnnunciatorInfo& info = kAnnunciators[i];
        if (info.byte < kFirstDisplayOffset + 1 || info.byte > kLastDisplayOffset + 1 ||
            info.bit < 0 || info.bit > 7)
            return false;
        if (isSegmentByte(info.byte) && info.bit != 7)
            return false;
        for (std::size_t j = i + 1; j < kAnnunciators.size(); ++j)
            if (kAnnunciators[j].byte == info.byte && kAnnunciators[j].bit == info.bit)
                return false;
    }
    return true;
}
static_assert(annunciatorBitsAreSound());

constexpr int indexOf(const char* name) {
    for (std::size_t i = 0; i < kAnnunciators.size(); ++i) {
        std::string_view candidate = kAnnunciators[i].name;
        if (candidate == name)
            return static_cast<int>(i);
    }
    return -1;
}
constexpr int kIndexImaC = indexOf("ImaC");
constexpr int kIndexImaF = indexOf("ImaF");
constexpr int kIndexImaK = indexOf("ImaK");
static_assert(kIndexImaC >= 0 && kIndexImaF >= 0 && kIndexImaK >= 0);

constexpr std::array<char, 7> kTypeLetters = {'K', 'N', 'R', 'S', 'T', 'E', 'J'};

// Exact integer counterpart of nearest(num / den) with halves to the even neighbour;
// den > 0. Doing it in integers keeps halves exact where a double quotient would not be.
constexpr qint64 roundDivEven(qint64 num, qint64 den) {
    qint64 q = num / den;
    qint64 r = num % den;
    if (r < 0) { // make it a floor division
        --q;
        r += den;
    }
    if (2 * r > den || (2 * r == den && (q & 1) != 0))
        ++q;
    return q;
}

// Celsius tenths = nearest((raw - 4680) * 5 / 9); Kelvin tenths = nearest((raw + 234) * 5 / 9)
// which is the Celsius value + 273.0. The ninths never end in an exact half.
constexpr qint32 celsiusTenths(quint16 raw) {
    return static_cast<qint32>(roundDivEven((qint64(raw) - kWordOfZeroC) * 5, 9));
}
constexpr qint32 kelvinTenths(quint16 raw) {
    return static_cast<qint32>(roundDivEven((qint64(raw) + kKelvinOffsetWords) * 5, 9));
}
constexpr qint32 fahrenheitTenths(quint16 raw) {
    return qint32(raw) - kWordOfZeroF;
}

static_assert(celsiusTenths(4680) == 0 && kelvinTenths(4680) == 2730);
static_assert(celsiusTenths(4360) == -178 && kelvinTenths(4360) == 2552);
static_assert(roundDivEven(5, 10) == 0 && roundDivEven(15, 10) == 2 && roundDivEven(-5, 10) == 0);
static_assert(roundDivEven(-15, 10) == -2 && roundDivEven(2725, 10) == 272);

// Written by hand: this runs for every cell of files with up to 864000 rows.
QString formatFixed(qint32 value, bool oneDecimal) {
    char16_t buf[16];
    int pos = 16;
    const bool negative = value < 0;
    quint32 magnitude = negative ? quint32(-qint64(value)) : quint32(value);
    if (oneDecimal) {
        buf[--pos] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
        buf[--pos] = u'.';
    }
    do {
        buf[--pos] = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    // value is an integer, so a zero is never negative: no "-0" or "-0.0".
    if (negative)
        buf[--pos] = u'-';
    return QString(reinterpret_cast<const QChar*>(buf + pos), 16 - pos);
}

} // namespace

int annunciatorIndex(QStringView name) {
    for (std::size_t i = 0; i < kAnnunciators.size(); ++i)
        if (name == QLatin1StringView(kAnnunciators[i].name))
            return static_cast<int>(i);
    return -1;
}

bool DisplayState::shown(QStringView annunciatorName) const {
    const int index = annunciatorIndex(annunciatorName);
    return index >= 0 && annunciators[std::size_t(index)];
}

DisplayState decodeDisplay(QByteArrayView frame) {
    DisplayState state;
    if (frame.size() < kFrameLength)
        return state;
    const auto byteAt = [&frame](int byteNumber) { return quint8(frame[byteNumber - 1]); };

    for (std::size_t digit = 0; digit < kDigitSources.size(); ++digit) {
        const DigitSource& src = kDigitSources[digit];
        const quint8 value = byteAt(src.byte);
        const auto& order = src.order == SegmentOrder::A ? kOrderASegments : kOrderBSegments;
        for (int bit = 0; bit < kSegmentCount; ++bit)
            state.segments[digit][std::size_t(order[std::size_t(bit)])] = ((value >> bit) & 1) != 0;
    }
    for (std::size_t i = 0; i < kAnnunciators.size(); ++i)
        state.annunciators[i] = ((byteAt(kAnnunciators[i].byte) >> kAnnunciators[i].bit) & 1) != 0;
    state.unitIsCelsius = state.annunciators[kIndexImaC];
    state.unitIsFahrenheit = state.annunciators[kIndexImaF];
    state.unitIsKelvin = state.annunciators[kIndexImaK];
    return state;
}

QChar typeLetterForCode(int code) {
    if (code < 0 || code >= int(kTypeLetters.size()))
        return QChar();
    return QChar::fromLatin1(kTypeLetters[std::size_t(code)]);
}

void decodeTypeByte(quint8 status, QChar& typeLetter, int& channelCount, bool channelCountFrozen) {
    const QChar letter = typeLetterForCode(status % 8);
    if (!letter.isNull())
        typeLetter = letter;
    if (!channelCountFrozen)
        channelCount = status / 16;
}

bool isWholeDegreeType(QChar typeLetter) {
    return typeLetter == u'R' || typeLetter == u'S';
}

qint32 readingTenths(quint16 raw, TempUnit unit, QChar typeLetter) {
    qint32 tenths = 0;
    switch (unit) {
    case TempUnit::Celsius:
        tenths = celsiusTenths(raw);
        break;
    case TempUnit::Fahrenheit:
        tenths = fahrenheitTenths(raw);
        break;
    case TempUnit::Kelvin:
        tenths = kelvinTenths(raw);
        break;
    }
    // Whole-degree types round the already rounded tenths once more, halves to even,
    // exactly as the meter's own readings are rounded.
    if (isWholeDegreeType(typeLetter))
        tenths = static_cast<qint32>(roundDivEven(tenths, 10) * 10);
    return tenths;
}

QString formatReading(quint16 raw, TempUnit unit, QChar typeLetter) {
    if (raw == kRawOverRange)
        return QStringLiteral("OL");
    if (raw == kRawUnderRange)
        return QStringLiteral("-OL");
    const qint32 tenths = readingTenths(raw, unit, typeLetter);
    if (isWholeDegreeType(typeLetter))
        return formatFixed(tenths / 10, false);
    return formatFixed(tenths, true);
}

ReadingText decodeReadings(QByteArrayView eightBytes, QChar typeLetter) {
    ReadingText text;
    for (int channel = 0; channel < kChannels; ++channel) {
        const qsizetype high = 2 * channel;
        if (high + 1 >= eightBytes.size())
            break;
        const auto raw = quint16((quint8(eightBytes[high]) << 8) | quint8(eightBytes[high + 1]));
        text[std::size_t(channel)] = formatReading(raw, TempUnit::Celsius, typeLetter);
        text[std::size_t(kChannels + channel)] =
            formatReading(raw, TempUnit::Fahrenheit, typeLetter);
        text[std::size_t(2 * kChannels + channel)] =
            formatReading(raw, TempUnit::Kelvin, typeLetter);
    }
    return text;
}

qint32 celsiusKey(quint16 raw, QChar typeLetter) {
    if (raw == kRawOverRange)
        return std::numeric_limits<qint32>::max();
    if (raw == kRawUnderRange)
        return std::numeric_limits<qint32>::min();
    return readingTenths(raw, TempUnit::Celsius, typeLetter);
}

TempUnit unitOfFlags(bool isCelsius, bool isFahrenheit, bool isKelvin) {
    if (isCelsius)
        return TempUnit::Celsius;
    if (isFahrenheit)
        return TempUnit::Fahrenheit;
    if (isKelvin)
        return TempUnit::Kelvin;
    return TempUnit::Celsius;
}

} // namespace live
