#include "app/window/lcdwidget.h"

#include "app/window/alertaccessible.h"
#include "app/window/lcdaccessible.h"
#include "app/window/lcdgeometry.h"
#include "live/readout.h"

#include <QAccessible>
#include <QFontMetricsF>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <utility>

namespace app {

namespace {

const QColor kGlass(0xc9, 0xd1, 0xbd);
const QColor kGlassEdge(0x8a, 0x93, 0x80);
const QColor kInk(0x1c, 0x1e, 0x1c);
const QColor kGhost(0, 0, 0, 11); // unlit segments: just visible on the glass

enum class SymbolShape {
    Text,
    Dot,
    Colon,
    Stroke,
    Minus,
    Battery,
    Apo,
    Plug,
    Celsius,
    Fahrenheit,
    Kelvin
};

SymbolShape shapeOf(const live::AnnunciatorInfo& info) {
    const QLatin1StringView name(info.name);
    const QLatin1StringView caption(info.caption);
    if (name.startsWith(QLatin1StringView("ImaBt")))
        return SymbolShape::Battery;
    if (name == QLatin1StringView("ImaAPO"))
        return SymbolShape::Apo;
    if (name == QLatin1StringView("ImaPlug"))
        return SymbolShape::Plug;
    if (name == QLatin1StringView("ImaC"))
        return SymbolShape::Celsius;
    if (name == QLatin1StringView("ImaF"))
        return SymbolShape::Fahrenheit;
    if (name == QLatin1StringView("ImaK"))
        return SymbolShape::Kelvin;
    if (caption == QLatin1StringView("."))
        return SymbolShape::Dot;
    if (caption == QLatin1StringView(":"))
        return SymbolShape::Colon;
    if (caption == QLatin1StringView("-"))
        return SymbolShape::Minus;
    // The "l" sharing the colon's place is one upright stroke of the glass, not a letter.
    if (caption == QLatin1StringView("l") && name.endsWith(QLatin1StringView("L")))
        return SymbolShape::Stroke;
    return SymbolShape::Text;
}

// One annunciator. It keeps its caption as QLabel text (and so as its accessible name) but
// draws itself, so that points, strokes and pictures look like glass segments at any size.
class LcdSymbol : public QLabel {
public:
    LcdSymbol(const live::AnnunciatorInfo& info, QWidget* parent)
        : QLabel(QString::fromLatin1(info.caption), parent)
        , m_shape(shapeOf(info))
        , m_batteryPart(m_shape == SymbolShape::Battery ? info.name[5] - '0' : 0) {
        setObjectName(QString::fromLatin1(info.name));
        setAccessibleName(live::symbolSpokenName(objectName()));
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect());
        const double w = r.width();
        const double h = r.height();
        const double stroke = std::max(1.0, h * 0.11);
        QPen pen(kInk, stroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        switch (m_shape) {
        case SymbolShape::Text:
            drawFittedText(p, r, text());
            break;
        case SymbolShape::Dot: {
            const double d = std::min(w, h) * 0.8;
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawEllipse(r.center(), d / 2, d / 2);
            break;
        }
        case SymbolShape::Colon: {
            const double d = std::min(w * 0.7, h * 0.3);
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawEllipse(QPointF(w / 2, h * 0.25), d / 2, d / 2);
            p.drawEllipse(QPointF(w / 2, h * 0.75), d / 2, d / 2);
            break;
        }
        case SymbolShape::Stroke:
            p.fillRect(QRectF(w * 0.3, h * 0.05, w * 0.4, h * 0.9), kInk);
            break;
        case SymbolShape::Minus:
            p.fillRect(QRectF(0, h * 0.2, w, h * 0.6), kInk);
            break;
        case SymbolShape::Battery:
            drawBatteryPart(p, w, h);
            break;
        case SymbolShape::Apo:
            pen.setWidthF(std::max(1.0, h * 0.08));
            p.setPen(pen);
            p.drawRoundedRect(r.adjusted(1, 1, -1, -1), h * 0.2, h * 0.2);
            drawFittedText(p, r.adjusted(w * 0.1, h * 0.15, -w * 0.1, -h * 0.15),
                           QStringLiteral("APO"));
            break;
        case SymbolShape::Plug:
            p.setPen(pen);
            p.drawLine(QPointF(w * 0.05, h * 0.5), QPointF(w * 0.35, h * 0.5)); // cord
            p.drawLine(QPointF(w * 0.75, h * 0.35), QPointF(w * 0.95, h * 0.35));
            p.drawLine(QPointF(w * 0.75, h * 0.65), QPointF(w * 0.95, h * 0.65));
            p.setBrush(kInk);
            p.drawRoundedRect(QRectF(w * 0.35, h * 0.2, w * 0.4, h * 0.6), h * 0.1, h * 0.1);
            break;
        case SymbolShape::Celsius:
        case SymbolShape::Fahrenheit:
        case SymbolShape::Kelvin:
            p.setPen(pen);
            drawUnit(p, w, h);
            break;
        }
    }

private:
    static void drawFittedText(QPainter& p, const QRectF& r, const QString& caption) {
        QFont font = p.font();
        font.setBold(true);
        double size = std::max(1.0, r.height() * 0.85);
        font.setPixelSize(int(size));
        const double advance = QFontMetricsF(font).horizontalAdvance(caption);
        if (advance > r.width() * 0.95 && advance > 0) {
            size = std::max(1.0, std::floor(size * r.width() * 0.95 / advance));
            font.setPixelSize(int(size));
        }
        p.setFont(font);
        p.setPen(kInk);
        p.drawText(r, Qt::AlignCenter, caption);
    }

    // The battery is four bars side by side, one per symbol; each draws its stretch of the
    // outline so that the lit bars always sit in a battery shape.
    void drawBatteryPart(QPainter& p, double w, double h) const {
        const double edge = std::max(1.0, h * 0.1);
        const double top = h * 0.15;
        const double bottom = h * 0.85;
        const double bodyRight = m_batteryPart == 4 ? w * 0.8 : w;
        p.setPen(Qt::NoPen);
        p.setBrush(kInk);
        p.drawRect(QRectF(0, top, bodyRight, edge));
        p.drawRect(QRectF(0, bottom - edge, bodyRight, edge));
        if (m_batteryPart == 1)
            p.drawRect(QRectF(0, top, edge, bottom - top));
        if (m_batteryPart == 4) {
            p.drawRect(QRectF(bodyRight - edge, top, edge, bottom - top));
            p.drawRect(QRectF(bodyRight, h * 0.35, w - bodyRight, h * 0.3));
        }
        const double inset = edge * 1.8;
        const double left = m_batteryPart == 1 ? inset : edge * 0.8;
        const double right = (m_batteryPart == 4 ? bodyRight - inset : w - edge * 0.8);
        p.drawRect(QRectF(left, top + inset, right - left, bottom - top - 2 * inset));
    }

    void drawUnit(QPainter& p, double w, double h) const {
        const double ring = std::min(w, h) * 0.1;
        if (m_shape != SymbolShape::Kelvin)
            p.drawEllipse(QPointF(w * 0.18, h * 0.2), ring, ring);
        switch (m_shape) {
        case SymbolShape::Celsius:
            p.drawArc(QRectF(w * 0.38, h * 0.15, w * 0.55, h * 0.7), 45 * 16, 270 * 16);
            break;
        case SymbolShape::Fahrenheit:
            p.drawLine(QPointF(w * 0.45, h * 0.15), QPointF(w * 0.45, h * 0.85));
            p.drawLine(QPointF(w * 0.45, h * 0.15), QPointF(w * 0.9, h * 0.15));
            p.drawLine(QPointF(w * 0.45, h * 0.48), QPointF(w * 0.8, h * 0.48));
            break;
        default:
            p.drawLine(QPointF(w * 0.3, h * 0.15), QPointF(w * 0.3, h * 0.85));
            p.drawLine(QPointF(w * 0.8, h * 0.15), QPointF(w * 0.3, h * 0.58));
            p.drawLine(QPointF(w * 0.47, h * 0.44), QPointF(w * 0.8, h * 0.85));
            break;
        }
    }

    SymbolShape m_shape = SymbolShape::Text;
    int m_batteryPart = 0;
};

// Laid over the whole glass, symbols included, so that nothing on it looks live.
class LostCover : public QWidget {
public:
    explicit LostCover(QWidget* parent)
        : QWidget(parent) {
        setObjectName(QStringLiteral("LblLost"));
        setAccessibleName(kText);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        AlertAccessible::attach(this);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QColor veil = kGlass;
        veil.setAlpha(190);
        p.fillRect(rect(), veil);
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(std::max(8, height() / 6));
        p.setFont(font);
        p.setPen(kInk);
        p.drawText(rect(), Qt::AlignCenter, kText);
    }

private:
    static inline const QString kText = QStringLiteral("Not answering");
};

// Integer pixel rectangle with rounded edges, so that symbols that touch in twips touch (and
// do not overlap) in pixels.
QRect snapped(const QRectF& r) {
    const QPoint topLeft(qRound(r.left()), qRound(r.top()));
    const QPoint bottomRight(qRound(r.right()), qRound(r.bottom()));
    return QRect(topLeft, bottomRight - QPoint(1, 1));
}

} // namespace

LcdWidget::LcdWidget(QWidget* parent)
    : QWidget(parent) {
    // Before anything asks for this widget's interface, so that it is never the plain one.
    LcdAccessible::install();
    setObjectName(QStringLiteral("LCD"));
    // Reached by Tab so that a screen reader reads it out.
    setFocusPolicy(Qt::TabFocus);
    // Until the first frame the drawing shows every segment and symbol, as the meter does
    // when it powers up.
    for (auto& digit : m_state.segments)
        digit.fill(true);
    m_state.annunciators.fill(true);
    m_state.unitIsCelsius = m_state.unitIsFahrenheit = m_state.unitIsKelvin = true;
    for (std::size_t i = 0; i < m_labels.size(); ++i)
        m_labels[i] = new LcdSymbol(live::kAnnunciators[i], this);
    m_lostCover = new LostCover(this);
    m_lostCover->hide();
    placeAnnunciators();
}

void LcdWidget::setLost(bool lost) {
    if (lost == isLost())
        return;
    m_lostCover->setVisible(lost);
    if (!lost)
        return;
    m_lostCover->raise();
    AlertAccessible::raise(m_lostCover);
}

bool LcdWidget::isLost() const {
    return !m_lostCover->isHidden();
}

void LcdWidget::setDisplay(const live::DisplayState& state) {
    QRegion dirty;
    for (int d = 0; d < live::kDigitCount; ++d)
        if (state.segments[std::size_t(d)] != m_state.segments[std::size_t(d)])
            dirty += digitPixels(d);
    // Compared with what is shown, not with the last frame: a label someone else showed (REC
    // at the start of a PC recording) follows the meter again with the next frame.
    for (std::size_t i = 0; i < m_labels.size(); ++i)
        if (m_labels[i]->isHidden() == state.annunciators[i])
            m_labels[i]->setVisible(state.annunciators[i]);
    m_state = state;
    if (!dirty.isEmpty())
        update(dirty);
}

void LcdWidget::setReadout(const QString& text) {
    // Announced only on change: frames repeat the same display many times a second.
    if (text == m_readout)
        return;
    const QString before = std::exchange(m_readout, text);
    QAccessibleEvent named(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&named);
    QAccessibleTextUpdateEvent updated(this, 0, before, text);
    QAccessible::updateAccessibility(&updated);
}

bool LcdWidget::segmentLit(int digit, int segment) const {
    if (digit < 0 || digit >= live::kDigitCount || segment < 0 || segment >= live::kSegmentCount)
        return false;
    return m_state.segments[std::size_t(digit)][std::size_t(segment)];
}

QLabel* LcdWidget::annunciatorLabel(int index) const {
    if (index < 0 || index >= live::kAnnunciatorCount)
        return nullptr;
    return m_labels[std::size_t(index)];
}

QTransform LcdWidget::twipsToPixels() const {
    return lcdToWidget(QSizeF(size()));
}

QSize LcdWidget::sizeHint() const {
    const QRectF area = lcdArea();
    return QSize(qRound(area.width() / kTwipsPerPixel), qRound(area.height() / kTwipsPerPixel));
}

void LcdWidget::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QTransform toPixels = twipsToPixels();
    p.setTransform(toPixels);
    const QRectF area = lcdArea();
    p.setPen(QPen(kGlassEdge, 20));
    p.setBrush(kGlass);
    p.drawRoundedRect(area.adjusted(10, 10, -10, -10), 60, 60);

    p.setPen(Qt::NoPen);
    for (int d = 0; d < live::kDigitCount; ++d) {
        if (!event->region().intersects(digitPixels(d)))
            continue;
        for (int s = 0; s < live::kSegmentCount; ++s) {
            p.setBrush(segmentLit(d, s) ? kInk : kGhost);
            p.drawPolygon(segmentPolygon(d, s));
        }
    }
    if (hasFocus()) {
        // Where the keyboard is, inside the glass's edge.
        p.resetTransform();
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DashLine));
        p.drawRoundedRect(QRectF(rect()).adjusted(3, 3, -3, -3), 4, 4);
    }
}

void LcdWidget::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    update();
}

void LcdWidget::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    update();
}

void LcdWidget::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeAnnunciators();
}

void LcdWidget::placeAnnunciators() {
    const QTransform toPixels = twipsToPixels();
    for (std::size_t i = 0; i < m_labels.size(); ++i)
        m_labels[i]->setGeometry(snapped(toPixels.mapRect(annunciatorRect(int(i)))));
    m_lostCover->setGeometry(rect());
}

QRect LcdWidget::digitPixels(int digit) const {
    // A pixel of margin for the anti-aliased edges.
    return twipsToPixels().mapRect(digitCell(digit)).toAlignedRect().adjusted(-1, -1, 1, 1);
}

} // namespace app
