#include "app/window/windowscale.h"

#include "app/window/lcdwidget.h"

#include <QLayout>
#include <QScreen>
#include <QStatusBar>
#include <QToolBar>
#include <QVariant>
#include <QWidget>

#include <cmath>

namespace app {

namespace {

const char* const kBaseGeometry = "qr512BaseGeometry";
const char* const kBaseFont = "qr512BaseFont";
constexpr int kToolbarIcon = 24;
// The title bar and borders a window manager adds, while the window is not shown yet.
constexpr QSize kFrameAllowance(8, 32);

QRect scaled(const QRect& r, double factor) {
    return QRect(qRound(r.x() * factor), qRound(r.y() * factor), qRound(r.width() * factor),
                 qRound(r.height() * factor));
}

} // namespace

WindowScale::WindowScale(QWidget* window)
    : QObject(window)
    , m_window(window) {}

void WindowScale::apply(double factor) {
    if (!(factor >= 1.0 && factor <= 4.0) || factor == m_factor)
        return;
    if (m_factor == 1.0)
        m_baseSize = m_window->size();
    m_factor = factor;
    // Places first, then the size: widgets that follow the window's width (the service
    // frame) then see where they now lie.
    scaleChildren(m_window, factor);
    if (!m_window->property(kBaseFont).isValid())
        m_window->setProperty(kBaseFont, m_window->font());
    QFont font = m_window->property(kBaseFont).value<QFont>();
    font.setPointSizeF(font.pointSizeF() * factor);
    m_window->setFont(font);
    for (QToolBar* bar : m_window->findChildren<QToolBar*>()) {
        const int side = qRound(kToolbarIcon * factor);
        bar->setIconSize(QSize(side, side));
    }
    m_window->setFixedSize(qRound(m_baseSize.width() * factor),
                           qRound(m_baseSize.height() * factor));
}

bool WindowScale::fits(double factor) const {
    const QSize base = m_factor == 1.0 ? m_window->size() : m_baseSize;
    const QSize frame =
        (m_window->frameGeometry().size() - m_window->size()).expandedTo(kFrameAllowance);
    const QSize room = m_room ? m_room() : m_window->screen()->availableSize();
    return qRound(base.width() * factor) + frame.width() <= room.width() &&
           qRound(base.height() * factor) + frame.height() <= room.height();
}

void WindowScale::move(QWidget* widget, const QPoint& basePos) {
    QVariant base = widget->property(kBaseGeometry);
    if (!base.isValid()) {
        widget->move(basePos);
        return;
    }
    QRect r = base.toRect();
    r.moveTopLeft(basePos);
    widget->setProperty(kBaseGeometry, r);
    widget->setGeometry(scaled(r, m_factor));
}

QPoint WindowScale::basePos(const QWidget* widget) {
    const QVariant base = widget->property(kBaseGeometry);
    return base.isValid() ? base.toRect().topLeft() : widget->pos();
}

void WindowScale::place(QWidget* widget, const QRect& baseRect) {
    const auto* scale =
        widget->window()->findChild<WindowScale*>(QString(), Qt::FindDirectChildrenOnly);
    widget->setProperty(kBaseGeometry, baseRect);
    widget->setGeometry(scaled(baseRect, scale ? scale->m_factor : 1.0));
}

void WindowScale::scaleChildren(QWidget* parent, double factor) {
    // The window's own layout holds only the toolbar and the status bar; every other child of
    // the window, and of a panel without a layout, is placed by hand.
    const bool handPlaced = parent == m_window || !parent->layout();
    for (QObject* object : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(object);
        if (!widget || widget->isWindow())
            continue;
        const bool managed = qobject_cast<QToolBar*>(widget) || qobject_cast<QStatusBar*>(widget);
        scaleOne(widget, factor, handPlaced && !managed);
        // The display places its symbols itself; bars lay out their own items.
        if (!qobject_cast<LcdWidget*>(widget) && !managed)
            scaleChildren(widget, factor);
    }
}

void WindowScale::scaleOne(QWidget* widget, double factor, bool placed) {
    if (placed) {
        if (!widget->property(kBaseGeometry).isValid())
            widget->setProperty(kBaseGeometry, widget->geometry());
        widget->setGeometry(scaled(widget->property(kBaseGeometry).toRect(), factor));
    }
    // Fonts a widget set for itself; the others follow the window's.
    if (!widget->property(kBaseFont).isValid() && widget->testAttribute(Qt::WA_SetFont))
        widget->setProperty(kBaseFont, widget->font());
    if (widget->property(kBaseFont).isValid()) {
        QFont font = widget->property(kBaseFont).value<QFont>();
        font.setPointSizeF(font.pointSizeF() * factor);
        widget->setFont(font);
    }
}

} // namespace app
