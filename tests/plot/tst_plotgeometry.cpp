// Plot geometry: the plot area of a surface, the step between records, the heights of values,
// "OL" and out-of-range values, the scale marks and their labels, the legend, the record lines
// (the middle one only when R2 − R1 is even), the per-pixel-column spans, and the record
// under the cursor.

#include "plot/plotgeometry.h"

#include <QTest>

#include <limits>

using namespace plot;

namespace {

constexpr float kOL = std::numeric_limits<float>::infinity();

PlotData columnData(std::vector<float> values, qint64 count) {
    PlotData data;
    data.channels = 1;
    data.count = count;
    data.columns[0] = std::move(values);
    return data;
}

} // namespace

class TstPlotGeometry : public QObject {
    Q_OBJECT

private slots:

    void plotArea_data() {
        QTest::addColumn<int>("sw");
        QTest::addColumn<int>("sh");
        QTest::addColumn<int>("bottom");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("width");
        QTest::newRow("1000x600") << 1000 << 600 << 575 << 525 << 940;
        QTest::newRow("(SW - 40) mod 30 = 15") << 1015 << 400 << 375 << 325 << 940;
        QTest::newRow("(SW - 40) mod 30 = 29") << 1029 << 400 << 375 << 325 << 940;
        QTest::newRow("smallest window") << 120 << 200 << 175 << 125 << 40;
        QTest::newRow("narrower than the margins") << 30 << 60 << 35 << 0 << 0;
    }

    void plotArea() {
        QFETCH(int, sw);
        QFETCH(int, sh);
        QFETCH(int, bottom);
        QFETCH(int, height);
        QFETCH(int, width);
        const PlotArea area = plot::plotArea(sw, sh);
        QCOMPARE(area.x0, 40);
        QCOMPARE(area.bottom, bottom);
        QCOMPARE(area.height, height);
        QCOMPARE(area.width, width);
        if (height > 0)
            QCOMPARE(area.top(), 50);
    }

    void stepAndX() {
        const PlotArea area = plot::plotArea(1000, 600);
        QCOMPARE(recordStep(area, {1, 11, 0, 100}), 94.0);
        QCOMPARE(recordX(area, {1, 11, 0, 100}, 11), 980.0);
        QCOMPARE(recordX(area, {5, 15, 0, 100}, 6), 134.0);
        QCOMPARE(recordStep(area, {7, 7, 0, 100}), 0.0);
        QCOMPARE(recordX(area, {7, 7, 0, 100}, 7), 40.0);
    }

    void valueHeight_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<double>("height");
        // H 500 between -200 and 1375 (type K in Celsius).
        QTest::newRow("Low") << -200.0f << 0.0;
        QTest::newRow("High") << 1375.0f << 500.0;
        QTest::newRow("inside") << 587.5f << 250.0;
        QTest::newRow("OL just above the top") << kOL << 503.0;
        QTest::newRow("above High") << 1375.1f << 503.0;
        QTest::newRow("below Low") << -200.1f << -3.0;
        // An open or shorted probe leaves the plot at the top, whichever mark it shows.
        QTest::newRow("-OL just above the top as well") << -kOL << 503.0;
    }

    void valueHeight() {
        QFETCH(float, value);
        QFETCH(double, height);
        QCOMPARE(plot::valueHeight(value, {1, 2, -200, 1375}, 500), height);
    }

    void scaleMarks() {
        const auto marks = plot::scaleMarks(plot::plotArea(1000, 600)); // Yb 575, H 525
        QCOMPARE(marks[0].y, 575.0);
        QCOMPARE(marks[0].left, 30.0);
        QCOMPARE(marks[1].y, 509.375);
        QCOMPARE(marks[1].left, 33.0);
        QCOMPARE(marks[4].y, 312.5);
        QCOMPARE(marks[4].left, 30.0);
        QCOMPARE(marks[7].left, 33.0);
        QCOMPARE(marks[8].y, 50.0);
        QCOMPARE(marks[8].left, 30.0);
    }

    void valueLabels_data() {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<QStringList>("labels");
        // 193.75 and 981.25: halves to the even neighbour.
        QTest::newRow("K in Celsius")
            << -200.0 << 1375.0 << QStringList{"-200.0", "193.8", "587.5", "981.2", "1375.0"};
        QTest::newRow("through zero")
            << -1.0 << 1.0 << QStringList{"-1.0", "-0.5", "0.0", "0.5", "1.0"};
        QTest::newRow("no -0.0") << -0.02 << 0.0 << QStringList{"0.0", "0.0", "0.0", "0.0", "0.0"};
    }

    void valueLabels() {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(QStringList, labels);
        const auto texts = plot::valueLabels({1, 2, low, high});
        QCOMPARE(QStringList(texts.begin(), texts.end()), labels);
    }

    void legend() {
        QCOMPARE(legendText(live::TempUnit::Celsius, 1), QStringLiteral("C1"));
        QCOMPARE(legendText(live::TempUnit::Fahrenheit, 2), QStringLiteral("F2"));
        QCOMPARE(legendText(live::TempUnit::Kelvin, 4), QStringLiteral("K4"));
    }

    void recordLines_data() {
        QTest::addColumn<qint64>("r1");
        QTest::addColumn<qint64>("r2");
        QTest::addColumn<QList<qint64>>("records");
        QTest::addColumn<QList<double>>("labelXs");
        // W 940 on a 1000 wide surface; the first number 5 left of X0, the others 12 left.
        QTest::newRow("even span: middle line")
            << qint64(1) << qint64(11) << QList<qint64>{1, 6, 11} << QList<double>{35, 498, 968};
        QTest::newRow("odd span: no middle")
            << qint64(1) << qint64(10) << QList<qint64>{1, 10} << QList<double>{35, 968};
        QTest::newRow("span 2") << qint64(4) << qint64(6) << QList<qint64>{4, 5, 6}
                                << QList<double>{35, 498, 968};
        QTest::newRow("one record")
            << qint64(1) << qint64(1) << QList<qint64>{1} << QList<double>{35};
    }

    void recordLines() {
        QFETCH(qint64, r1);
        QFETCH(qint64, r2);
        QFETCH(QList<qint64>, records);
        QFETCH(QList<double>, labelXs);
        const auto lines = plot::recordLines(plot::plotArea(1000, 600), {r1, r2, 0, 1});
        QCOMPARE(qsizetype(lines.size()), records.size());
        for (qsizetype i = 0; i < records.size(); ++i) {
            QCOMPARE(lines[std::size_t(i)].record, records[i]);
            QCOMPARE(lines[std::size_t(i)].labelX, labelXs[i]);
        }
    }

    void columnsKeepEveryExtreme() {
        // Records 1..9 into 3 columns: 1-4, 5-8, 9.
        const PlotData data = columnData({1, 5, 2, 8, 3, 0, 9, 4, 7}, 9);
        const auto spans = reduceColumns(data, 1, 1, 9, 3);
        QCOMPARE(spans.size(), std::size_t(3));
        QCOMPARE(spans[0].first, 1.0f);
        QCOMPARE(spans[0].last, 8.0f);
        QCOMPARE(spans[0].min, 1.0f);
        QCOMPARE(spans[0].max, 8.0f);
        QCOMPARE(spans[1].first, 3.0f);
        QCOMPARE(spans[1].last, 4.0f);
        QCOMPARE(spans[1].min, 0.0f);
        QCOMPARE(spans[1].max, 9.0f);
        QCOMPARE(spans[2].min, 7.0f);
        QCOMPARE(spans[2].max, 7.0f);
        // A part of the file: records 2..5 into 2 columns: 2-4, 5.
        const auto part = reduceColumns(data, 1, 2, 5, 2);
        QCOMPARE(part[0].first, 5.0f);
        QCOMPARE(part[0].min, 2.0f);
        QCOMPARE(part[0].max, 8.0f);
        QCOMPARE(part[1].first, 3.0f);
        QCOMPARE(part[1].last, 3.0f);
        // An OL survives the reduction.
        const PlotData spike = columnData({1, 1, kOL, 1, 1, 1}, 6);
        QVERIFY(isOverRange(reduceColumns(spike, 1, 1, 6, 2)[0].max));
    }

    void columnsCountMissingRecordsAsZero() {
        const PlotData data = columnData({5, 6, 7, 8, 9, 10}, 9); // records 7..9 missing
        const auto spans = reduceColumns(data, 1, 1, 9, 3);
        QCOMPARE(spans[1].first, 9.0f);
        QCOMPARE(spans[1].min, 0.0f);
        QCOMPARE(spans[1].max, 10.0f);
        QCOMPARE(spans[1].last, 0.0f);
        QCOMPARE(spans[2].max, 0.0f);
    }

    void recordUnderTheCursor() {
        const PlotArea area = plot::plotArea(1000, 600);
        const PlotView view{11, 21, 0, 1}; // 94 units per record
        QCOMPARE(recordAt(area, view, 40), qint64(11));
        QCOMPARE(recordAt(area, view, 40 + 94 * 3 + 40), qint64(14));
        QCOMPARE(recordAt(area, view, 40 + 94 * 3 + 50), qint64(15));
        QCOMPARE(recordAt(area, view, 0), qint64(11));
        QCOMPARE(recordAt(area, view, 5000), qint64(21));
    }
};

QTEST_APPLESS_MAIN(TstPlotGeometry)
#include "tst_plotgeometry.moc"
