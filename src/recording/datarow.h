#pragma once

// One recorded or downloaded reading, kept as the meter sent it. Ten days of one-second
// samples are 864000 rows, so a row holds raw words and a plain second count instead of
// twelve texts; the texts are made only when a file or a caption needs them.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QtGlobal>

#include <array>
#include <optional>

namespace recording {

struct DataRow {
    // Local wall-clock date and time as seconds since 1970-01-01 00:00:00 of the same
    // wall clock. No time zone is involved, so adding seconds never meets a DST gap.
    qint64 stamp = 0;
    std::array<quint16, 4> raw{}; // raw temperature words of T1..T4 as received
    char type = 'K';              // thermocouple type letter
    // Rows downloaded from the meter keep its clock bytes (year in the century, month, day,
    // hour, minute, second, each meant as BCD) instead of `stamp`: they are written as two
    // hexadecimal digits each, so a byte the meter got wrong shows as it was sent rather
    // than as some other date. Fits in the padding after `type`: the row stays 24 bytes.
    bool meterClock = false;
    std::array<quint8, 6> clock{};
};

// Length of "yyyy/mm/dd hh:nn:ss".
constexpr int kStampLength = 19;

// The date and time the clock shows, milliseconds dropped; the time zone is ignored.
// An invalid date-time gives 0.
qint64 stampFromDateTime(const QDateTime& dateTime);
// The same for a calendar date and a wall-clock time taken as they read, also in an hour that
// a daylight-saving change skips (where no QDateTime exists). 0 when either is invalid.
qint64 stampFromCivil(const QDate& date, const QTime& time);

// The same wall-clock date and time, as a UTC QDateTime so that no zone rule moves it.
QDateTime dateTimeFromStamp(qint64 stamp);

// Appends "yyyy/mm/dd hh:nn:ss". Stamps outside the years 0000..9999 are clamped to them so
// the field keeps its 19 characters.
void appendStamp(QByteArray& out, qint64 stamp);
// The same 19 characters written at `out`, for writers that fill a buffer directly.
void writeStamp(char* out, qint64 stamp);
QByteArray stampText(qint64 stamp);

// The row's date-time as the files show it: from `stamp`, or from the meter's clock bytes
// ("20", then each byte as two upper-case hexadecimal digits: 0x25 0x07 0x04 0x13 0x05 0x09
// give "2025/07/04 13:05:09", a month byte 0x1A gives "1A").
void writeRowStamp(char* out, const DataRow& row);
void appendRowStamp(QByteArray& out, const DataRow& row);

// Reads exactly "yyyy/mm/dd hh:nn:ss" with a real calendar date and time; anything else
// gives no value.
std::optional<qint64> stampFromText(QByteArrayView text);

} // namespace recording
