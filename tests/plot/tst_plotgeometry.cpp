// Plot geometry: the plot area of a surface, the step between records, the heights of values,
// "OL" and out-of-range values, the scale marks and their labels, the legend, the record lines
// (the middle one only when R2 − R1 is even), the per-pixel-column spans, the record under the
// cursor, and "Fit": round quarter steps around the values shown, within the type's range.

#include "plot/plotgeometry.h"

#include <QTest>

#include <limits>

using namespace plot;

constexpr float kOL = std::numeric_limits<float>::infinity();

class TestPlotGeometry : public QObject {
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

    // The step between records, their x, and the record under the cursor (clamped).
    void recordsAlongX() {
        const PlotArea area = plot::plotArea(1000, 600);
        QCOMPARE(recordStep(area, {1, 11, 0, 100}), 94.0);
        QCOMPARE(recordX(area, {1, 11, 0, 100}, 11), 980.0);
        QCOMPARE(recordX(area, {5, 15, 0, 100}, 6), 134.0);
        QCOMPARE(recordStep(area, {7, 7, 0, 100}), 0.0);
        QCOMPARE(recordX(area, {7, 7, 0, 100}, 7), 40.0);
        const PlotView view{11, 21, 0, 1}; // 94 units per record
        QCOMPARE(recordAt(area, view, 40), qint64(11));
        QCOMPARE(recordAt(area, view, 40 + 94 * 3 + 40), qint64(14));
        QCOMPARE(recordAt(area, view, 40 + 94 * 3 + 50), qint64(15));
        QCOMPARE(recordAt(area, view, 0), qint64(11));
        QCOMPARE(recordAt(area, view, 5000), qint64(21));
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
        QList<double> ys, lefts;
        for (const ScaleMark& mark : plot::scaleMarks(plot::plotArea(1000, 600))) { // Yb 575, H 525
            ys << mark.y;
            lefts << mark.left;
        }
        QCOMPARE(ys, (QList<double>{575, 509.375, 443.75, 378.125, 312.5, 246.875, 181.25, 115.625,
                                    50}));
        QCOMPARE(lefts, (QList<double>{30, 33, 30, 33, 30, 33, 30, 33, 30}));
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
        QTest::addColumn<QString>("lines"); // record@x of each line's number
        // W 940 on a 1000 wide surface; the first number 5 left of X0, the others 12 left.
        QTest::newRow("even span: middle line")
            << qint64(1) << qint64(11) << QString("1@35 6@498 11@968");
        QTest::newRow("odd span: no middle") << qint64(1) << qint64(10) << QString("1@35 10@968");
        QTest::newRow("span 2") << qint64(4) << qint64(6) << QString("4@35 5@498 6@968");
        QTest::newRow("one record") << qint64(1) << qint64(1) << QString("1@35");
    }

    void recordLines() {
        QFETCH(qint64, r1);
        QFETCH(qint64, r2);
        QFETCH(QString, lines);
        QStringList got;
        for (const RecordLine& line : plot::recordLines(plot::plotArea(1000, 600), {r1, r2, 0, 1}))
            got << QStringLiteral("%1@%2").arg(line.record).arg(line.labelX, 0, 'g', 12);
        QCOMPARE(got.join(u' '), lines);
    }

    void reduceColumns_data() {
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("r1");
        QTest::addColumn<int>("r2");
        QTest::addColumn<int>("columns");
        QTest::addColumn<QList<float>>("spans"); // first, last, min, max of each column
        const QList<float> nine{1, 5, 2, 8, 3, 0, 9, 4, 7};
        QTest::newRow("1-4, 5-8, 9")
            << nine << 9 << 1 << 9 << 3 << QList<float>{1, 8, 1, 8, 3, 4, 0, 9, 7, 7, 7, 7};
        QTest::newRow("part: 2-4, 5")
            << nine << 9 << 2 << 5 << 2 << QList<float>{5, 8, 2, 8, 3, 3, 3, 3};
        QTest::newRow("records 7-9 missing count as 0")
            << QList<float>{5, 6, 7, 8, 9, 10} << 9 << 1 << 9 << 3
            << QList<float>{5, 8, 5, 8, 9, 0, 0, 10, 0, 0, 0, 0};
        QTest::newRow("OL survives") << QList<float>{1, 1, kOL, 1, 1, 1} << 6 << 1 << 6 << 2
                                     << QList<float>{1, 1, 1, kOL, 1, 1, 1, 1};
    }

    void reduceColumns() {
        QFETCH(QList<float>, values);
        QFETCH(int, count);
        QFETCH(int, r1);
        QFETCH(int, r2);
        QFETCH(int, columns);
        QFETCH(QList<float>, spans);
        PlotData data;
        data.channels = 1;
        data.count = count;
        data.columns[0].assign(values.begin(), values.end());
        QList<float> reduced;
        for (const ColumnSpan& span : plot::reduceColumns(data, 1, r1, r2, columns))
            reduced << span.first << span.last << span.min << span.max;
        QCOMPARE(reduced, spans);
    }

    void fittedRange_data() {
        QTest::addColumn<QList<float>>("values");
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        // Type K in Celsius: -200 to 1375.
        QTest::newRow("21.0 to 26.5: quarters of 2") << QList<float>{21, 26.5f} << 20.0 << 28.0;
        QTest::newRow("flat 23.7: a degree at least") << QList<float>{23.7f} << 23.0 << 25.0;
        QTest::newRow("OL and -OL left out") << QList<float>{kOL, 25, -kOL} << 24.5 << 26.5;
        QTest::newRow("kept below TypeMax") << QList<float>{1360, 1375} << 1350.0 << 1375.0;
        QTest::newRow("only OL: nothing to fit") << QList<float>{kOL, kOL} << 0.0 << 0.0;
    }

    void fittedRange() {
        QFETCH(QList<float>, values);
        QFETCH(double, low);
        QFETCH(double, high);
        PlotData data;
        data.count = values.size();
        data.typeMin = -200;
        data.typeMax = 1375;
        data.columns[0].assign(values.begin(), values.end());
        const auto range = plot::fittedRange(data, 1, data.count);
        QCOMPARE(range.has_value(), low != high);
        if (range) {
            QCOMPARE(range->first, low);
            QCOMPARE(range->second, high);
        }
    }
};

QTEST_APPLESS_MAIN(TestPlotGeometry)
#include "tst_plotgeometry.moc"
