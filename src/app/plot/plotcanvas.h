#pragma once

// The drawing surface of the plot window. Besides the exact range panel, the mouse zooms the
// record range: the wheel around the record under the cursor, a drag across the records to
// show, a double-click back to the whole file; from the keyboard "+" and "-" zoom around the
// middle, the arrow keys move by a tenth and Home shows the whole file. The record, its
// date-time and values under the cursor are reported for the status bar.

#include "plot/plotdata.h"
#include "plot/plotgeometry.h"
#include "plot/plotpainter.h"

#include <QWidget>

#include <memory>
#include <optional>

namespace app {

class PlotCanvas : public QWidget {
    Q_OBJECT
public:
    PlotCanvas(std::shared_ptr<const plot::PlotData> plotData, QWidget* parent = nullptr);

    const plot::PlotData& data() const { return *m_data; }
    const plot::PlotView& view() const { return m_view; }
    void setView(const plot::PlotView& view);

    // Draws what the canvas shows, at its size, onto any painter (print, image).
    void render(QPainter& painter);
    // "Record 1234  2024/03/15 14:05:09  C1 25.3  C2 26.0" for the record at surface x.
    QString recordText(double x) const;
    // The values fitted to the records shown; false (nothing changes) when they hold none.
    bool fitValues();
    // Records spaced by their date-times or by their numbers; false (nothing changes) for the
    // time axis when the records carry no two different date-times.
    bool setAxis(plot::XAxis axis);

signals:
    void viewChanged();
    void hoverTextChanged(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void describe();
    plot::PlotArea area() const;
    void zoomRecords(qint64 first, qint64 last);
    // Shows `factor` times as many records, keeping `anchor` where it is.
    void zoomAround(qint64 anchor, double factor);

    std::shared_ptr<const plot::PlotData> m_data;
    plot::PlotPainter m_painter;
    plot::PlotView m_view;
    std::optional<double> m_dragFrom;
    double m_dragTo = 0;
};

} // namespace app
