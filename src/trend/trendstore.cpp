#include "trend/trendstore.h"

#include "live/framedecoder.h"

#include <algorithm>

namespace trend {

qint64 spanMs(TrendSpan span) {
    switch (span) {
    case TrendSpan::Minute:
        return 60 * 1000;
    case TrendSpan::TenMinutes:
        return 600 * 1000;
    case TrendSpan::Hour:
        return 3600 * 1000;
    case TrendSpan::All:
        break;
    }
    return 0;
}

void mergePoint(TrendPoint& into, const TrendPoint& point) {
    for (int c = 0; c < kChannels; ++c) {
        const quint8 bit = quint8(1u << c);
        if (!(point.present & bit))
            continue;
        const auto i = std::size_t(c);
        if (into.present & bit) {
            into.min[i] = std::min(into.min[i], point.min[i]);
            into.max[i] = std::max(into.max[i], point.max[i]);
        } else {
            into.min[i] = point.min[i];
            into.max[i] = point.max[i];
        }
    }
    into.present |= point.present;
    into.over |= point.over;
    into.under |= point.under;
    into.gapBefore = into.gapBefore || point.gapBefore;
    into.ms = std::min(into.ms, point.ms);
}

void TrendStore::addFrame(qint64 ms, const std::array<quint16, kChannels>& raw, int channelCount) {
    if (!isEmpty())
        ms = std::max(ms, m_lastMs);
    TrendPoint point;
    point.ms = ms;
    point.gapBefore = !isEmpty() && (m_gapPending || ms - m_lastMs > kSilenceMs);
    for (int c = 0; c < std::clamp(channelCount, 0, kChannels); ++c) {
        const quint16 word = raw[std::size_t(c)];
        const quint8 bit = quint8(1u << c);
        if (word == live::kRawOverRange)
            point.over |= bit;
        else if (word == live::kRawUnderRange)
            point.under |= bit;
        else {
            point.present |= bit;
            point.min[std::size_t(c)] = point.max[std::size_t(c)] = word;
        }
    }
    if (isEmpty())
        m_firstMs = ms;
    m_lastMs = ms;
    m_gapPending = false;
    ++m_frameCount;
    m_frames.push_back(point);
    while (m_frames.size() > std::size_t(kMaxFrames) || m_frames.front().ms < ms - kFrameKeepMs)
        m_frames.pop_front();
    addToRun(point);
}

void TrendStore::addToRun(const TrendPoint& point) {
    const qint64 start = point.ms - point.ms % m_runBucketMs;
    if (!m_run.empty() && m_run.back().ms - m_run.back().ms % m_runBucketMs == start) {
        mergePoint(m_run.back(), point);
        return;
    }
    TrendPoint bucket = point;
    bucket.ms = start;
    m_run.push_back(bucket);
    if (m_run.size() > std::size_t(kRunCapacity))
        compactRun();
}

void TrendStore::compactRun() {
    m_runBucketMs *= 2;
    std::deque<TrendPoint> merged;
    for (TrendPoint bucket : m_run) {
        bucket.ms -= bucket.ms % m_runBucketMs;
        if (!merged.empty() && merged.back().ms == bucket.ms)
            mergePoint(merged.back(), bucket);
        else
            merged.push_back(bucket);
    }
    m_run.swap(merged);
}

qint64 TrendStore::spanStart(TrendSpan span) const {
    if (span == TrendSpan::All)
        return m_firstMs;
    return m_lastMs - spanMs(span);
}

std::vector<TrendColumn> TrendStore::columns(qint64 fromMs, qint64 toMs, int count) const {
    std::vector<TrendColumn> out(std::size_t(std::max(count, 0)));
    if (out.empty() || isEmpty() || toMs < fromMs)
        return out;
    // Every frame while they reach back far enough (or the run is younger than they are).
    const bool framesReach = m_frames.front().ms <= std::max(fromMs, m_firstMs);
    const std::deque<TrendPoint>& points = framesReach ? m_frames : m_run;
    const double width = double(toMs - fromMs + 1) / double(count);
    std::vector<bool> filled(out.size(), false);
    auto it = std::lower_bound(points.begin(), points.end(), fromMs,
                               [](const TrendPoint& p, qint64 ms) { return p.ms < ms; });
    for (; it != points.end() && it->ms <= toMs; ++it) {
        const auto c = std::size_t(std::min(int(double(it->ms - fromMs) / width), count - 1));
        if (filled[c]) {
            mergePoint(out[c], *it);
        } else {
            out[c] = *it;
            filled[c] = true;
        }
    }
    return out;
}

} // namespace trend
