#pragma once

// Where the plot window draws what, as plain functions of the drawing surface's size and the
// range shown. Lengths are in drawing units of about one screen pixel; heights are measured
// upwards from the bottom line of the plot area.

#include "live/framedecoder.h"
#include "plot/plotdata.h"

#include <QString>

#include <array>
#include <optional>
#include <utility>
#include <vector>

namespace plot {

// The smallest outer size of the window: 1800 × 3000 twips at 15 twips per pixel.
constexpr int kMinimumWindowWidth = 120;
constexpr int kMinimumWindowHeight = 200;

// How records are spread along the horizontal axis: evenly by their number (the default), or by
// their date-time, so that a pause in a recording shows as a gap.
enum class XAxis { Records, Time };

// What the window shows: records R1..R2 between Low (bottom) and High (top).
struct PlotView {
    qint64 r1 = 1;
    qint64 r2 = 1;
    double low = 0;
    double high = 1;
    XAxis axis = XAxis::Records;
};

// The view a window opens on: the whole file over the type's range.
PlotView initialView(const PlotData& data);

struct PlotArea {
    int x0 = 40;    // left edge
    int bottom = 0; // Yb, the bottom line
    int height = 0; // H
    int width = 0;  // W, the usable width

    int top() const { return bottom - height; }
    // The surface's y of a height above the bottom line.
    double y(double heightAboveBottom) const { return bottom - heightAboveBottom; }
};

// For a surface of sw × sh: X0 = 40, Yb = SH − 25, H = SH − 75 (the top line 50 below the
// top), W = SW − 60 − ((SW − 40) mod 30). Never negative.
PlotArea plotArea(int sw, int sh);

// W / (R2 − R1); 0 when there is no second record.
double recordStep(const PlotArea& area, const PlotView& view);
double recordX(const PlotArea& area, const PlotView& view, qint64 record);

// Height of a value: just above the top line (H + 3) for "OL", "-OL" and values above High, just
// below the bottom line (−3) for values below Low, else H × (v − Low) / (High − Low).
double valueHeight(float value, const PlotView& view, int height);

// One scale mark, a horizontal line from `left` to the vertical axis at X0 − 2.
struct ScaleMark {
    double y;
    double left;
};
// The nine marks at 0/8 … 8/8 of H: 7 units long, the even eighths 10 units.
std::array<ScaleMark, 9> scaleMarks(const PlotArea& area);

// The five value labels at 0, 1/4, 2/4, 3/4 and 4/4 of H, bottom first: Low + (High − Low) × k/4
// with one decimal.
std::array<QString, 5> valueLabels(const PlotView& view);

// "C1", "F2", "K3": the unit's first letter and the channel number.
QString legendText(live::TempUnit unit, int channel);

// A dotted vertical line at a record with its number below the plot area.
struct RecordLine {
    qint64 record;
    double x;
    double labelX; // where the number starts
};
// R1, R2, and R1 + (R2 − R1)/2 when R2 − R1 is even (and not 0).
std::vector<RecordLine> recordLines(const PlotArea& area, const PlotView& view);

// The records R1..R2 of one channel reduced to one span per pixel column 0..columns−1, so
// that a curve of any length is drawn with a few lines per column. Records the file lacks
// count as 0.
struct ColumnSpan {
    float first;
    float last;
    float min;
    float max;
};
// Column c holds the records r with floor((r − R1) × (columns − 1) / (R2 − R1)) = c.
std::vector<ColumnSpan> reduceColumns(const PlotData& data, int channel, qint64 r1, qint64 r2,
                                      int columns);

// The record under a surface x, clamped into R1..R2 (on the record axis).
qint64 recordAt(const PlotArea& area, const PlotView& view, double x);

// --- Fit ---

// Low and High that fit the values of records R1..R2 (every channel; "OL" and "-OL" left
// out): a twentieth of their span added on each side, then widened to a round quarter step
// (0.1, 0.2, 0.5, 1, 2, 2.5, 5, 10, ... degrees) so that the five value labels read as round
// numbers, and kept within TypeMin..TypeMax. Nothing when those records hold no value.
std::optional<std::pair<double, double>> fittedRange(const PlotData& data, qint64 r1, qint64 r2);

// --- Time axis ---

// The earliest and the latest date-time (wall-clock seconds) among the records shown.
struct TimeSpan {
    qint64 first = 0;
    qint64 last = 0;
};
// Nothing when records R1..R2 have fewer than two different date-times.
std::optional<TimeSpan> timeSpan(const PlotData& data, qint64 r1, qint64 r2);
// X0 for the earliest date-time, X0 + W for the latest.
double timeX(const PlotArea& area, const TimeSpan& span, qint64 stamp);

// Whether no line joins record index `index` to the next one: either has no date-time, or
// they lie more than twice the file's usual step apart (a pause, the meter away).
bool gapAfter(const PlotData& data, qint64 index);

// The records R1..R2 of one channel on the time axis, as runs of neighbouring records that
// fall into the same pixel column 0..columns−1, each with the span of its values; a run after
// a gap is not joined to the one before. Records without a date-time are left out.
struct TimeRun {
    int column;
    bool joined; // a line comes from the previous run's last value
    float first;
    float last;
    float min;
    float max;
};
std::vector<TimeRun> reduceByTime(const PlotData& data, int channel, qint64 r1, qint64 r2,
                                  const TimeSpan& span, int columns);

// A labelled mark of the time axis, at a round time of day or date.
struct TimeMark {
    double x;
    QString label; // "14:05:30", "14:05", or the date "2024/03/15" at midnight and for days
};
// Marks at least `spacing` units apart, at multiples of a round step (1 s ... 1 year).
std::vector<TimeMark> timeMarks(const PlotArea& area, const TimeSpan& span, double spacing = 90);

// The record nearest to surface x on the time axis (of those with a date-time), R1 if none.
qint64 recordAtTime(const PlotData& data, const PlotArea& area, const PlotView& view,
                    const TimeSpan& span, double x);
// The record under surface x on the view's axis.
qint64 recordUnder(const PlotData& data, const PlotArea& area, const PlotView& view, double x);

// "°C", "°F", "K": the title of the value axis.
QString unitTitle(live::TempUnit unit);

} // namespace plot
