#include "plot/plotgeometry.h"

#include "base/numbers.h"
#include "recording/datarow.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

namespace plot {

PlotView initialView(const PlotData& data) {
    return {1, std::max<qint64>(1, data.count), double(data.typeMin), double(data.typeMax)};
}

PlotArea plotArea(int sw, int sh) {
    PlotArea area;
    area.bottom = sh - 25;
    area.height = std::max(0, sh - 75);
    // Floor modulo, so that a surface narrower than 40 cannot give a wider area.
    const int rest = ((sw - 40) % 30 + 30) % 30;
    area.width = std::max(0, sw - 60 - rest);
    return area;
}

double recordStep(const PlotArea& area, const PlotView& view) {
    if (view.r2 <= view.r1)
        return 0;
    return double(area.width) / double(view.r2 - view.r1);
}

double recordX(const PlotArea& area, const PlotView& view, qint64 record) {
    return area.x0 + double(record - view.r1) * recordStep(area, view);
}

double valueHeight(float value, const PlotView& view, int height) {
    // "OL" and "-OL" both mean the thermocouple gave no reading in range: the curve leaves the
    // plot at the top either way, so a broken probe never looks like a low temperature.
    if (std::isinf(value) || value > view.high)
        return height + 3;
    // NaN is never stored; treat it like the bottom rather than draw through the window.
    if (std::isnan(value) || value < view.low)
        return -3;
    if (view.high <= view.low)
        return 0;
    return height * (value - view.low) / (view.high - view.low);
}

std::array<ScaleMark, 9> scaleMarks(const PlotArea& area) {
    std::array<ScaleMark, 9> marks{};
    for (int k = 0; k <= 8; ++k) {
        marks[std::size_t(k)] = {area.y(area.height * k / 8.0),
                                 double(area.x0 - (k % 2 == 0 ? 10 : 7))};
    }
    return marks;
}

std::array<QString, 5> valueLabels(const PlotView& view) {
    std::array<QString, 5> labels;
    for (int k = 0; k <= 4; ++k) {
        double value = view.low + (view.high - view.low) * k / 4.0;
        // Halves to the even neighbour, as every rounding of the program; rounded before the
        // sign is looked at, so no "-0.0".
        value = base::roundHalfEven(value * 10) / 10;
        if (value == 0)
            value = 0;
        labels[std::size_t(k)] = QString::number(value, 'f', 1);
    }
    return labels;
}

QString legendText(live::TempUnit unit, int channel) {
    static constexpr char kLetters[] = {'C', 'F', 'K'};
    return QStringLiteral("%1%2").arg(QChar::fromLatin1(kLetters[int(unit)])).arg(channel);
}

std::vector<RecordLine> recordLines(const PlotArea& area, const PlotView& view) {
    std::vector<RecordLine> lines;
    const double first = recordX(area, view, view.r1);
    lines.push_back({view.r1, first, first - 5});
    const qint64 span = view.r2 - view.r1;
    if (span > 0 && span % 2 == 0) {
        const qint64 middle = view.r1 + span / 2;
        const double x = recordX(area, view, middle);
        lines.push_back({middle, x, x - 12});
    }
    if (span > 0) {
        const double x = recordX(area, view, view.r2);
        lines.push_back({view.r2, x, x - 12});
    }
    return lines;
}

std::vector<ColumnSpan> reduceColumns(const PlotData& data, int channel, qint64 r1, qint64 r2,
                                      int columns) {
    std::vector<ColumnSpan> spans;
    if (columns < 1 || r2 < r1 || channel < 1 || channel > data.channels)
        return spans;
    spans.resize(std::size_t(columns));
    const std::vector<float>& column = data.columns[std::size_t(channel - 1)];
    const qint64 span = r2 - r1;
    const qint64 last = columns - 1;
    // First record of column c: the smallest r with (r − R1) × last >= c × span.
    const auto firstRecordOf = [&](qint64 c) {
        if (last == 0)
            return c == 0 ? r1 : r2 + 1;
        return c > last ? r2 + 1 : r1 + (c * span + last - 1) / last;
    };
    qint64 from = firstRecordOf(0);
    for (qint64 c = 0; c < columns; ++c) {
        const qint64 to = std::min(firstRecordOf(c + 1), r2 + 1); // exclusive
        ColumnSpan& out = spans[std::size_t(c)];
        if (to <= from) {
            // No record falls into this column (fewer records than columns): carry the
            // neighbours' line through it.
            const float v = data.value(channel, from - 1);
            out = {v, v, v, v};
            continue;
        }
        out.first = data.value(channel, from - 1);
        out.last = data.value(channel, to - 2);
        float lo = out.first;
        float hi = out.first;
        // Records with an entry in the file, then the ones it lacks (0).
        const qint64 stored = std::min<qint64>(to - 1, qint64(column.size()));
        for (qint64 index = from - 1; index < stored; ++index) {
            const float v = column[std::size_t(index)];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        if (to - 1 > stored) {
            lo = std::min(lo, 0.0f);
            hi = std::max(hi, 0.0f);
        }
        out.min = lo;
        out.max = hi;
        from = to;
    }
    return spans;
}

qint64 recordAt(const PlotArea& area, const PlotView& view, double x) {
    const double step = recordStep(area, view);
    if (step <= 0)
        return view.r1;
    const auto offset = qint64(std::llround((x - area.x0) / step));
    return std::clamp(view.r1 + offset, view.r1, view.r2);
}

std::optional<std::pair<double, double>> fittedRange(const PlotData& data, qint64 r1, qint64 r2) {
    float lo = std::numeric_limits<float>::infinity();
    float hi = -lo;
    const qint64 from = std::max<qint64>(r1, 1) - 1;
    for (int c = 0; c < data.channels; ++c) {
        const std::vector<float>& column = data.columns[std::size_t(c)];
        const qint64 to = std::min<qint64>(r2, qint64(column.size()));
        for (qint64 i = from; i < to; ++i) {
            const float v = column[std::size_t(i)];
            if (std::isfinite(v)) {
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
        }
    }
    if (r2 > data.rowsRead() && r2 >= r1) { // the records the file lacks are drawn as 0
        lo = std::min(lo, 0.0f);
        hi = std::max(hi, 0.0f);
    }
    if (!std::isfinite(lo))
        return std::nullopt;
    const double margin = std::max((double(hi) - lo) / 20, 0.5);
    const double bottom = lo - margin;
    const double top = hi + margin;
    // Round quarter steps, all multiples of 0.1: the labels have one decimal.
    double low = bottom;
    double high = top;
    for (double decade = 0.1; decade < 1e7; decade *= 10) {
        bool found = false;
        for (const double mantissa : {1.0, 2.0, 2.5, 5.0}) {
            const double quarter = mantissa * decade;
            if (decade < 1 && mantissa == 2.5)
                continue; // 0.25 would need two decimals
            low = std::floor(bottom / quarter + 1e-9) * quarter;
            high = low + 4 * quarter;
            if (high >= top - 1e-9) {
                found = true;
                break;
            }
        }
        if (found)
            break;
    }
    low = std::max(std::round(low * 10) / 10, double(data.typeMin));
    high = std::min(std::round(high * 10) / 10, double(data.typeMax));
    if (low >= high)
        return std::nullopt;
    return std::pair{low, high};
}

std::optional<TimeSpan> timeSpan(const PlotData& data, qint64 r1, qint64 r2) {
    qint64 first = std::numeric_limits<qint64>::max();
    qint64 last = std::numeric_limits<qint64>::min();
    const qint64 to = std::min<qint64>(r2, qint64(data.stamps.size()));
    for (qint64 i = std::max<qint64>(r1, 1) - 1; i < to; ++i) {
        const qint64 stamp = data.stamps[std::size_t(i)];
        if (stamp == kNoStamp)
            continue;
        first = std::min(first, stamp);
        last = std::max(last, stamp);
    }
    if (first >= last)
        return std::nullopt;
    return TimeSpan{first, last};
}

double timeX(const PlotArea& area, const TimeSpan& span, qint64 stamp) {
    return area.x0 + double(stamp - span.first) * area.width / double(span.last - span.first);
}

bool gapAfter(const PlotData& data, qint64 index) {
    const std::optional<qint64> a = data.stamp(index);
    const std::optional<qint64> b = data.stamp(index + 1);
    if (!a || !b)
        return true;
    return data.usualStep > 0 && std::abs(*b - *a) > 2 * data.usualStep;
}

std::vector<TimeRun> reduceByTime(const PlotData& data, int channel, qint64 r1, qint64 r2,
                                  const TimeSpan& span, int columns) {
    std::vector<TimeRun> runs;
    if (columns < 1 || channel < 1 || channel > data.channels || span.last <= span.first)
        return runs;
    const double scale = double(columns - 1) / double(span.last - span.first);
    const qint64 to = std::min<qint64>(r2, qint64(data.stamps.size()));
    bool broken = true; // nothing to join the first run to
    for (qint64 i = std::max<qint64>(r1, 1) - 1; i < to; ++i) {
        const qint64 stamp = data.stamps[std::size_t(i)];
        if (stamp == kNoStamp) {
            broken = true;
            continue;
        }
        const int column = std::clamp(int(double(stamp - span.first) * scale), 0, columns - 1);
        const float v = data.value(channel, i);
        if (!broken && !runs.empty() && runs.back().column == column) {
            TimeRun& run = runs.back();
            run.last = v;
            run.min = std::min(run.min, v);
            run.max = std::max(run.max, v);
        } else {
            runs.push_back({column, !broken, v, v, v, v});
        }
        broken = i + 1 < to && gapAfter(data, i);
    }
    return runs;
}

std::vector<TimeMark> timeMarks(const PlotArea& area, const TimeSpan& span, double spacing) {
    static constexpr qint64 kSteps[] = {
        1,      2,      5,       10,      15,      30,       60,       120,      300,
        600,    900,    1800,    3600,    7200,    10800,    21600,    43200,    86400,
        172800, 604800, 1209600, 2592000, 7776000, 15552000, 31536000, 315360000};
    std::vector<TimeMark> marks;
    const qint64 duration = span.last - span.first;
    if (duration <= 0 || area.width <= 0)
        return marks;
    const double perSecond = double(area.width) / double(duration);
    qint64 step = kSteps[std::size(kSteps) - 1];
    for (const qint64 candidate : kSteps) {
        if (double(candidate) * perSecond >= spacing) {
            step = candidate;
            break;
        }
    }
    const auto floorDiv = [](qint64 a, qint64 b) { return a / b - (a % b != 0 && a < 0); };
    for (qint64 t = (floorDiv(span.first - 1, step) + 1) * step; t <= span.last; t += step) {
        const QString text = QString::fromLatin1(recording::stampText(t));
        const qint64 ofDay = t - floorDiv(t, 86400) * 86400;
        const QString label = step >= 86400 || ofDay == 0 ? text.left(10)
                              : step < 60                 ? text.mid(11)
                                                          : text.mid(11, 5);
        marks.push_back({timeX(area, span, t), label});
    }
    return marks;
}

qint64 recordAtTime(const PlotData& data, const PlotArea& area, const PlotView& view,
                    const TimeSpan& span, double x) {
    if (area.width <= 0)
        return view.r1;
    const double t =
        double(span.first) + (x - area.x0) / area.width * double(span.last - span.first);
    qint64 best = view.r1;
    double bestDistance = std::numeric_limits<double>::infinity();
    const qint64 to = std::min<qint64>(view.r2, qint64(data.stamps.size()));
    for (qint64 i = std::max<qint64>(view.r1, 1) - 1; i < to; ++i) {
        const qint64 stamp = data.stamps[std::size_t(i)];
        if (stamp == kNoStamp)
            continue;
        const double distance = std::abs(double(stamp) - t);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i + 1;
        }
    }
    return best;
}

qint64 recordUnder(const PlotData& data, const PlotArea& area, const PlotView& view, double x) {
    if (view.axis == XAxis::Time) {
        if (const std::optional<TimeSpan> span = timeSpan(data, view.r1, view.r2))
            return recordAtTime(data, area, view, *span, x);
    }
    return recordAt(area, view, x);
}

QString unitTitle(live::TempUnit unit) {
    switch (unit) {
    case live::TempUnit::Fahrenheit:
        return QStringLiteral("\u00B0F");
    case live::TempUnit::Kelvin:
        return QStringLiteral("K");
    case live::TempUnit::Celsius:
        break;
    }
    return QStringLiteral("\u00B0C");
}

} // namespace plot
