#include "plot/plotgeometry.h"

#include "base/numbers.h"

#include <algorithm>
#include <cmath>

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

} // namespace plot
