#pragma once

class QSettings;

namespace live {
class LiveState;
}

namespace app {

class ControlPanel;
class TrendChart;

// Puts the trend chart beside the display, fed from `live` from now on, and View → "Trend"
// (Ctrl+G) to show or hide it, which widens the window at every view size. Shown or hidden,
// and its span, as `settings` kept them; each choice is kept there. Call before the window's
// scale is restored, while it has its unscaled size.
TrendChart* attachTrendChart(ControlPanel& window, live::LiveState& live, QSettings& settings);

} // namespace app
