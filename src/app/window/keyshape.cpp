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
}

} // namespace app
