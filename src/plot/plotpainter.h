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

    // Clears a surface of `size` to white and draws axes, marks, labels, legend, curves and
    // record lines.
    void paint(QPainter& painter, QSize size, const PlotView& view);

private:
    void paintCurves(QPainter& painter, const PlotArea& area, const PlotView& view);
    const std::vector<ColumnSpan>& spans(int channel, const PlotView& view, int columns);

    const PlotData& m_data;
    struct Cache {
        qint64 r1 = 0;
        qint64 r2 = -1;
        int columns = 0;
        std::vector<ColumnSpan> spans;
    };
    std::array<Cache, 4> m_cache;
};

} // namespace plot
