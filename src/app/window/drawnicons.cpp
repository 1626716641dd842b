#include "app/window/drawnicons.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace app {

QIcon toolbarIcon(const QString& key) {
    QPixmap pixmap(48, 48);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    if (key == QLatin1String("Save")) {
        p.setBrush(QColor(70, 110, 190));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 3, 10, 6));
        p.drawRect(QRectF(6, 13, 12, 8));
    } else if (key == QLatin1String("Open")) {
        QPainterPath folder;
        folder.moveTo(2, 6);
        folder.lineTo(9, 6);
        folder.lineTo(11, 8);
        folder.lineTo(21, 8);
        folder.lineTo(21, 20);
        folder.lineTo(2, 20);
        folder.closeSubpath();
        p.setBrush(QColor(235, 190, 80));
        p.drawPath(folder);
    } else if (key == QLatin1String("RTC")) {
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.drawLine(QPointF(12, 12), QPointF(12, 6));
        p.drawLine(QPointF(12, 12), QPointF(16, 14));
    } else if (key == QLatin1String("Memory")) {
        p.setBrush(QColor(60, 60, 60));
        p.drawRect(QRectF(6, 5, 12, 14));
        for (int i = 0; i < 4; ++i) {
            const double y = 7 + i * 3.3;
            p.drawLine(QPointF(3, y), QPointF(6, y));
            p.drawLine(QPointF(18, y), QPointF(21, y));
        }
    } else if (key == QLatin1String("Alarm")) {
        QPainterPath bell;
        bell.moveTo(5, 17);
        bell.cubicTo(7, 15, 6, 5, 12, 5);
        bell.cubicTo(18, 5, 17, 15, 19, 17);
        bell.closeSubpath();
        p.setBrush(QColor(230, 180, 40));
        p.drawPath(bell);
        p.drawEllipse(QPointF(12, 19), 2, 2);
    } else if (key == QLatin1String("Intv")) {
        QPainterPath glass;
        glass.moveTo(6, 3);
        glass.lineTo(18, 3);
        glass.lineTo(12, 12);
        glass.lineTo(18, 21);
        glass.lineTo(6, 21);
        glass.lineTo(12, 12);
        glass.closeSubpath();
        p.setBrush(QColor(220, 200, 150));
        p.drawPath(glass);
    } else if (key == QLatin1String("Erase")) {
        p.setBrush(QColor(200, 60, 50));
        p.drawRect(QRectF(6, 7, 12, 14));
        p.drawLine(QPointF(4, 6), QPointF(20, 6));
        p.drawLine(QPointF(10, 3), QPointF(14, 3));
    } else if (key == QLatin1String("PortSel")) {
        p.setBrush(QColor(90, 90, 90));
        p.drawRoundedRect(QRectF(6, 9, 12, 9), 2, 2);
        p.drawLine(QPointF(9, 9), QPointF(9, 4));
        p.drawLine(QPointF(15, 9), QPointF(15, 4));
        p.drawLine(QPointF(12, 18), QPointF(12, 22));
    }
    return QIcon(pixmap);
}

QPixmap keyPicture(live::Key key) {
    QPixmap pixmap(56, 56);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 2.2, Qt::SolidLine, Qt::RoundCap));
    if (key == live::Key::Power) {
        p.drawArc(QRectF(6, 7, 16, 16), 60 * 16, -300 * 16);
        p.drawLine(QPointF(14, 4), QPointF(14, 14));
    } else {
        p.drawEllipse(QPointF(14, 14), 5, 5);
        for (int i = 0; i < 8; ++i) {
            const double a = i * std::numbers::pi / 4;
            p.drawLine(QPointF(14 + 8 * std::cos(a), 14 + 8 * std::sin(a)),
                       QPointF(14 + 11 * std::cos(a), 14 + 11 * std::sin(a)));
        }
    }
    return pixmap;
}

} // namespace app
