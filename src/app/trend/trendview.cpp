#include "app/trend/trendview.h"

#include "app/trend/trendchart.h"
#include "app/window/controlpanel.h"
#include "trend/trendfeed.h"

#include <QAction>
#include <QDateTime>
#include <QMenu>
#include <QSettings>

namespace app {

namespace {

const QString kShownKey = QStringLiteral("view/trend");
const QString kSpanKey = QStringLiteral("view/trendSpan");

} // namespace

TrendChart* attachTrendChart(ControlPanel& window, live::LiveState& live, QSettings& settings) {
    auto* feed = new trend::TrendFeed(live, &QDateTime::currentMSecsSinceEpoch, &window);
    auto* chart = new TrendChart(*feed, &window);
    const int plainWidth = window.width();
    chart->setGeometry(TrendChart::baseGeometry(plainWidth));
    const int span = settings.value(kSpanKey, int(trend::TrendSpan::TenMinutes)).toInt();
    if (span >= int(trend::TrendSpan::Minute) && span <= int(trend::TrendSpan::All))
        chart->setSpan(trend::TrendSpan(span));

    auto* action = new QAction(QStringLiteral("Trend"), &window);
    action->setObjectName(QStringLiteral("ViewTrend"));
    action->setCheckable(true);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    window.addAction(action); // the shortcut works with the menu closed
    if (auto* menu = window.findChild<QMenu*>(QStringLiteral("ViewMenu"))) {
        menu->addSeparator();
        menu->addAction(action);
    }
    // After the window took its size for a scale, the chart's width is added or taken away.
    const auto fit = [&window, chart, plainWidth] {
        const double factor = window.scalePercent() / 100.0;
        const int base = plainWidth + (chart->isHidden() ? 0 : TrendChart::kExtraWidth);
        window.setFixedSize(qRound(base * factor), window.height());
    };
    QObject::connect(action, &QAction::toggled, chart,
                     [&window, chart, fit, &settings](bool shown) {
                         // The window takes its unscaled size at 100 %: the chart comes or goes
                         // there, so that every size after it (and the check of which sizes fit the
                         // screen) counts it.
                         const int percent = window.scalePercent();
                         window.setScalePercent(100);
                         chart->setVisible(shown);
                         fit();
                         // Wider with the chart, it may no longer fit the screen at that size.
                         window.setScalePercent(window.largestFittingPercent(percent));
                         settings.setValue(kShownKey, shown);
                     });
    QObject::connect(&window, &ControlPanel::scaleChanged, chart, fit);
    QObject::connect(chart, &TrendChart::spanChosen, chart, [&settings](trend::TrendSpan chosen) {
        settings.setValue(kSpanKey, int(chosen));
    });
    chart->setVisible(settings.value(kShownKey, false).toBool());
    action->setChecked(!chart->isHidden());
    fit();
    return chart;
}

} // namespace app
