#include "app/trend/trendchart.h"

#include "live/livepoll.h"
#include "live/readout.h"
#include "plot/plotpainter.h"
#include "trend/trendaxes.h"
#include "trend/trendfeed.h"

#include <QComboBox>
#include <QDateTime>
#include <QLoggingCategory>
#include <QPainter>

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcTrend, "qr512.trend", QtWarningMsg)

namespace app {

namespace {

using trend::TrendColumn;
using trend::TrendSpan;

constexpr int kWidth = 420;
constexpr int kHeight = 380;
constexpr TrendSpan kSpans[] = {TrendSpan::Minute, TrendSpan::TenMinutes, TrendSpan::Hour,
                                TrendSpan::All};
constexpr const char* kSpanNames[] = {"1 min", "10 min", "1 h", "All"};
const QColor kGrid(220, 220, 220);

// The shown range of every present channel, in degrees of the displayed unit.
bool valueRange(const std::vector<TrendColumn>& columns, const live::LiveState& live, double& low,
                double& high) {
    const auto degrees = [&live](quint16 raw) {
        return live::readingTenths(raw, live.displayUnit(), live.typeLetter()) / 10.0;
    };
    low = std::numeric_limits<double>::max();
    high = std::numeric_limits<double>::lowest();
    for (const TrendColumn& column : columns)
        for (std::size_t c = 0; c < std::size_t(trend::kChannels); ++c)
            if (column.present & (1u << c)) {
                low = std::min(low, degrees(column.min[c]));
                high = std::max(high, degrees(column.max[c]));
            }
    return low <= high;
}

} // namespace

TrendChart::TrendChart(trend::TrendFeed& feed, QWidget* parent)
    : QWidget(parent)
    , m_feed(feed) {
    setObjectName(QStringLiteral("TrendChart"));
    setAccessibleName(QStringLiteral("Trend chart"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    // Reached by Tab, so that a screen reader reads its description out.
    setFocusPolicy(Qt::TabFocus);
    m_spanBox = new QComboBox(this);
    m_spanBox->setObjectName(QStringLiteral("TrendSpan"));
    m_spanBox->setAccessibleName(QStringLiteral("Trend span"));
    for (const char* name : kSpanNames)
        m_spanBox->addItem(QString::fromLatin1(name));
    m_spanBox->setCurrentIndex(1);
    m_spanBox->setGeometry(kWidth - 88, 2, 84, 24);
    connect(m_spanBox, &QComboBox::activated, this, [this](int index) {
        setSpan(kSpans[index]);
        emit spanChosen(m_span);
    });
    connect(&feed, &trend::TrendFeed::changed, this, &TrendChart::onChanged);
    updateDescription();
}

QRect TrendChart::baseGeometry(int leftOf) {
    return QRect(leftOf + 4, 44, kWidth, kHeight);
}

void TrendChart::setSpan(TrendSpan span) {
    m_span = span;
    m_spanBox->setCurrentIndex(
        int(std::find(std::begin(kSpans), std::end(kSpans), span) - std::begin(kSpans)));
    updateDescription();
    update();
}

void TrendChart::onChanged() {
    // Hidden, the store still follows every frame; nothing is drawn or described.
    if (!isVisible())
        return;
    updateDescription();
    update();
}

void TrendChart::showEvent(QShowEvent* event) {
    updateDescription();
    QWidget::showEvent(event);
}

void TrendChart::updateDescription() {
    const QString text = m_feed.description(m_span);
    if (accessibleDescription() != text)
        setAccessibleDescription(text);
}

void TrendChart::paintEvent(QPaintEvent*) {
    qCDebug(lcTrend) << "paint";
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    const QFontMetrics metrics(font());
    const int top = m_spanBox->geometry().bottom() + 6;
    const QRect area(QPoint(metrics.horizontalAdvance(QStringLiteral("-8888.8")) + 6, top),
                     QPoint(width() - 8, height() - metrics.height() - 8));
    paintTitle(painter, top);
    const trend::TrendStore& store = m_feed.store();
    if (area.width() >= 10 && area.height() >= 10 && !store.isEmpty()) {
        const qint64 to = store.lastMs();
        const qint64 from = std::min(store.spanStart(m_span), to - 1000);
        const std::vector<TrendColumn> columns = store.columns(from, to, area.width());
        double low = 0;
        double high = 0;
        if (!valueRange(columns, m_feed.live(), low, high))
            low = high = 0;
        const trend::ValueAxis axis = trend::fitValueAxis(low, high, area.height() / 40);
        paintValueGrid(painter, area, axis);
        paintTimeGrid(painter, area, from, to);
        paintCurves(painter, area, columns, axis.low, axis.high);
    }
    painter.setPen(Qt::black);
    painter.drawRect(area);
}

void TrendChart::paintTitle(QPainter& painter, int top) {
    const live::LiveState& live = m_feed.live();
    const QFontMetrics metrics(font());
    painter.setPen(Qt::black);
    painter.drawText(QRect(4, 0, width(), top), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("Trend (%1)").arg(live::unitSymbol(live.displayUnit())));
    int legendX = metrics.horizontalAdvance(QStringLiteral("Trend (°C)    "));
    for (int c = 1; c <= live.channelCount() && c <= trend::kChannels; ++c) {
        painter.setPen(plot::channelColour(c));
        const QString name = QStringLiteral("T%1").arg(c);
        painter.drawText(QRect(legendX, 0, width(), top), Qt::AlignLeft | Qt::AlignVCenter, name);
        legendX += metrics.horizontalAdvance(name + QStringLiteral("  "));
    }
}

void TrendChart::paintValueGrid(QPainter& painter, const QRect& area,
                                const trend::ValueAxis& axis) {
    const QFontMetrics metrics(font());
    for (double v = axis.low; v <= axis.high + axis.step / 2; v += axis.step) {
        const double y = area.bottom() - (v - axis.low) / (axis.high - axis.low) * area.height();
        painter.setPen(kGrid);
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(0, y - metrics.height() / 2.0, area.left() - 4, metrics.height()),
            Qt::AlignRight | Qt::AlignVCenter,
            QString::number(std::abs(v) < axis.step / 2 ? 0.0 : v, 'f', axis.step < 1 ? 1 : 0));
    }
}

void TrendChart::paintTimeGrid(QPainter& painter, const QRect& area, qint64 from, qint64 to) {
    const QFontMetrics metrics(font());
    const int labelWidth = metrics.horizontalAdvance(QStringLiteral("88:88:88")) + 16;
    const qint64 step = trend::timeStep(to - from, std::max(1, area.width() / labelWidth));
    // Marks at round local clock times.
    const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(from).offsetFromUtc()) * 1000;
    const QString format = step < 60000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    for (qint64 t = from - (from + offset) % step + step; t <= to; t += step) {
        const double x = area.left() + double(t - from) / double(to - from) * area.width();
        painter.setPen(kGrid);
        painter.drawLine(QPointF(x, area.top()), QPointF(x, area.bottom()));
        if (x < labelWidth / 2.0 || x + labelWidth / 2.0 > width())
            continue;
        painter.setPen(Qt::black);
        painter.drawText(
            QRectF(x - labelWidth / 2.0, area.bottom() + 2, labelWidth, metrics.height()),
            Qt::AlignCenter, QDateTime::fromMSecsSinceEpoch(t).toString(format));
    }
}

void TrendChart::paintCurves(QPainter& painter, const QRect& area,
                             const std::vector<TrendColumn>& columns, double low, double high) {
    const live::LiveState& live = m_feed.live();
    const auto yOf = [&](quint16 raw) {
        const double v = live::readingTenths(raw, live.displayUnit(), live.typeLetter()) / 10.0;
        return area.bottom() - (v - low) / (high - low) * area.height();
    };
    painter.setRenderHint(QPainter::Antialiasing);
    for (int c = 0; c < trend::kChannels; ++c) {
        const QColor colour = plot::channelColour(c + 1);
        const auto bit = quint8(1u << c);
        const auto i = std::size_t(c);
        QList<QLineF> lines;
        QPolygonF marks;
        QPointF last;
        bool joined = false; // the previous column with a reading may be joined to this one
        for (std::size_t k = 0; k < columns.size(); ++k) {
            const TrendColumn& column = columns[k];
            const double x = area.left() + double(k) + 0.5;
            if (column.gapBefore || ((column.over | column.under) & bit))
                joined = false;
            if (column.over & bit)
                marks << QPointF(x - 3, area.top() + 5) << QPointF(x, area.top())
                      << QPointF(x + 3, area.top() + 5);
            if (column.under & bit)
                marks << QPointF(x - 3, area.bottom() - 5) << QPointF(x, area.bottom())
                      << QPointF(x + 3, area.bottom() - 5);
            if (!(column.present & bit))
                continue;
            const double yMin = yOf(column.min[i]);
            const double yMax = yOf(column.max[i]);
            const QPointF middle(x, (yMin + yMax) / 2);
            if (joined)
                lines << QLineF(last, middle);
            lines << QLineF(x, yMin, x, yMax);
            last = middle;
            joined = true;
        }
        painter.setPen(QPen(colour, 1.5));
        painter.drawLines(lines);
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        for (qsizetype m = 0; m + 2 < marks.size(); m += 3)
            painter.drawPolygon(marks.constData() + m, 3);
        painter.setBrush(Qt::NoBrush);
    }
}

} // namespace app
