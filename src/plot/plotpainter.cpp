#include "plot/plotpainter.h"

#include "recording/datarow.h"

#include <QFont>
#include <QFontMetricsF>
#include <QLineF>
#include <QPainter>
#include <QPointF>

#include <algorithm>

namespace plot {

namespace {

constexpr int kTextPixels = 12;
constexpr int kSmallestTextPixels = 7;

} // namespace

QColor channelColour(int channel) {
    switch (channel) {
    case 1:
        return QColor(255, 0, 0);
    case 2:
        return QColor(0, 255, 0);
    case 3:
        return QColor(0, 0, 255);
    default:
        return QColor(0, 0, 0);
    }
}

void PlotPainter::paint(QPainter& painter, QSize size, const PlotView& view) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    const PlotArea area = plotArea(size.width(), size.height());
    if (m_spanR1 != view.r1 || m_spanR2 != view.r2) {
        m_span = timeSpan(m_data, view.r1, view.r2);
        m_spanR1 = view.r1;
        m_spanR2 = view.r2;
    }
    const std::optional<TimeSpan> span =
        view.axis == XAxis::Time ? m_span : std::optional<TimeSpan>();
    const std::vector<TimeMark> marks = span ? timeMarks(area, *span) : std::vector<TimeMark>();
    paintGrid(painter, area, marks);

    QFont font = painter.font();
    font.setPixelSize(kTextPixels);
    painter.setFont(font);
    const QFontMetricsF metrics(font, painter.device());

    // Axes, 2 wide.
    painter.setPen(QPen(Qt::black, 2));
    painter.drawLine(QLineF(area.x0 - 2, area.bottom + 2, area.x0 - 2, area.top() - 5));
    painter.drawLine(QLineF(area.x0 - 2, area.bottom + 2, area.x0 + area.width, area.bottom + 2));

    painter.setPen(QPen(Qt::black, 1));
    for (const ScaleMark& mark : scaleMarks(area))
        painter.drawLine(QLineF(mark.left, mark.y, area.x0 - 2, mark.y));

    // The labels have the 28 units left of the long marks; wide values ("-1375.0") get a
    // smaller type rather than being cut at the window's edge.
    const std::array<QString, 5> labels = valueLabels(view);
    QFont labelFont = font;
    for (int pixels = kTextPixels; pixels > kSmallestTextPixels; --pixels) {
        labelFont.setPixelSize(pixels);
        const QFontMetricsF labelMetrics(labelFont, painter.device());
        double widest = 0;
        for (const QString& label : labels)
            widest = std::max(widest, labelMetrics.horizontalAdvance(label));
        if (widest <= area.x0 - 12)
            break;
    }
    painter.setFont(labelFont);
    const double labelHeight = QFontMetricsF(labelFont, painter.device()).height();
    for (int k = 0; k <= 4; ++k) {
        const double y = area.y(area.height * k / 4.0);
        painter.drawText(QRectF(0, y - labelHeight / 2, area.x0 - 10, labelHeight),
                         Qt::AlignRight | Qt::AlignVCenter, labels[std::size_t(k)]);
    }
    painter.setFont(font);

    // The value axis' title, the unit, left of the legend.
    painter.setPen(Qt::black);
    painter.drawText(QRectF(QPointF(4, area.top() - 16), QSizeF(area.x0 + 10, metrics.height())),
                     Qt::AlignLeft | Qt::AlignTop, unitTitle(m_data.unit));

    for (int c = 1; c <= m_data.channels; ++c) {
        painter.setPen(channelColour(c));
        const QPointF at(area.x0 + 20 * c, area.top() - 16);
        painter.drawText(QRectF(at, QSizeF(40, metrics.height())), Qt::AlignLeft | Qt::AlignTop,
                         legendText(m_data.unit, c));
    }

    if (span) {
        paintTimeCurves(painter, area, view, *span);
        paintTimeAxis(painter, size, area, *span, marks);
        painter.restore();
        return;
    }
    paintCurves(painter, area, view);

    QPen dotted(Qt::black, 1, Qt::DotLine);
    for (const RecordLine& line : recordLines(area, view)) {
        painter.setPen(dotted);
        painter.drawLine(QLineF(line.x, area.bottom, line.x, area.top()));
        painter.setPen(Qt::black);
        // A long last number moves left rather than being cut at the surface's edge.
        const QString number = QString::number(line.record);
        const double width = metrics.horizontalAdvance(number) + 1;
        const double left = std::min(line.labelX, size.width() - width);
        painter.drawText(QRectF(left, area.bottom + 10, width, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, number);
    }
    painter.restore();
}

// Light lines across the plot area at the value marks above the bottom and at the time marks.
void PlotPainter::paintGrid(QPainter& painter, const PlotArea& area,
                            const std::vector<TimeMark>& marks) {
    painter.setPen(QPen(QColor(224, 224, 224), 1));
    const std::array<ScaleMark, 9> values = scaleMarks(area);
    for (std::size_t k = 1; k < values.size(); ++k)
        painter.drawLine(QLineF(area.x0, values[k].y, area.x0 + area.width, values[k].y));
    for (const TimeMark& mark : marks)
        painter.drawLine(QLineF(mark.x, area.bottom, mark.x, area.top()));
}

// Below the axis: a short mark and the time or date at each time mark; above the plot area,
// right-aligned, the first and last date-time shown when there is room beside the legend.
void PlotPainter::paintTimeAxis(QPainter& painter, QSize size, const PlotArea& area,
                                const TimeSpan& span, const std::vector<TimeMark>& marks) {
    const QFontMetricsF metrics(painter.font(), painter.device());
    painter.setPen(Qt::black);
    double freeFrom = 0; // labels never overlap: one that would is left out
    for (const TimeMark& mark : marks) {
        painter.drawLine(QLineF(mark.x, area.bottom + 2, mark.x, area.bottom + 7));
        const double width = metrics.horizontalAdvance(mark.label) + 1;
        const double left = std::clamp(mark.x - width / 2, 0.0, size.width() - width);
        if (left < freeFrom)
            continue;
        painter.drawText(QRectF(left, area.bottom + 10, width, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, mark.label);
        freeFrom = left + width + 6;
    }
    const QString range = QStringLiteral("%1 \u2013 %2")
                              .arg(QString::fromLatin1(recording::stampText(span.first)),
                                   QString::fromLatin1(recording::stampText(span.last)));
    const double width = metrics.horizontalAdvance(range) + 1;
    const double right = area.x0 + area.width;
    if (right - width > area.x0 + 20 * (m_data.channels + 1) + 10) {
        painter.drawText(QRectF(right - width, area.top() - 16, width, metrics.height()),
                         Qt::AlignLeft | Qt::AlignTop, range);
    }
}

// Per pixel column, as on the record axis; a gap in the date-times leaves the line open.
void PlotPainter::paintTimeCurves(QPainter& painter, const PlotArea& area, const PlotView& view,
                                  const TimeSpan& span) {
    const auto yOf = [&](float v) { return area.y(valueHeight(v, view, area.height)); };
    std::vector<QLineF> lines;
    for (int c = 1; c <= m_data.channels; ++c) {
        painter.setPen(QPen(channelColour(c), 1));
        const std::vector<TimeRun>& all = runs(c, view, span, area.width + 1);
        lines.clear();
        lines.reserve(all.size() * 2);
        for (std::size_t i = 0; i < all.size(); ++i) {
            const TimeRun& run = all[i];
            const double x = area.x0 + double(run.column);
            if (run.joined && i > 0)
                lines.emplace_back(area.x0 + double(all[i - 1].column), yOf(all[i - 1].last), x,
                                   yOf(run.first));
            if (run.min == run.max && !run.joined)
                painter.drawPoint(QPointF(x, yOf(run.min))); // a record alone between gaps
            else
                lines.emplace_back(x, yOf(run.min), x, yOf(run.max));
        }
        painter.drawLines(lines.data(), int(lines.size()));
    }
}

const std::vector<TimeRun>& PlotPainter::runs(int channel, const PlotView& view,
                                              const TimeSpan& span, int columns) {
    return m_timeCache[std::size_t(channel - 1)].get(
        view, columns,
        [&] { return reduceByTime(m_data, channel, view.r1, view.r2, span, columns); });
}

void PlotPainter::paintCurves(QPainter& painter, const PlotArea& area, const PlotView& view) {
    const qint64 span = view.r2 - view.r1;
    const auto yOf = [&](float v) { return area.y(valueHeight(v, view, area.height)); };
    std::vector<QPointF> points;
    for (int c = 1; c <= m_data.channels; ++c) {
        painter.setPen(QPen(channelColour(c), 1));
        points.clear();
        if (span <= area.width) {
            // Few enough records for one segment each.
            for (qint64 r = view.r1; r <= view.r2; ++r)
                points.emplace_back(recordX(area, view, r), yOf(m_data.value(c, r - 1)));
            if (points.size() == 1) {
                // One record gives no line: a dot the eye finds, in the channel's colour.
                painter.setBrush(channelColour(c));
                painter.drawEllipse(points.front(), 3.0, 3.0);
                painter.setBrush(Qt::NoBrush);
            } else
                painter.drawPolyline(points.data(), int(points.size()));
            continue;
        }
        // Per pixel column: the line from the previous column's last record to this one's
        // first, and the column's span from its lowest to its highest value.
        const std::vector<ColumnSpan>& columns = spans(c, view, area.width + 1);
        std::vector<QLineF> lines;
        lines.reserve(columns.size() * 2);
        for (std::size_t x = 0; x < columns.size(); ++x) {
            const ColumnSpan& s = columns[x];
            const double px = area.x0 + double(x);
            if (x > 0)
                lines.emplace_back(px - 1, yOf(columns[x - 1].last), px, yOf(s.first));
            lines.emplace_back(px, yOf(s.min), px, yOf(s.max));
        }
        painter.drawLines(lines.data(), int(lines.size()));
    }
}

const std::vector<ColumnSpan>& PlotPainter::spans(int channel, const PlotView& view, int columns) {
    return m_cache[std::size_t(channel - 1)].get(
        view, columns, [&] { return reduceColumns(m_data, channel, view.r1, view.r2, columns); });
}

} // namespace plot
