#pragma once

// Reading a data file back for the plot window. Values are picked by their fixed character
// positions, as every writer of the format guarantees. Unlike a reader that trusts the count
// line, sizes come from the lines actually present: a wrong count can neither allocate
// absurd amounts of memory nor leave unfilled rows.

#include "live/framedecoder.h"

#include <QChar>
#include <QIODevice>
#include <QString>

#include <array>
#include <cmath>
#include <vector>

namespace plot {

// One data line. Values are in the order of the meter's reading texts: T1..T4 in Celsius,
// then Fahrenheit, then Kelvin. "OL" reads as +infinity, "-OL" as -infinity, and the columns
// of channels the file does not have are NaN.
struct DataFileRow {
    std::array<char, 19> stamp{}; // "yyyy/mm/dd hh:nn:ss" exactly as written
    std::array<double, 12> values{};

    QString stampText() const;
    // channel 1..4; NaN outside that range
    double value(live::TempUnit unit, int channel) const;
};

inline bool isOverRange(double value) {
    return std::isinf(value) && value > 0;
}
inline bool isUnderRange(double value) {
    return std::isinf(value) && value < 0;
}

struct DataFileContents {
    int declaredCount = 0; // the number on the count line
    int channelCount = 0;  // 4, 2 or 1
    QChar typeLetter;      // character 28 of the first data line; null when there is none
    std::vector<DataFileRow> rows;
    // Non-empty when the file cannot be used at all; then rows is empty.
    QString error;
    // Non-empty when only part of the declared records could be read; rows holds those.
    QString warning;

    bool ok() const { return error.isEmpty(); }
};

// A file that cannot be opened, has no plausible record count (missing, not a whole number,
// negative or above the largest file any writer makes) or no column header is refused with
// an error. A data line that is too short or garbled ends the data: the rows before it are
// kept and a warning says so; the same for a file with fewer data lines than its count.
// Lines after the declared records (the statistics trailer) are not read.
DataFileContents readDataFile(const QString& path);
// The same over any readable device; `name` is used in the messages.
DataFileContents readDataFile(QIODevice& device, const QString& name);

} // namespace plot
