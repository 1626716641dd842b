// The drawn picture, checked at a few pixels: the curves in their channel colours at their
// heights, "OL" just above the top, the legend with one entry per channel, the axis, a spike
// among 100000 records kept by the per-column reduction, a pause in the date-times left open on
// the time axis; and the image files (PNG, SVG, PDF).

#include "plot/plotexport.h"
#include "plot/plotpainter.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace plot;

namespace {

const QSize kSize(400, 300); // Yb 275, H 225, W 340

PlotData twoChannels() {
    PlotData data;
    data.fileName = QStringLiteral("small.txt");
    data.channels = 2;
    data.count = 11;
    data.columns[0].assign(11, 50.0f);
    data.columns[0][5] = std::numeric_limits<float>::infinity(); // record 6: OL
    data.columns[1].assign(11, 25.0f);
    return data;
}

QImage draw(const PlotData& data, const PlotView& view) {
    QImage image(kSize, QImage::Format_RGB32);
    QPainter painter(&image);
    PlotPainter(data).paint(painter, kSize, view);
    return image;
}

// Whether a pixel of `colour` lies in x0..x1, y0..y1.
bool colourIn(const QImage& image, QRgb colour, int x0, int y0, int x1, int y1) {
    for (int x = x0; x <= x1; ++x) {
        for (int y = y0; y <= y1; ++y)
            if (image.pixel(x, y) == colour)
                return true;
    }
    return false;
}

constexpr QRgb kRed = 0xffff0000;
constexpr QRgb kGreen = 0xff00ff00;
constexpr QRgb kBlue = 0xff0000ff;
constexpr QRgb kBlack = 0xff000000;
constexpr QRgb kWhite = 0xffffffff;

} // namespace

class TestPlotPainter : public QObject {
    Q_OBJECT

private slots:

    void curvesInTheirColoursAndPlaces() {
        const QImage image = draw(twoChannels(), {1, 11, 0, 100});
        // Record 3 at x 108: T1 (50) at y 162.5, T2 (25) at y 218.75.
        QVERIFY(colourIn(image, kRed, 108, 162, 108, 163));
        QVERIFY(colourIn(image, kGreen, 108, 218, 108, 219));
        QVERIFY(!colourIn(image, kRed, 108, 50, 108, 160));
        // Record 6 (OL) at x 210: 3 above the top line (y 50).
        QVERIFY(colourIn(image, kRed, 210, 46, 210, 48));
        QVERIFY(!colourIn(image, kRed, 210, 0, 210, 45));
        // Legend 16 above the top line: C1 red at X0 + 20, C2 green at X0 + 40, nothing more.
        QVERIFY(colourIn(image, kRed, 60, 34, 75, 47));
        QVERIFY(colourIn(image, kGreen, 80, 34, 95, 47));
        QVERIFY(!colourIn(image, kBlue, 98, 30, 157, 47));
        QVERIFY(!colourIn(image, kBlack, 98, 30, 157, 47));
        // The vertical axis at X0 - 2, the horizontal one 2 below the bottom line; white around.
        QCOMPARE(image.pixel(38, 150), kBlack);
        QCOMPARE(image.pixel(200, 277), kBlack);
        QCOMPARE(image.pixel(395, 5), kWhite);
    }

    void oneRecordIsAVisibleMark() {
        PlotData data;
        data.channels = 1;
        data.count = 1;
        data.columns[0].assign(1, 50.0f);
        const QImage image = draw(data, {1, 1, 0, 100});
        // Record 1 at x 40, 50 at y 162.5: a mark of a few pixels each way, not one pixel.
        int red = 0;
        for (int x = 36; x <= 44; ++x)
            for (int y = 158; y <= 167; ++y)
                red += image.pixel(x, y) == kRed;
        QVERIFY2(red >= 9, qPrintable(QString::number(red)));
    }

    void spikeSurvivesTheReduction() {
        PlotData data;
        data.channels = 3;
        data.count = 100000;
        for (auto& column : data.columns)
            column.assign(100000, 10.0f);
        data.columns[2][50000] = 90.0f; // record 50001, column floor(50000 × 340 / 99999) = 170
        const QImage image = draw(data, {1, 100000, 0, 100});
        QVERIFY(colourIn(image, kBlue, 210, 72, 210, 73));   // 90 % of H
        QVERIFY(colourIn(image, kBlue, 210, 250, 210, 254)); // and down to the rest
        QVERIFY(!colourIn(image, kBlue, 100, 60, 100, 240));
        QVERIFY(!colourIn(image, kBlue, 300, 60, 300, 240));
    }

    // Records 1..10 one second apart, then a pause of 11 s, records 11..20: on the time axis the
    // pause is a gap (t = 9 at x 145.5, t = 20 at x 274.5); on the record axis it is not.
    void pauseIsAGapOnTheTimeAxis() {
        PlotData data;
        data.channels = 1;
        data.count = 20;
        data.columns[0].assign(20, 50.0f);
        for (qint64 i = 0; i < 20; ++i)
            data.stamps.push_back(1700000000 + (i < 10 ? i : i + 10));
        data.usualStep = plot::usualStepOf(data.stamps);
        QCOMPARE(data.usualStep, 1);
        const QImage time = draw(data, {1, 20, 0, 100, XAxis::Time});
        QVERIFY(colourIn(time, kRed, 99, 162, 99, 163));
        QVERIFY(!colourIn(time, kRed, 150, 60, 270, 270));
        QVERIFY(colourIn(time, kRed, 300, 162, 300, 163));
        QVERIFY(colourIn(draw(data, {1, 20, 0, 100}), kRed, 210, 162, 210, 163));
    }

    void imageFiles_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("PNG") << "plot.png" << QByteArray("\x89PNG");
        QTest::newRow("SVG, upper case suffix") << "plot.SVG" << QByteArray("<?xml");
        QTest::newRow("PDF") << "plot.pdf" << QByteArray("%PDF");
    }

    void imageFiles() {
        QFETCH(QString, name);
        QFETCH(QByteArray, start);
        QTemporaryDir dir;
        const QString path = dir.filePath(name);
        QString error;
        QVERIFY2(exportPlot(twoChannels(), {1, 11, 0, 100}, kSize, path, &error),
                 qPrintable(error));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().startsWith(start));
    }
};

QTEST_MAIN(TestPlotPainter)
#include "tst_plotpainter.moc"
