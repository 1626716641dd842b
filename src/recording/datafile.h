#pragma once

// The text data file that recordings and memory saves produce and the plot window reads:
// a count line, a column header, a dash separator, one fixed-width TAB-separated line per
// record and the statistics trailer. Every line ends in CR LF and every byte is ASCII.
// The plot loader picks values by character position, so every width here is part of the
// format.

#include "live/framedecoder.h"
#include "recording/datarow.h"

#include <QByteArray>

#include <span>

namespace recording {

// A PC recording stops here; the record number field (6 characters) is sized for it.
constexpr int kMaxRecords = 864000;

constexpr int kRecordNumberWidth = 6;
constexpr int kValueWidth = 6;

// What follows the last data line. A recording writes each statistics block as one item
// and ends it with a further line end; a memory save joins the two blocks and ends the
// whole text with one line end.
enum class TrailerLayout { Recording, MemorySave };

// 4, 2 and 1 are the meters that exist; any other count has no columns.
bool isSupportedChannelCount(int channelCount);
// Values per data line: three units per channel (12, 6, 3), 0 for other counts.
int valueColumnCount(int channelCount);

// "Total Records : " followed by n, CR LF.
QByteArray countLine(qint64 n);
// Empty for unsupported channel counts (a file for them has no header).
QByteArray headerLine(int channelCount);
// 135, 87 or 63 dashes (one column past the header at 8-column tab stops); empty otherwise.
QByteArray separatorRun(int channelCount);
// separatorRun and CR LF; empty for unsupported channel counts.
QByteArray separatorLine(int channelCount);

// Record number left-aligned in 6, TAB, date-time, TAB, type letter, then TAB and each value
// right-aligned in 6 (C, then F, then K of the present channels), CR LF. Numbers or values
// wider than their field are written whole, never cut. Appends nothing for an unsupported
// channel count.
void appendDataLine(QByteArray& out, int recordNumber, const DataRow& row, int channelCount);
QByteArray dataLine(int recordNumber, const DataRow& row, int channelCount);

// Data lines for `rows` in the order given, numbered from `firstNumber`: the same lines as
// appendDataLine, formatted in bulk (each distinct reading is formatted once). Appends nothing
// for an unsupported channel count.
void appendDataLines(QByteArray& out, std::span<const DataRow> rows, int channelCount,
                     int firstNumber = 1);

// Both statistics blocks with the line ends of the given layout: the text after the last
// data line.
QByteArray trailerText(std::span<const DataRow> rows, int channelCount, live::TempUnit unit,
                       TrailerLayout layout);

// A whole file: count line (rows.size()), header, separator, rows numbered from 1 in the
// order given, trailer. Every row is written, however many there are.
QByteArray fileText(std::span<const DataRow> rows, int channelCount, live::TempUnit unit,
                    TrailerLayout layout);

} // namespace recording
