#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <array>

namespace sim {

// Everything the meter's display frame depends on at one moment.
struct FrameContent {
    int channels = 4;
    char type = 'K';
    char unit = 'C';
    bool hold = false;
    bool recording = false;
    int memoryCount = 0;
    std::array<quint16, 4> raw{}; // the words the display shows (held ones while HOLD is on)
};

// The two ways the LCD driver wires the seven segments of a digit onto bits 0..6.
enum class SegmentOrder { A, B };

inline constexpr int kFrameLength = 37;
inline constexpr quint16 kOverRange = 65535;
inline constexpr quint16 kUnderRange = 0;

// Type letter -> 3-bit code on the wire (K N R S T E J = 0..6); -1 for an unknown letter.
int typeCode(char type);
// Bits 0-2 the type code, bits 4-7 the channel count.
quint8 statusByte(char type, int channels);
// One glyph (' ', '0'..'9', '-', 'O', 'L') as a segment byte in the given order, bit 7 clear.
quint8 encodeGlyph(char glyph, SegmentOrder order);
// The text a channel shows for a raw word: unit C/F/K, whole degrees for R and S,
// "OL"/"-OL" for the range marks. Returns tenths (or whole degrees when !oneDecimal).
struct DisplayValue {
    bool overRange = false;
    bool underRange = false;
    bool oneDecimal = true;
    int value = 0; // tenths when oneDecimal, else whole degrees
};
DisplayValue displayValue(quint16 raw, char type, char unit);
// The complete 37-byte frame (02 ... 0D).
QByteArray buildFrame(const FrameContent& content);

} // namespace sim
