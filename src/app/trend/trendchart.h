#pragma once

#include "trend/trendaxes.h"
#include "trend/trendstore.h"

#include <QWidget>

class QComboBox;

namespace trend {
class TrendFeed;
}

namespace app {

// The live trend beside the display: the present channels over the chosen span in the unit
// the meter displays, range marks at the edges, gaps where the meter was lost. It only draws
// what the feed's store holds, and repaints only when the feed has news while it is shown.
class TrendChart : public QWidget {
    Q_OBJECT
public:
    explicit TrendChart(trend::TrendFeed& feed, QWidget* parent = nullptr);

    // Where the chart lies in the unscaled window beside a client area `leftOf` wide, and how
    // much wider it makes the window.
    static QRect baseGeometry(int leftOf);
    static constexpr int kExtraWidth = 428; // 4, the chart's 420, 4

    trend::TrendSpan span() const { return m_span; }
    void setSpan(trend::TrendSpan span);

signals:
    void spanChosen(trend::TrendSpan span);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void onChanged();
    void updateDescription();
    void paintTitle(QPainter& painter, int top);
    void paintValueGrid(QPainter& painter, const QRect& area, const trend::ValueAxis& axis);
    void paintTimeGrid(QPainter& painter, const QRect& area, qint64 from, qint64 to);
    void paintCurves(QPainter& painter, const QRect& area,
                     const std::vector<trend::TrendColumn>& columns, double low, double high);

    trend::TrendFeed& m_feed;
    QComboBox* m_spanBox = nullptr;
    trend::TrendSpan m_span = trend::TrendSpan::TenMinutes;
};

} // namespace app
