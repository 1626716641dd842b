#pragma once

// The meter's real-time clock: six BCD bytes YY MM DD hh mm ss, read with "C" (framed by 02 and
// 0D, 8 bytes) and set with "D" (the six bytes as payload, not acknowledged).

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <functional>
#include <optional>

namespace serial {
struct LinkSession;
}

namespace settings {

// YY, MM, DD, hh, mm, ss: two decimal digits per byte, tens in the high nibble.
using MeterClockBcd = std::array<quint8, 6>;

// The last two decimal digits of `value` as one BCD byte (2024 -> 0x24, 3 -> 0x03).
quint8 toBcd(int value);

// The six bytes of one reading of a clock: every field comes from the same moment.
MeterClockBcd clockBytes(const QDateTime& moment);
QByteArray clockPayload(const MeterClockBcd& bytes);

// A "C" reply: 02, six clock bytes, 0D (bytes after the eighth are ignored). Nothing when it
// is shorter or not framed.
std::optional<MeterClockBcd> parseClockReply(const QByteArray& reply);

// "YY/MM/DD hh:mm:ss", each byte as its two hexadecimal digits, so a BCD byte shows as its
// decimal digits (0x24 -> "24") and a byte that is not BCD shows as it is ("1A").
QString meterTimeText(const MeterClockBcd& bytes);
// The PC's clock in the same form.
QString pcTimeText(const QDateTime& moment);
// "D 24 03 15 14 05 09": a clock write as it goes on the wire.
QString clockWriteText(const MeterClockBcd& bytes);

// Link jobs (run on the link thread).
// "C" with the bounded request/reply; nothing when every attempt got a short or garbled reply.
std::optional<MeterClockBcd> readMeterClock(serial::LinkSession& session);
// Flush, then "D" and the six bytes of one reading of `now`, taken once the meter has answered
// the handshake: a port search on the way does not set the meter's clock late. Returns the
// bytes sent.
MeterClockBcd writeMeterClock(serial::LinkSession& session, const std::function<QDateTime()>& now);

} // namespace settings
