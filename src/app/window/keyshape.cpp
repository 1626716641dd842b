#include "app/window/keyshape.h"

#include <QPainter>

namespace app {

KeyShape::KeyShape(Form form, QColor fill, QWidget* parent)
    : QWidget(parent)
    , m_form(form)
    , m_fill(fill) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KeyShape::setFillColor(const QColor& color) {
    if (color == m_fill)
        return;
    m_fill = color;
    update();
}

void KeyShape::setFocusMark(bool shown) {
    if (shown == m_focusMark)
        return;
    m_focusMark = shown;
    update();
}

void KeyShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(m_fill);
    const QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_form == Form::Ellipse)
        painter.drawEllipse(r);
    else
        painter.drawRoundedRect(r, 6, 6);
    if (m_focusMark) {
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(r.adjusted(3, 3, -3, -3), 4, 4);
    }
}

} // namespace app
