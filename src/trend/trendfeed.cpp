#include "trend/trendfeed.h"

#include "live/livepoll.h"
#include "live/readout.h"

namespace trend {

TrendFeed::TrendFeed(live::LiveState& live, std::function<qint64()> nowMs, QObject* parent)
    : QObject(parent)
    , m_live(live)
    , m_nowMs(std::move(nowMs)) {
    connect(&live, &live::LiveState::frameDecoded, this, [this] {
        m_store.addFrame(m_nowMs(), m_live.raw(), m_live.channelCount());
        emit changed();
    });
    connect(&live, &live::LiveState::lostChanged, this, [this](bool lost) {
        if (!lost)
            return;
        m_store.markGap();
        emit changed();
    });
}

QString TrendFeed::description(TrendSpan span) const {
    QString latest = QStringLiteral("no readings yet");
    if (!m_store.isEmpty()) {
        latest = live::readingsText(m_live.readingText(), m_live.channelCount(),
                                    m_live.displayUnit(), QChar());
        if (m_live.lost())
            latest = QStringLiteral("meter not answering, last readings ") + latest;
    }
    return QStringLiteral("%1; %2").arg(latest, spanText(span));
}

QString spanText(TrendSpan span) {
    switch (span) {
    case TrendSpan::Minute:
        return QStringLiteral("last 1 minute");
    case TrendSpan::TenMinutes:
        return QStringLiteral("last 10 minutes");
    case TrendSpan::Hour:
        return QStringLiteral("last 1 hour");
    case TrendSpan::All:
        break;
    }
    return QStringLiteral("all since start");
}

} // namespace trend
