#pragma once

// One row of readings as CSV (RFC 4180: comma, CR LF, a header row, quotes only where needed)
// or as one JSON object per line, for the export of data files and for the live and record
// commands. Values keep the text the meter's decoding gives ("23.7", "1375" for R and S), so
// a number prints with the file's precision and no float noise; "OL", "-OL" and blank readings
// are empty in CSV and null in JSON.

#include "live/framedecoder.h"
#include "recording/datarow.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <array>
#include <optional>

namespace dataout {

enum class Format { Text, Csv, Jsonl };

// "text", "csv", "jsonl" (any case); nothing for anything else.
std::optional<Format> formatOf(const QString& name);
// "C", "F", "K" (any case, blanks around allowed); nothing for anything else.
std::optional<live::TempUnit> unitOf(const QString& letter);

struct Row {
    qint64 record = 0;                             // CSV only
    QByteArrayView time;                           // ISO 8601 local time
    char type = 0;                                 // 0 while the meter has not said
    int channels = 0;                              // T1..T(channels) are present
    std::array<QByteArrayView, 4> values{};        // as the decoding writes them; "OL", "-OL", ""
    live::TempUnit unit = live::TempUnit::Celsius; // JSON only
    std::optional<int> memory;                     // JSON only: the meter's record count
};

// "record,time,type,T1,T2" and CR LF, for T1..T(channels).
QByteArray csvHeader(int channels);
void appendCsvRow(QByteArray& out, const Row& row);
// {"time":"...","type":"K","unit":"C","T1":23.7,"T2":null,"memory":125} and LF; absent
// channels are left out, as is "memory" when the row has none.
void appendJsonLine(QByteArray& out, const Row& row);

// A recorded or downloaded row as CSV or JSON Lines, its values in `unit` as the data file
// writes them: the same text as the export of that file gives.
void appendDataRow(QByteArray& out, Format format, qint64 record, const recording::DataRow& data,
                   int channels, live::TempUnit unit, std::optional<int> memory = {});

// One CSV field: as it is, or in double quotes (quotes inside doubled) when it holds a comma,
// a quote, CR or LF.
void appendCsvField(QByteArray& out, QByteArrayView field);
// A reading's text as a plain number ("23.7", ".5" as "0.5"); empty for "OL", "-OL", blank
// and anything that is no number.
QByteArray plainNumber(QByteArrayView text);
// The same appended to `out`; false (nothing appended) when it is no number.
bool appendPlainNumber(QByteArray& out, QByteArrayView text);

// "2024/03/15 14:05:09" as "2024-03-15T14:05:09", character for character (a clock byte of
// the meter gone wrong stays as it was sent).
QByteArray isoFromFileStamp(QByteArrayView stamp);
// "2024-03-15T14:05:09.250" for a moment of the local clock.
QByteArray isoWithMilliseconds(const QDateTime& time);

} // namespace dataout
