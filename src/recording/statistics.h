#pragma once

// The statistics that end every data file: per channel the TopN highest ("Top 5 Max") and
// lowest ("Top 5 Min") readings with their date-times. Ranking always uses the Celsius value
// (over range above every number, under range below), whatever unit is listed; only one unit
// is listed per block.

#include "live/framedecoder.h"
#include "recording/datarow.h"

#include <QByteArray>

#include <span>
#include <vector>

namespace recording {

enum class Ranking { Max, Min };

// Indices into rows of the listed records of one channel (0..3), best first; empty when
// there are fewer rows than topN. The order among equal readings is the one users know
// from earlier files: the first topN rows are ordered by a full exchange pass, and a later
// row then goes in front of the first listed row it beats, pushing the last one out. Since
// an over-range reading beats another one in a Max list (an under-range one in a Min list),
// the most recent of those comes first; any other later row equal to a listed one comes
// after it. One pass over the rows, at most topN comparisons each, no sort.
std::vector<std::size_t> topRecords(Ranking ranking, int topN, std::span<const DataRow> rows,
                                    int channel);

// The "Top 5 Max" block: the separator run of the channel count and CR LF; then, unless
// there are fewer rows than topN, for each present channel a heading such as
// "Top 5 Max T1 Celsius Value : " and CR LF, and per listed record its date-time, "****" and
// its value in the listed unit, CR LF. Empty for channel counts other than 4, 2, 1.
QByteArray topMaxText(int topN, std::span<const DataRow> rows, int channelCount,
                      live::TempUnit unit);
// The same for the lowest readings ("Top 5 Min ...").
QByteArray topMinText(int topN, std::span<const DataRow> rows, int channelCount,
                      live::TempUnit unit);

} // namespace recording
