#pragma once

// The meter's alarm limits: the limit word on the wire and its value in each unit, the
// measuring range of each thermocouple type, the check of typed limits, the "J" reply and the
// "H" payload, and the two link jobs. The window's panel and the command line share all of it.
//
// Eight limits always travel in the meter's order: T1 high, T1 low, T2 high, ... T4 low.

#include "live/framedecoder.h"
#include "settings/typerange.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

namespace serial {
struct LinkSession;
}

namespace settings {

using live::TempUnit;

inline constexpr int kLimitCount = 8;
using LimitWords = std::array<quint16, kLimitCount>;
using LimitValues = std::array<double, kLimitCount>;
using LimitTexts = std::array<QString, kLimitCount>;

// "T1H", "T1L", ... "T4L" for index 0..7.
QString limitName(int index);

// The unit the display shows: the first of its C, F, K flags that is set; nothing when none is.
std::optional<TempUnit> shownUnit(const live::DisplayState& display);

// A limit word (tenths of a degree Fahrenheit from -436 F) as a value in `unit`: tenths of a
// degree, Celsius and Kelvin rounded halves to even.
double limitValue(quint16 word, TempUnit unit);
// The word the meter is sent for a typed value, rounded halves to even and kept in 0..65535.
quint16 limitWord(double value, TempUnit unit);
// The same temperature in another unit (Kelvin is Celsius + 273, as on the meter).
double convertTemperature(double value, TempUnit from, TempUnit to);
// The shortest decimal text of a value: "25.5", "-10", "1375"; never "-0".
QString limitText(double value);

// What the boxes of the panel show after "J": the eight values in `unit`; with 2 channels the
// limits of T3 and T4, with 1 channel those of T2..T4, are the type's range instead of what the
// meter holds (left as read when the type is unknown).
LimitTexts limitTexts(const LimitWords& words, TempUnit unit, QChar type, int channelCount);

// The leading-number rule for each box ("25.5 C" -> 25.5, "abc" -> 0).
LimitValues readLimitTexts(const LimitTexts& texts);

// Every channel (present or not) must hold min <= low < high <= max.
bool withinRange(const LimitValues& values, TypeRange range);
// "Error! 1375 >= High Alarm >= Low Alarm >= -200"
QString rangeMessage(TypeRange range);
// Nothing when the limits may be written; otherwise the message to show (the range message,
// or that the type is not known yet).
std::optional<QString> limitsRefusal(const LimitValues& values, QChar type, TempUnit unit);

// A "J" reply: 02, eight big-endian words, 0D (bytes after the 18th are ignored).
std::optional<LimitWords> parseLimitReply(const QByteArray& reply);
// The 16 bytes after "H": each value as its word, high byte first.
QByteArray limitPayload(const LimitValues& values, TempUnit unit);

// Link jobs (run on the link thread).
// "J" with the bounded request/reply; nothing when every attempt got a short or garbled reply.
std::optional<LimitWords> readLimits(serial::LinkSession& session);
// Flush, then "H" and the 16 bytes. The meter does not acknowledge it.
void writeLimits(serial::LinkSession& session, const QByteArray& payload);

} // namespace settings
