#pragma once

// The live readings over time for the trend chart, in bounded memory whatever the run time:
// every frame of the last hour, and for the whole run buckets of min/max that double their
// width whenever their count would pass a fixed capacity. Values stay raw meter words, so the
// chart converts them into whatever unit the display shows when it draws.

#include <QtGlobal>

#include <array>
#include <deque>
#include <vector>

namespace trend {

constexpr int kChannels = 4;

// One frame, or the frames of one time bucket.
struct TrendPoint {
    qint64 ms = 0; // start of the bucket (the frame's time), ms since the epoch
    std::array<quint16, kChannels> min{}; // raw words of the readings, range marks left out
    std::array<quint16, kChannels> max{};
    quint8 present = 0;     // bit c: channel c had a reading (not a range mark)
    quint8 over = 0;        // bit c: channel c read OL
    quint8 under = 0;       // bit c: channel c read -OL
    bool gapBefore = false; // the meter was lost (or silent) before or inside it
};

// One pixel column of the chart: what the points that fall in it hold together.
using TrendColumn = TrendPoint;

enum class TrendSpan { Minute, TenMinutes, Hour, All };
qint64 spanMs(TrendSpan span); // 0 for All

class TrendStore {
public:
    // Frames further apart than this are not joined by a line.
    static constexpr qint64 kSilenceMs = 3000;
    // Every frame is kept this long (the longest span but "all"), and never more than kMaxFrames.
    static constexpr qint64 kFrameKeepMs = 3600 * 1000 + 60 * 1000;
    static constexpr int kMaxFrames = 40000;
    // The run's buckets: never more than this many.
    static constexpr int kRunCapacity = 4096;

    // One live frame: channels 1..channelCount of `raw`. A time earlier than the last one
    // (the system clock set back) is taken as the last one, so the store stays in order.
    void addFrame(qint64 ms, const std::array<quint16, kChannels>& raw, int channelCount);
    // The meter stopped answering: the next frame starts a new line.
    void markGap() { m_gapPending = true; }

    bool isEmpty() const { return m_frames.empty(); }
    qint64 firstMs() const { return m_firstMs; }
    qint64 lastMs() const { return m_lastMs; }
    const TrendPoint& latest() const { return m_frames.back(); }
    quint64 frameCount() const { return m_frameCount; }

    // The time range a span shows, ending at the latest frame.
    qint64 spanStart(TrendSpan span) const;
    // [fromMs, toMs] cut into `count` equal columns, each holding what its points hold, from
    // the finest level that reaches back to fromMs.
    std::vector<TrendColumn> columns(qint64 fromMs, qint64 toMs, int count) const;

    // Points stored now, and what they take (the deques' block overhead aside).
    int pointCount() const { return int(m_frames.size() + m_run.size()); }
    qint64 memoryBytes() const { return qint64(pointCount()) * qint64(sizeof(TrendPoint)); }
    qint64 runBucketMs() const { return m_runBucketMs; }

private:
    void addToRun(const TrendPoint& point);
    void compactRun();

    std::deque<TrendPoint> m_frames;
    std::deque<TrendPoint> m_run;
    qint64 m_runBucketMs = 1000;
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
    quint64 m_frameCount = 0;
    bool m_gapPending = false;
};

// Folds `point` into `into` (min/max, flags); the earlier start is kept.
void mergePoint(TrendPoint& into, const TrendPoint& point);

} // namespace trend
