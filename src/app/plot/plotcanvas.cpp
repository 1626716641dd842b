#include "app/plot/plotcanvas.h"

#include "live/readout.h"

#include <QAccessibleWidget>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace app {

namespace {

// The drawing is a picture to a screen reader, not an empty filler: its name and description
// say what it shows.
QAccessibleInterface* graphicFactory(const QString&, QObject* object) {
    auto* canvas = qobject_cast<PlotCanvas*>(object);
    return canvas ? new QAccessibleWidget(canvas, QAccessible::Graphic) : nullptr;
}

} // namespace

PlotCanvas::PlotCanvas(std::shared_ptr<const plot::PlotData> plotData, QWidget* parent)
    : QWidget(parent)
    , m_data(std::move(plotData))
    , m_painter(*m_data)
    , m_view(plot::initialView(*m_data)) {
    QAccessible::installFactory(graphicFactory); // Qt keeps one of each
    setObjectName(QStringLiteral("PlotCanvas"));
    setAccessibleName(QStringLiteral("Plot of %1").arg(QFileInfo(m_data->fileName).fileName()));
    describe();
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void PlotCanvas::setView(const plot::PlotView& view) {
    m_view = view;
    describe();
    update();
    emit viewChanged();
}

void PlotCanvas::describe() {
    const QString unit = live::unitSymbol(m_data->unit);
    const QString channels = m_data->channels == 1
                                 ? QStringLiteral("C1")
                                 : QStringLiteral("C1 to C%1").arg(m_data->channels);
    setAccessibleDescription(QStringLiteral("%1 in %2, records %3 to %4 of %5, values %6 to %7 %2")
                                 .arg(channels, unit)
                                 .arg(m_view.r1)
                                 .arg(m_view.r2)
                                 .arg(m_data->count)
                                 .arg(m_view.low)
                                 .arg(m_view.high));
}

plot::PlotArea PlotCanvas::area() const {
    return plot::plotArea(width(), height());
}

void PlotCanvas::render(QPainter& painter) {
    m_painter.paint(painter, size(), m_view);
}

void PlotCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    render(painter);
    if (m_dragFrom) {
        const plot::PlotArea a = area();
        const QRectF band(QPointF(std::min(*m_dragFrom, m_dragTo), a.top()),
                          QPointF(std::max(*m_dragFrom, m_dragTo), a.bottom));
        painter.fillRect(band, QColor(0, 120, 215, 50));
    }
}

QString PlotCanvas::recordText(double x) const {
    const qint64 record = plot::recordUnder(*m_data, area(), m_view, x);
    QString text = QStringLiteral("Record %1").arg(record);
    if (const QString stamp = m_data->stampText(record - 1); !stamp.isEmpty())
        text += QStringLiteral("  ") + stamp;
    for (int c = 1; c <= m_data->channels; ++c) {
        const float v = m_data->value(c, record - 1);
        const QString value = plot::isOverRange(v)    ? QStringLiteral("OL")
                              : plot::isUnderRange(v) ? QStringLiteral("-OL")
                                                      : QString::number(double(v), 'f', 1);
        text += QStringLiteral("  %1 %2").arg(plot::legendText(m_data->unit, c), value);
    }
    return text;
}

bool PlotCanvas::fitValues() {
    const auto range = plot::fittedRange(*m_data, m_view.r1, m_view.r2);
    if (!range)
        return false;
    plot::PlotView view = m_view;
    view.low = range->first;
    view.high = range->second;
    setView(view);
    return true;
}

bool PlotCanvas::setAxis(plot::XAxis axis) {
    if (axis == plot::XAxis::Time && !m_data->hasTimes())
        return false;
    plot::PlotView view = m_view;
    view.axis = axis;
    setView(view);
    return true;
}

void PlotCanvas::zoomRecords(qint64 first, qint64 last) {
    const qint64 n = std::max<qint64>(1, m_data->count);
    if (n < 2)
        return;
    first = std::clamp<qint64>(first, 1, n - 1);
    last = std::clamp<qint64>(last, first + 1, n);
    if (first == m_view.r1 && last == m_view.r2)
        return;
    plot::PlotView view = m_view;
    view.r1 = first;
    view.r2 = last;
    setView(view);
}

void PlotCanvas::zoomAround(qint64 anchor, double factor) {
    const qint64 shown = std::max<qint64>(1, m_view.r2 - m_view.r1);
    const double span = std::max(1.0, double(shown) * factor);
    const double share = double(anchor - m_view.r1) / double(shown);
    const auto first = qint64(std::llround(double(anchor) - span * share));
    zoomRecords(first, first + qint64(std::llround(span)));
}

void PlotCanvas::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 120;
    if (steps == 0) {
        event->ignore();
        return;
    }
    // Each notch shows 4/5 (in) or 5/4 (out) of the records.
    zoomAround(plot::recordUnder(*m_data, area(), m_view, event->position().x()),
               std::pow(0.8, steps));
    event->accept();
}

void PlotCanvas::keyPressEvent(QKeyEvent* event) {
    const qint64 middle = m_view.r1 + (m_view.r2 - m_view.r1) / 2;
    const qint64 tenth = std::max<qint64>(1, (m_view.r2 - m_view.r1) / 10);
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomAround(middle, 0.5);
        break;
    case Qt::Key_Minus:
        zoomAround(middle, 2);
        break;
    case Qt::Key_Left:
        zoomRecords(std::max<qint64>(1, m_view.r1 - tenth),
                    std::max<qint64>(1, m_view.r1 - tenth) + (m_view.r2 - m_view.r1));
        break;
    case Qt::Key_Right: {
        const qint64 last = std::min(m_data->count, m_view.r2 + tenth);
        zoomRecords(last - (m_view.r2 - m_view.r1), last);
        break;
    }
    case Qt::Key_Home:
        zoomRecords(1, m_data->count);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    emit hoverTextChanged(QStringLiteral("Records %1 to %2").arg(m_view.r1).arg(m_view.r2));
}

void PlotCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_dragFrom = event->position().x();
        m_dragTo = *m_dragFrom;
    }
}

void PlotCanvas::mouseMoveEvent(QMouseEvent* event) {
    emit hoverTextChanged(recordText(event->position().x()));
    if (m_dragFrom) {
        m_dragTo = event->position().x();
        update();
    }
}

void PlotCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_dragFrom || event->button() != Qt::LeftButton)
        return;
    const double from = *m_dragFrom;
    m_dragFrom.reset();
    update();
    // A click is not a drag.
    if (std::abs(event->position().x() - from) < 4)
        return;
    const qint64 a = plot::recordUnder(*m_data, area(), m_view, from);
    const qint64 b = plot::recordUnder(*m_data, area(), m_view, event->position().x());
    zoomRecords(std::min(a, b), std::max(a, b));
}

void PlotCanvas::mouseDoubleClickEvent(QMouseEvent*) {
    m_dragFrom.reset();
    zoomRecords(1, m_data->count);
}

void PlotCanvas::leaveEvent(QEvent*) {
    emit hoverTextChanged(QString());
}

} // namespace app
