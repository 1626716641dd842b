#pragma once

// Decoding of the meter's live display frame: the LCD image (segments and annunciators),
// the status byte (thermocouple type, channel count) and the four raw temperature words.
// Everything here is a pure function over bytes so that the live poll, the memory download
// and the recorder share one definition of what a frame means.

#include "serial/meterprofile.h"

#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <array>

namespace live {

constexpr int kFrameLength = serial::profile::kFrameLength;

// 0-based offsets into a frame (the frame's first byte, 02, is offset 0).
constexpr int kFirstDisplayOffset = 1; // bytes 2..25 carry the LCD image
constexpr int kLastDisplayOffset = 24;
constexpr int kStatusOffset = 25;   // thermocouple type and channel count
constexpr int kReadingsOffset = 26; // four big-endian raw words, T1..T4
constexpr int kReadingsLength = 8;
constexpr int kMemoryCountOffset = 34; // big-endian record count

constexpr int kDigitCount = 16;
constexpr int kSegmentCount = 7;
constexpr int kAnnunciatorCount = 58;
constexpr int kChannels = 4;

// The meter's temperature words: 4680 is 0 C (32 F), one Celsius tenth is 1.8 words (one
// Fahrenheit tenth one word), and Kelvin is Celsius + 273.
constexpr int kWordOfZeroC = 4680;
constexpr int kWordOfZeroF = 4360;
constexpr int kKelvinOffsetWords = 234; // 4680 - 273 * 18

// Raw words that stand for "over range" and "under range" instead of a temperature.
constexpr quint16 kRawOverRange = 65535;
constexpr quint16 kRawUnderRange = 0;

enum class TempUnit { Celsius, Fahrenheit, Kelvin };

// The unit the display's flags show, Celsius when none is set (what a file's statistics list).
TempUnit unitOfFlags(bool isCelsius, bool isFahrenheit, bool isKelvin);

// One LCD symbol outside the digits. `byte` counts from 1 as the meter's frame does;
// `caption` is the text the symbol shows, empty for symbols drawn as pictures.
struct AnnunciatorInfo {
    const char* name;
    int byte;
    int bit;
    const char* caption;
};

extern const std::array<AnnunciatorInfo, kAnnunciatorCount> kAnnunciators;

// Index into kAnnunciators / DisplayState::annunciators, -1 if unknown.
int annunciatorIndex(QStringView name);

// Where a digit's segment byte sits in the frame (1-based) and which bit order it uses.
enum class SegmentOrder { A, B };
struct DigitSource {
    int byte;
    SegmentOrder order;
};
// Indexed by digit LCD1..LCD16 as 0..15.
extern const std::array<DigitSource, kDigitCount> kDigitSources;
// Segment (0..6 = a..g) that bit 0..6 of a segment byte lights, per order.
extern const std::array<int, kSegmentCount> kOrderASegments;
extern const std::array<int, kSegmentCount> kOrderBSegments;

struct DisplayState {
    // [digit LCD1..LCD16 as 0..15][segment a..g as 0..6]
    std::array<std::array<bool, kSegmentCount>, kDigitCount> segments{};
    std::array<bool, kAnnunciatorCount> annunciators{};
    bool unitIsCelsius = false;
    bool unitIsFahrenheit = false;
    bool unitIsKelvin = false;

    // False for names that are not annunciators.
    bool shown(QStringView annunciatorName) const;
    bool operator==(const DisplayState&) const = default;
};

// frame[0] is the leading 02. A frame shorter than kFrameLength gives a blank state (the
// live poll never passes one; this keeps a stray caller from reading past the end).
DisplayState decodeDisplay(QByteArrayView frame);

// Status byte: sets typeLetter (left unchanged for code 7) and, unless frozen, channelCount.
// Any count is stored, including ones no meter reports; callers match it against 1, 2, 4.
void decodeTypeByte(quint8 status, QChar& typeLetter, int& channelCount, bool channelCountFrozen);

// 0..6 -> K N R S T E J, anything else -> null QChar.
QChar typeLetterForCode(int code);

// Types R and S read in whole degrees; every other type (and no type yet) in tenths.
bool isWholeDegreeType(QChar typeLetter);

// T1C..T4C, T1F..T4F, T1K..T4K
using ReadingText = std::array<QString, 3 * kChannels>;

// One value in one unit: "0.0" style, whole degrees for R and S, "OL" / "-OL" for the
// range marks. Never "-0" or "-0.0".
QString formatReading(quint16 raw, TempUnit unit, QChar typeLetter);

// Eight bytes = four big-endian raw words T1..T4. Channels whose two bytes are missing
// (a short argument) get empty texts.
ReadingText decodeReadings(QByteArrayView eightBytes, QChar typeLetter);

// Integer that orders readings as their Celsius text compares numerically: tenths of a
// degree (whole-degree types give multiples of 10); "OL" and "-OL" get the extremes.
qint32 celsiusKey(quint16 raw, QChar typeLetter);

// The value behind formatReading's text, in tenths of a degree of the given unit (whole
// degree types give multiples of 10). Meaningless for the two range marks.
qint32 readingTenths(quint16 raw, TempUnit unit, QChar typeLetter);

} // namespace live
