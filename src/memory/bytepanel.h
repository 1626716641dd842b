#pragma once

// The service byte panel: a command text and up to sixteen typed byte values sent to the
// meter as they are, and whatever comes back within 20 ms shown as hexadecimal bytes. The
// window's panel and `qr512 send` read their texts with the same rules.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace serial {
struct LinkSession;
}

namespace memory {

inline constexpr int kPayloadBoxes = 16; // Cmd2..Cmd17
inline constexpr double kByteReplyWait = 0.02;

// What the texts ask to send. `error` non-empty: refused, nothing may be sent.
struct ByteRequest {
    QByteArray command; // the command text, one byte per character
    QByteArray payload; // the boxes' values up to the first empty box
    QString error;
};

// A box's value: the leading-number rule with "&H" (or "0x") for hexadecimal, halves to even.
// Not clamped: the caller refuses what is outside 0..255. NaN never comes back (text without a
// number reads as 0).
double boxValue(const QString& text);

// The command text is sent unchanged; the payload is the boxes from the first one up to the
// first empty (or blank) box, at most sixteen; boxes after an empty one are ignored even when
// they hold text. A value outside 0..255, a character that is not one byte, or more than
// sixteen values are refused with a message. An empty command gives an empty request (nothing
// to send) without an error.
ByteRequest parseByteRequest(const QString& command, const QStringList& boxes);

// Each byte as two upper-case hexadecimal digits followed by two blanks: "02  41  0D  ".
QString replyText(const QByteArray& reply);

// Link job: flush, handshake, the command, 2 ms and the payload in one write (when there is
// one), 20 ms, then everything that has arrived, unchecked (late bytes are left for the next
// reader's flush).
QByteArray exchangeBytes(serial::LinkSession& session, const QByteArray& command,
                         const QByteArray& payload);

} // namespace memory
