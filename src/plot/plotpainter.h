#pragma once

// Draws a loaded data file onto any paint device: the window, an image, an SVG or PDF file,
// a printer. Curves of many records are drawn from per-pixel-column spans, computed once per
// range and width and kept until either changes, so a repaint costs a few thousand lines
// whatever the file's length.

#include "plot/plotdata.h"
#include "plot/plotgeometry.h"

#include <QColor>
#include <QSize>

#include <array>
#include <vector>

class QPainter;

namespace plot {

// T1 red, T2 green, T3 blue, T4 black.
QColor channelColour(int channel);

class PlotPainter {
public:
    // `data` must outlive the painter.
    explicit PlotPainter(const PlotData& data)
        : m_data(data) {}

    // Clears a surface of `size` to white and draws the grid, axes, marks, labels, the unit,
    // legend, curves and record lines (or on the time axis, its marks and dates).
    void paint(QPainter& painter, QSize size, const PlotView& view);

private:
    void paintGrid(QPainter& painter, const PlotArea& area, const std::vector<TimeMark>& marks);
    void paintCurves(QPainter& painter, const PlotArea& area, const PlotView& view);
    void paintTimeCurves(QPainter& painter, const PlotArea& area, const PlotView& view,
                         const TimeSpan& span);
    void paintTimeAxis(QPainter& painter, QSize size, const PlotArea& area, const TimeSpan& span,
                       const std::vector<TimeMark>& marks);
    const std::vector<ColumnSpan>& spans(int channel, const PlotView& view, int columns);
    const std::vector<TimeRun>& runs(int channel, const PlotView& view, const TimeSpan& span,
                                     int columns);

    const PlotData& m_data;
    // One channel's reduction, kept until the records shown or the width change.
    template <typename Item> struct Cache {
        qint64 r1 = 0;
        qint64 r2 = -1;
        int columns = 0;
        std::vector<Item> items;

        template <typename Make>
        const std::vector<Item>& get(const PlotView& view, int width, Make&& make) {
            if (r1 != view.r1 || r2 != view.r2 || columns != width) {
                items = make();
                r1 = view.r1;
                r2 = view.r2;
                columns = width;
            }
            return items;
        }
    };
    std::array<Cache<ColumnSpan>, 4> m_cache;
    std::array<Cache<TimeRun>, 4> m_timeCache;
    // The time span of the records shown, worked out once per record range.
    qint64 m_spanR1 = 0;
    qint64 m_spanR2 = -1;
    std::optional<TimeSpan> m_span;
};

} // namespace plot
