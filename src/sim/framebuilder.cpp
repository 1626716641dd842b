#include "sim/framebuilder.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace sim {

namespace {

// A bit of the frame, the byte counted from 1 as the frame layout counts it.
struct Bit {
    int byte;
    int bit;
};

// Segment a..g -> bit number, for each wiring.
constexpr std::array<int, 7> kOrderA = {6, 4, 1, 0, 2, 5, 3};
constexpr std::array<int, 7> kOrderB = {0, 2, 5, 6, 4, 1, 3};

// Lit segments per glyph, bit 0 = a ... bit 6 = g.
int glyphSegments(char glyph) {
    switch (glyph) {
    case '0':
    case 'O':
        return 0x3F;
    case '1':
        return 0x06;
    case '2':
        return 0x5B;
    case '3':
        return 0x4F;
    case '4':
        return 0x66;
    case '5':
        return 0x6D;
    case '6':
        return 0x7D;
    case '7':
        return 0x07;
    case '8':
        return 0x7F;
    case '9':
        return 0x6F;
    case '-':
        return 0x40;
    case 'L':
        return 0x38;
    default:
        return 0;
    }
}

// One 4-digit group of the LCD: where its digits sit and which marks belong to it.
struct Group {
    std::array<int, 4> digitBytes; // digits 1..4, left to right
    SegmentOrder order;
    Bit dot;                  // between digits 3 and 4
    std::optional<Bit> minus; // groups 2 and 4 have none and draw the dash with a digit
    Bit mark;                 // channel mark "T1".."T4"
};

// Channel n is shown on group n.
const std::array<Group, 4> kGroups = {{
    {{2, 3, 4, 5}, SegmentOrder::A, {5, 7}, Bit{22, 7}, {25, 7}},
    {{18, 17, 16, 15}, SegmentOrder::A, {16, 7}, std::nullopt, {20, 6}},
    {{6, 7, 8, 9}, SegmentOrder::B, {8, 7}, Bit{3, 7}, {2, 7}},
    {{10, 11, 13, 14}, SegmentOrder::B, {23, 7}, std::nullopt, {17, 7}},
}};

constexpr Bit kUnitK{15, 7};
constexpr Bit kUnitF{19, 7};
constexpr Bit kUnitC{20, 7};
constexpr Bit kMem{20, 1};
constexpr Bit kRec{21, 5};
constexpr Bit kHold{23, 0};
constexpr Bit kTypeCaption{25, 6};

std::optional<Bit> typeLetterBit(char type) {
    switch (type) {
    case 'J':
        return Bit{21, 2};
    case 'T':
        return Bit{22, 2};
    case 'E':
        return Bit{22, 5};
    case 'R':
        return Bit{23, 5};
    case 'S':
        return Bit{23, 6};
    case 'K':
        return Bit{24, 5};
    case 'N':
        return Bit{24, 6};
    default:
        return std::nullopt;
    }
}

void setBit(QByteArray& frame, Bit b) {
    frame[b.byte - 1] = char(quint8(frame[b.byte - 1]) | (1u << b.bit));
}

int powerOfTen(int n) {
    int p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

void drawGroup(QByteArray& frame, const Group& group, const DisplayValue& dv) {
    std::array<char, 4> glyphs = {' ', ' ', ' ', ' '};
    bool dot = false;
    bool minus = false;
    if (dv.overRange || dv.underRange) {
        glyphs = {' ', ' ', 'O', 'L'};
        if (dv.underRange) {
            if (group.minus)
                minus = true;
            else
                glyphs[1] = '-';
        }
    } else {
        const bool negative = dv.value < 0;
        // Without a minus mark the dash costs the group one digit.
        const int room = negative && !group.minus ? 3 : 4;
        const int magnitude = std::abs(dv.value);
        QByteArray digits;
        if (dv.oneDecimal && magnitude < powerOfTen(room)) {
            digits = QByteArray::number(magnitude).rightJustified(2, '0');
            dot = true;
        } else {
            int whole = dv.oneDecimal ? int(std::nearbyint(magnitude / 10.0)) : magnitude;
            whole = std::min(whole, powerOfTen(room) - 1);
            digits = QByteArray::number(whole);
        }
        const int first = 4 - int(digits.size());
        for (int i = 0; i < digits.size(); ++i)
            glyphs[size_t(first + i)] = digits[i];
        if (negative) {
            if (group.minus)
                minus = true;
            else
                glyphs[size_t(first - 1)] = '-';
        }
    }
    for (size_t i = 0; i < 4; ++i) {
        const int index = group.digitBytes[i] - 1;
        frame[index] = char(quint8(frame[index]) | encodeGlyph(glyphs[i], group.order));
    }
    if (dot)
        setBit(frame, group.dot);
    if (minus)
        setBit(frame, *group.minus);
    setBit(frame, group.mark);
}

} // namespace

int typeCode(char type) {
    static constexpr char kOrder[] = "KNRSTEJ";
    for (int i = 0; i < 7; ++i)
        if (kOrder[i] == type)
            return i;
    return -1;
}

quint8 statusByte(char type, int channels) {
    const int code = typeCode(type);
    return quint8(((channels & 0x0F) << 4) | (code < 0 ? 7 : code));
}

quint8 encodeGlyph(char glyph, SegmentOrder order) {
    const auto& map = order == SegmentOrder::A ? kOrderA : kOrderB;
    const int segments = glyphSegments(glyph);
    quint8 byte = 0;
    for (size_t s = 0; s < 7; ++s)
        if (segments & (1 << s))
            byte |= quint8(1u << map[s]);
    return byte;
}

DisplayValue displayValue(quint16 raw, char type, char unit) {
    DisplayValue dv;
    dv.overRange = raw == kOverRange;
    dv.underRange = raw == kUnderRange;
    dv.oneDecimal = type != 'R' && type != 'S';
    // Fractions of ninths never end in an exact half, so nearbyint's tie rule only matters
    // for the whole-degree rounding below, where it rounds halves to even like the host.
    const double celsiusTenths = std::nearbyint((int(raw) - 4680) * 5 / 9.0);
    double tenths = 0;
    switch (unit) {
    case 'F':
        tenths = int(raw) - 4360;
        break;
    case 'K':
        tenths = celsiusTenths + 2730;
        break;
    default:
        tenths = celsiusTenths;
        break;
    }
    dv.value = dv.oneDecimal ? int(tenths) : int(std::nearbyint(tenths / 10.0));
    return dv;
}

QByteArray buildFrame(const FrameContent& content) {
    QByteArray frame(kFrameLength, '\0');
    frame[0] = 0x02;
    frame[kFrameLength - 1] = 0x0D;

    const int shown = content.channels >= 4 ? 4 : content.channels >= 2 ? 2 : 1;
    for (int ch = 0; ch < shown; ++ch) {
        drawGroup(frame, kGroups[size_t(ch)],
                  displayValue(content.raw[size_t(ch)], content.type, content.unit));
    }

    setBit(frame, content.unit == 'F' ? kUnitF : content.unit == 'K' ? kUnitK : kUnitC);
    setBit(frame, kTypeCaption);
    if (const auto letter = typeLetterBit(content.type))
        setBit(frame, *letter);
    if (content.hold)
        setBit(frame, kHold);
    if (content.recording)
        setBit(frame, kRec);
    if (content.memoryCount > 0)
        setBit(frame, kMem);

    frame[25] = char(statusByte(content.type, content.channels));
    for (size_t ch = 0; ch < 4; ++ch) {
        frame[26 + int(ch) * 2] = char(content.raw[ch] >> 8);
        frame[27 + int(ch) * 2] = char(content.raw[ch] & 0xFF);
    }
    frame[34] = char((content.memoryCount >> 8) & 0xFF);
    frame[35] = char(content.memoryCount & 0xFF);
    return frame;
}

} // namespace sim
