// The drawn picture, checked at a few pixels: the curves in their channel colours at their
// heights, "OL" just above the top, the legend with one entry per channel, the axis, a spike
// among 100000 records kept by the per-column reduction; and the image files (PNG, SVG, PDF)
// with their errors.

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

// Whether a pixel of `colour` lies in x, y0..y1.
bool colourIn(const QImage& image, int x, int y0, int y1, QRgb colour) {
    for (int y = y0; y <= y1; ++y) {
        if (image.pixel(x, y) == colour)
            return true;
    }
    return false;
}

bool colourInRect(const QImage& image, const QRect& rect, QRgb colour) {
    for (int x = rect.left(); x <= rect.right(); ++x) {
        if (colourIn(image, x, rect.top(), rect.bottom(), colour))
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

class TstPlotPainter : public QObject {
    Q_OBJECT

private slots:

    void curvesInTheirColoursAndPlaces() {
        const QImage image = draw(twoChannels(), {1, 11, 0, 100});
        // Record 3 at x 108: T1 (50) at y 162.5, T2 (25) at y 218.75.
        QVERIFY(colourIn(image, 108, 162, 163, kRed));
        QVERIFY(colourIn(image, 108, 218, 219, kGreen));
        QVERIFY(!colourIn(image, 108, 50, 160, kRed));
        // Record 6 (OL) at x 210: 3 above the top line (y 50).
        QVERIFY(colourIn(image, 210, 46, 48, kRed));
        QVERIFY(!colourIn(image, 210, 0, 45, kRed));
        // Legend 16 above the top line: C1 red at X0 + 20, C2 green at X0 + 40, nothing more.
        QVERIFY(colourInRect(image, QRect(60, 34, 16, 14), kRed));
        QVERIFY(colourInRect(image, QRect(80, 34, 16, 14), kGreen));
        QVERIFY(!colourInRect(image, QRect(98, 30, 60, 18), kBlue));
        QVERIFY(!colourInRect(image, QRect(98, 30, 60, 18), kBlack));
        // The vertical axis at X0 - 2, the horizontal one 2 below the bottom line; white around.
        QCOMPARE(image.pixel(38, 150), kBlack);
        QCOMPARE(image.pixel(200, 277), kBlack);
        QCOMPARE(image.pixel(395, 5), kWhite);
    }

    void spikeSurvivesTheReduction() {
        PlotData data;
        data.channels = 3;
        data.count = 100000;
        for (auto& column : data.columns)
            column.assign(100000, 10.0f);
        data.columns[2][50000] = 90.0f; // record 50001, column floor(50000 × 340 / 99999) = 170
        const QImage image = draw(data, {1, 100000, 0, 100});
        QVERIFY(colourIn(image, 210, 72, 73, kBlue));   // 90 % of H
        QVERIFY(colourIn(image, 210, 250, 254, kBlue)); // and down to the rest
        QVERIFY(!colourIn(image, 100, 60, 240, kBlue));
        QVERIFY(!colourIn(image, 300, 60, 240, kBlue));
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
        if (name.endsWith(QLatin1String(".png"))) {
            const QImage image(path);
            QCOMPARE(image.size(), kSize);
            QVERIFY(colourIn(image, 108, 162, 163, kRed));
        }
    }

    void imageErrors() {
        QTemporaryDir dir;
        QString error;
        QVERIFY(
            !exportPlot(twoChannels(), {1, 11, 0, 100}, kSize, dir.filePath("plot.bmp"), &error));
        QVERIFY2(error.contains(QLatin1String(".png, .svg or .pdf")), qPrintable(error));
        error.clear();
        const QString unwritable = dir.filePath(QStringLiteral("no/such/folder/plot.png"));
        QVERIFY(!exportPlot(twoChannels(), {1, 11, 0, 100}, kSize, unwritable, &error));
        QVERIFY2(error.contains(QLatin1String("plot.png")), qPrintable(error));
    }
};

QTEST_MAIN(TstPlotPainter)
#include "tst_plotpainter.moc"
