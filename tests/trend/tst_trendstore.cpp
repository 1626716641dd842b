// The trend's store without a window: what a column keeps of its frames, the run's buckets and
// their bound over a day, gaps where the meter was lost or silent, range marks kept apart from
// the values, and the spoken description in the displayed unit.

#include "live/livepoll.h"
#include "sim/framebuilder.h"
#include "trend/trendfeed.h"

#include <QTest>

using trend::TrendStore;
using Raw = std::array<quint16, 4>;

class TestTrendStore : public QObject {
    Q_OBJECT
private slots:

    void columnsKeepMinAndMaxOfTheirFrames_data() {
        QTest::addColumn<qint64>("secondMs");
        QTest::addColumn<int>("column");
        // [0, 9999] ms in 10 columns of 1000 ms: 999 is the first one's last millisecond.
        QTest::newRow("same column") << qint64(999) << 0;
        QTest::newRow("next column") << qint64(1000) << 1;
        QTest::newRow("last column") << qint64(9999) << 9;
    }
    void columnsKeepMinAndMaxOfTheirFrames() {
        QFETCH(qint64, secondMs);
        QFETCH(int, column);
        TrendStore store;
        store.addFrame(0, {5000, 4000, 0, 0}, 2);
        store.addFrame(secondMs, {5200, 3900, 0, 0}, 2);
        const auto columns = store.columns(0, 9999, 10);
        QCOMPARE(columns.size(), std::size_t(10));
        QCOMPARE(columns[std::size_t(column)].present, quint8(0b11));
        QCOMPARE(columns[std::size_t(column)].max[0], quint16(5200));
        if (column == 0) {
            QCOMPARE(columns[0].min[0], quint16(5000));
            QCOMPARE(columns[0].min[1], quint16(3900));
            QCOMPARE(columns[0].max[1], quint16(4000));
        } else {
            QCOMPARE(columns[0].max[0], quint16(5000));
        }
        for (std::size_t c = 1; c < 10; ++c)
            if (int(c) != column)
                QCOMPARE(columns[c].present, quint8(0));
    }

    void theRunBeyondTheFramesIsKeptInBuckets() {
        TrendStore store;
        // Two hours at one frame a second, T1 rising one word a frame.
        for (int s = 0; s < 7200; ++s)
            store.addFrame(qint64(s) * 1000, {quint16(5000 + s), 0, 0, 0}, 1);
        // 7200 one-second buckets pass 4096: they merged into two-second ones.
        QCOMPARE(store.runBucketMs(), qint64(2000));
        const auto first = store.columns(0, 599999, 1); // older than the frames kept
        QCOMPARE(first[0].min[0], quint16(5000));
        QCOMPARE(first[0].max[0], quint16(5599));
        const auto two = store.columns(0, 3999, 2);
        QCOMPARE(two[0].max[0], quint16(5001));
        QCOMPARE(two[1].min[0], quint16(5002));
    }

    void aDayAtFiveFramesASecondStaysBounded() {
        TrendStore store;
        const int frames = 24 * 3600 * 5;
        for (int n = 0; n < frames; ++n)
            store.addFrame(qint64(n) * 200, {quint16(5000 + n % 900), 6000, 7000, 8000}, 4);
        // 3660 s of frames (18301) and the day in 32 s buckets (2700).
        QCOMPARE(store.runBucketMs(), qint64(32000));
        QCOMPARE(store.pointCount(), 18301 + 2700);
        QVERIFY(store.memoryBytes() <= 10 * 1024 * 1024);
        qInfo("24 h at 5 frames/s: %d points, %lld bytes", store.pointCount(), store.memoryBytes());
        const auto day = store.columns(0, store.lastMs(), 24);
        for (const auto& hour : day) {
            QCOMPARE(hour.present, quint8(0b1111));
            QCOMPARE(hour.min[0], quint16(5000));
            QCOMPARE(hour.max[0], quint16(5899));
        }
    }

    void rangeMarksAreFlagsNotValues() {
        TrendStore store;
        store.addFrame(0, {65535, 0, 5000, 5100}, 4);
        store.addFrame(100, {4800, 0, 5000, 5100}, 4);
        const auto column = store.columns(0, 999, 1)[0];
        QCOMPARE(column.over, quint8(0b0001));
        QCOMPARE(column.under, quint8(0b0010));
        QCOMPARE(column.present, quint8(0b1101));
        QCOMPARE(column.max[0], quint16(4800));
        QCOMPARE(column.min[0], quint16(4800));
    }

    void aLostMeterIsAGap() {
        live::LiveState live;
        qint64 now = 1000;
        trend::TrendFeed feed(live, [&now] { return now; });
        sim::FrameContent content;
        content.raw = {5130, 5130, 5130, 5130};
        for (int n = 0; n < 3; ++n, now += 200)
            live.applyFrame(sim::buildFrame(content));
        live.setLost(true);
        live.applyFrame(sim::buildFrame(content)); // found again at once: still a gap
        now += 2900;                               // silent, yet within the limit: joined
        live.applyFrame(sim::buildFrame(content));
        now += 3100; // silent longer, no search seen (an exchange held the link): a gap
        live.applyFrame(sim::buildFrame(content));
        const auto columns = feed.store().columns(1000, now, int(now - 1000 + 1));
        QVERIFY(!columns[200].gapBefore);
        QVERIFY(columns[600].gapBefore);
        QVERIFY(!columns[3500].gapBefore);
        QVERIFY(columns[6600].gapBefore);
        QCOMPARE(feed.store().frameCount(), quint64(6));
    }

    void descriptionFollowsTheDisplayedUnit_data() {
        QTest::addColumn<char>("unit");
        QTest::addColumn<QString>("text");
        QTest::newRow("C") << 'C' << QStringLiteral("T1 25.0 °C, T2 OL; last 10 minutes");
        QTest::newRow("F") << 'F' << QStringLiteral("T1 77.0 °F, T2 OL; last 10 minutes");
    }
    void descriptionFollowsTheDisplayedUnit() {
        QFETCH(char, unit);
        QFETCH(QString, text);
        live::LiveState live;
        trend::TrendFeed feed(live, [] { return qint64(0); });
        QCOMPARE(feed.description(trend::TrendSpan::Hour),
                 QStringLiteral("no readings yet; last 1 hour"));
        sim::FrameContent content;
        content.channels = 2;
        content.unit = unit;
        content.raw = {5130, 65535, 0, 0};
        live.applyFrame(sim::buildFrame(content));
        QCOMPARE(feed.description(trend::TrendSpan::TenMinutes), text);
        live.setLost(true);
        QVERIFY(feed.description(trend::TrendSpan::All)
                    .startsWith(QStringLiteral("meter not answering, last readings T1 ")));
    }
};

QTEST_MAIN(TestTrendStore)
#include "tst_trendstore.moc"
