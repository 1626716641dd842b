#pragma once

// The records of the meter's memory as the "G" download sends them: 19 bytes each, one after
// another, decoded with the same type-byte and reading decoders as the live display.

#include "recording/datarow.h"

#include "serial/meterprofile.h"
#include <QByteArrayView>
#include <QChar>

#include <QString>

#include <vector>

namespace memory {

constexpr int kRecordLength = serial::profile::kRecordLength;
// 0-based offsets inside one record.
constexpr int kClockOffset = 3;     // YY MM DD hh mm ss, BCD
constexpr int kStatusOffset = 9;    // as the live frame's status byte
constexpr int kReadingsOffset = 10; // four big-endian raw words, T1..T4

// Decodes the first `count` whole records of `bytes` (fewer when fewer arrived; bytes beyond
// them are ignored), in the order received. A record with type code 7 keeps the letter of the
// record before it; the first one keeps `typeLetter`, the live display's letter (K when the
// display had none either, so that every line keeps its width). The channel count is never
// taken from a record: it stays what the live display says.
std::vector<recording::DataRow> decodeRecords(QByteArrayView bytes, int count, QChar typeLetter);

// "12.5% Completed": the window title while the memory is downloaded.
QString progressText(double percent);

} // namespace memory
