#pragma once

// Feeds the trend store from the live display, whether or not a recording runs: every decoded
// frame becomes a point, and the meter lost breaks the line until its next frame.

#include "trend/trendstore.h"

#include <QObject>
#include <QString>

#include <functional>

namespace live {
class LiveState;
}

namespace trend {

class TrendFeed : public QObject {
    Q_OBJECT
public:
    // `nowMs` gives the time of a frame (ms since the epoch).
    TrendFeed(live::LiveState& live, std::function<qint64()> nowMs, QObject* parent = nullptr);

    const TrendStore& store() const { return m_store; }
    const live::LiveState& live() const { return m_live; }

    // "T1 23.7 °C, T2 OL; last 10 minutes": the latest readings in the displayed unit and the
    // span shown, for screen readers.
    QString description(TrendSpan span) const;

signals:
    // A frame was added, or a gap marked.
    void changed();

private:
    live::LiveState& m_live;
    std::function<qint64()> m_nowMs;
    TrendStore m_store;
};

// "last 1 minute", "last 10 minutes", "last 1 hour", "all since start".
QString spanText(TrendSpan span);

} // namespace trend
