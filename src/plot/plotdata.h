#pragma once

// A data file loaded for drawing: the columns of one unit, as numbers. Values are picked by
// their fixed character positions, as every writer of the format guarantees. Sizes come from
// the lines actually present, never from the count line alone, so a wrong count can neither
// allocate absurd amounts of memory nor leave unfilled entries.

#include "live/framedecoder.h"

#include <QChar>
#include <QIODevice>
#include <QString>

#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace plot {

// A record whose date-time is no real date and time (a clock byte of the meter gone wrong).
constexpr qint64 kNoStamp = std::numeric_limits<qint64>::min();

struct PlotData {
    QString fileName; // as shown in messages and the window's title
    qint64 count = 0; // N: the records the count line declares
    int channels = 1; // 4, 2 or 1, from the column header
    live::TempUnit unit = live::TempUnit::Celsius;
    QChar typeLetter; // character 28 of the first data line
    int typeMin = 0;  // range of the type in `unit`; the data's span when the type is unknown
    int typeMax = 0;
    // Columns of T1..T(channels) in `unit`, one entry per data line read (at most `count`).
    // "OL" is +infinity, "-OL" -infinity.
    std::array<std::vector<float>, 4> columns;
    // The date-time of each record read, as wall-clock seconds (recording::DataRow's stamp), or
    // kNoStamp; the text of those is kept in oddStamps (record index, text), in index order.
    std::vector<qint64> stamps;
    std::vector<std::pair<qint64, QByteArray>> oddStamps;
    // The usual seconds from one record to the next (the median, recording interval), 0 when
    // the records carry no two real date-times. A step of more than twice it is a gap.
    qint64 usualStep = 0;

    qint64 rowsRead() const { return qint64(columns[0].size()); }
    // Value of channel 1..channels at record index 0..count-1; records the file lacks are 0.
    float value(int channel, qint64 index) const {
        const std::vector<float>& column = columns[std::size_t(channel - 1)];
        return index >= 0 && index < qint64(column.size()) ? column[std::size_t(index)] : 0.0f;
    }
    // The date-time of record index 0..count-1; nothing when it has none.
    std::optional<qint64> stamp(qint64 index) const {
        if (index < 0 || index >= qint64(stamps.size()) || stamps[std::size_t(index)] == kNoStamp)
            return std::nullopt;
        return stamps[std::size_t(index)];
    }
    // "2024/03/15 14:05:09" as the file has it; empty for a record the file lacks.
    QString stampText(qint64 index) const;
    // Records the time axis can place: at least two real, different date-times.
    bool hasTimes() const { return usualStep > 0; }
};

inline bool isOverRange(float value) {
    return std::isinf(value) && value > 0;
}
inline bool isUnderRange(float value) {
    return std::isinf(value) && value < 0;
}

struct PlotLoad {
    PlotData data;
    // Non-empty when the file cannot be drawn; then data holds nothing.
    QString error;
    // Non-empty when the file can be drawn but not as its count line says (records missing
    // or a line that is not a data line); the missing records are drawn as 0.
    QString warning;

    bool ok() const { return error.isEmpty(); }
};

// The usual step of `data`'s stamps (see PlotData::usualStep).
qint64 usualStepOf(const std::vector<qint64>& stamps);

// Loads the columns of `unit` (the unit the meter displays at load time, not the file's).
// Refused with an error naming the file: a file that cannot be opened; a count that is
// missing, not a whole number, 0, negative or above the largest file any writer makes; no
// column header; no data line at all. A line that is not a data line ends the data: the
// records before it are kept, the rest are drawn as 0, and a warning says so, as it does for
// a file holding fewer data lines than its count. Lines after the declared records (the
// statistics trailer) are not read.
PlotLoad loadPlotData(const QString& path, live::TempUnit unit);
// The same over any readable device; `name` is used in the messages.
PlotLoad loadPlotData(QIODevice& device, const QString& name, live::TempUnit unit);

} // namespace plot
