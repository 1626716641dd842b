#pragma once

// The two sampling intervals: the meter's own (read with "K", written with "F") and the PC
// recording interval. Typed texts, reply bytes and payload bytes are converted here, and the
// two link jobs run the exchanges on the link thread.

#include "serial/meterprofile.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace serial {
struct LinkSession;
}

namespace settings {

using serial::profile::kMaxInterval;
using serial::profile::kMinInterval;

// Rounds to a whole number of seconds, halves to the even neighbour, then clamps to
// 1..86400. Infinities clamp too; NaN gives the lower bound.
int roundInterval(double seconds);

// What the user did with an interval input box.
struct IntervalEntry {
    enum class Kind { Cancelled, Accepted, NotANumber };
    Kind kind = Kind::Cancelled;
    int seconds = 0; // Accepted: the rounded and clamped interval
    QString typed;   // NotANumber: the text as typed, for the message
};

// An empty (or blank) answer counts as Cancel, like the box's own Cancel (nullopt).
// Otherwise the text must be a number ("2.5", "-5", "1e3") and is rounded and clamped;
// anything else ("60s", "1,5", "abc") is NotANumber.
IntervalEntry parseIntervalEntry(const std::optional<QString>& answer);

// The message for a text that is not a number. Nothing is changed when it is shown.
QString notANumberMessage(const QString& typed);

// The meter's interval given as an argument ("qr512 interval --set"): read and rounded as the
// input boxes do, but refused instead of clamped when the rounded value is outside 1..86400, so
// a script never gets another interval than it asked for. A blank text is not a number.
struct IntervalArgument {
    int seconds = 0; // when `refusal` is empty
    QString refusal; // the message, nothing to send
};
IntervalArgument parseIntervalArgument(const QString& text);
QString outOfRangeMessage(const QString& typed);

// The "F" write as it goes on the wire: "F 00 0E 8D".
QString intervalWriteText(int seconds);

// Input boxes: prompts (two lines) and their common title.
QString pcIntervalPrompt();
QString meterIntervalPrompt();
QString serviceIntervalPrompt();
QString intervalTitle();

// A "K" reply: 02 hi mid lo 0D (bytes after the fifth are ignored) -> seconds, as the meter
// reports it (not clamped). Nothing when shorter than 5 bytes or not framed by 02 and 0D.
std::optional<int> parseIntervalReply(const QByteArray& reply);

// The 3 bytes after "F": seconds div 65536, (seconds mod 65536) div 256, seconds mod 256.
// The value is clamped to 1..86400 first, so the meter is never sent an interval it cannot run.
QByteArray intervalPayload(int seconds);

// Link jobs (run on the link thread).
// "K" with the bounded request/reply; nothing when every attempt got a short or garbled reply.
std::optional<int> readMeterInterval(serial::LinkSession& session);
// Flush, then "F" and the 3 interval bytes. The meter does not acknowledge it.
void writeMeterInterval(serial::LinkSession& session, int seconds);

} // namespace settings
