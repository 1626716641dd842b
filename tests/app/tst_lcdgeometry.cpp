// The layout of the LCD drawing in twips: every digit cell at its place, the seven bars of a
// digit in their a..g positions, each annunciator next to its group inside the glass, and the
// scaling of the glass into a widget.

#include "app/window/lcdgeometry.h"

#include "live/framedecoder.h"

#include <QLatin1StringView>
#include <QTest>

using namespace app;

namespace {

QPointF centreOf(const QPolygonF& polygon) {
    QPointF sum;
    for (const QPointF& p : polygon)
        sum += p;
    return polygon.isEmpty() ? QPointF() : sum / double(polygon.size());
}

int indexOf(const char* name) {
    return live::annunciatorIndex(QString::fromLatin1(name));
}

} // namespace

class TstLcdGeometry : public QObject {
    Q_OBJECT
private slots:

    void digitCellSitsAtItsPlace_data() {
        QTest::addColumn<int>("digit");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        const double lefts[4][4] = {{240, 720, 1200, 1680},
                                    {2400, 2880, 3360, 3840},
                                    {240, 720, 1200, 1680},
                                    {2400, 2880, 3360, 3840}};
        const double tops[4] = {2640, 2640, 3600, 3600};
        for (int g = 0; g < 4; ++g) {
            for (int k = 0; k < 4; ++k) {
                const int digit = g * 4 + k;
                QTest::addRow("LCD%d", digit + 1) << digit << lefts[g][k] << tops[g];
            }
        }
    }

    void digitCellSitsAtItsPlace() {
        QFETCH(int, digit);
        QFETCH(double, left);
        QFETCH(double, top);
        QCOMPARE(digitCell(digit), QRectF(left, top, 480, 480));
    }

    void digitOutOfRangeHasNoCellAndNoSegments() {
        QVERIFY(digitCell(-1).isEmpty());
        QVERIFY(digitCell(16).isEmpty());
        QVERIFY(segmentPolygon(16, 0).isEmpty());
        QVERIFY(segmentPolygon(0, 7).isEmpty());
        QVERIFY(segmentPolygon(0, -1).isEmpty());
        QVERIFY(annunciatorRect(-1).isEmpty());
        QVERIFY(annunciatorRect(live::kAnnunciatorCount).isEmpty());
    }

    void segmentSitsInItsClassicPosition_data() {
        // Where the bar's centre lies in its cell, as fractions of the cell.
        QTest::addColumn<int>("segment");
        QTest::addColumn<double>("minX");
        QTest::addColumn<double>("maxX");
        QTest::addColumn<double>("minY");
        QTest::addColumn<double>("maxY");
        QTest::addColumn<bool>("horizontal");
        QTest::newRow("a top") << 0 << 0.4 << 0.6 << 0.0 << 0.2 << true;
        QTest::newRow("b upper right") << 1 << 0.6 << 1.0 << 0.2 << 0.45 << false;
        QTest::newRow("c lower right") << 2 << 0.6 << 1.0 << 0.55 << 0.8 << false;
        QTest::newRow("d bottom") << 3 << 0.4 << 0.6 << 0.8 << 1.0 << true;
        QTest::newRow("e lower left") << 4 << 0.0 << 0.4 << 0.55 << 0.8 << false;
        QTest::newRow("f upper left") << 5 << 0.0 << 0.4 << 0.2 << 0.45 << false;
        QTest::newRow("g middle") << 6 << 0.4 << 0.6 << 0.45 << 0.55 << true;
    }

    void segmentSitsInItsClassicPosition() {
        QFETCH(int, segment);
        QFETCH(double, minX);
        QFETCH(double, maxX);
        QFETCH(double, minY);
        QFETCH(double, maxY);
        QFETCH(bool, horizontal);
        for (int d : {0, 6, 9, 15}) {
            const QRectF cell = digitCell(d);
            const QPolygonF bar = segmentPolygon(d, segment);
            const QPointF c = centreOf(bar);
            const double fx = (c.x() - cell.left()) / cell.width();
            const double fy = (c.y() - cell.top()) / cell.height();
            QVERIFY2(fx > minX && fx < maxX, qPrintable(QString("digit %1 x %2").arg(d).arg(fx)));
            QVERIFY2(fy > minY && fy < maxY, qPrintable(QString("digit %1 y %2").arg(d).arg(fy)));
            const QRectF box = bar.boundingRect();
            QCOMPARE(box.width() > box.height(), horizontal);
        }
    }

    void glassFitsTheWindowAndHoldsTheDigits() {
        const QRectF window(0, 0, 4575, 9750);
        QVERIFY(window.contains(lcdArea()));
        for (int d = 0; d < live::kDigitCount; ++d)
            QVERIFY(lcdArea().contains(digitCell(d)));
    }

    void annunciatorSitsNextToItsGroup_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("group"); // 0..3
        // "left": left of the group's first digit; "between N": between digits N and N+1.
        QTest::addColumn<QString>("where");
        QTest::newRow("T1 mark of group 1") << "LblT1T1" << 0 << "left";
        QTest::newRow("T2 mark of group 1") << "LblT1T2" << 0 << "left";
        QTest::newRow("minus of group 1") << "LblT1Minus" << 0 << "left";
        QTest::newRow("T2 mark of group 2") << "LblT2T2" << 1 << "left";
        QTest::newRow("T1 mark of group 2") << "LblT2T1" << 1 << "left";
        QTest::newRow("T3 mark of group 3") << "LblT3T3" << 2 << "left";
        QTest::newRow("T4 mark of group 3") << "LblT3T4" << 2 << "left";
        QTest::newRow("minus of group 3") << "LblT3Minus" << 2 << "left";
        QTest::newRow("T4 mark of group 4") << "LblT4T4" << 3 << "left";
        QTest::newRow("T3 mark of group 4") << "LblT4T3" << 3 << "left";
        QTest::newRow("point of group 1") << "LblT1Dot" << 0 << "between 3";
        QTest::newRow("point of group 2") << "LblT2Dot" << 1 << "between 3";
        QTest::newRow("point of group 3") << "LblT3Dot" << 2 << "between 3";
        QTest::newRow("point of group 4") << "LblT4Dot" << 3 << "between 3";
        QTest::newRow("colon of group 2") << "LblT2DotDot" << 1 << "between 2";
        QTest::newRow("l of group 2") << "LblT2L" << 1 << "between 2";
        QTest::newRow("colon of group 4") << "LblT4DotDot" << 3 << "between 2";
        QTest::newRow("l of group 4") << "LblT4L" << 3 << "between 2";
    }

    void annunciatorSitsNextToItsGroup() {
        QFETCH(QString, name);
        QFETCH(int, group);
        QFETCH(QString, where);
        const int index = live::annunciatorIndex(name);
        QVERIFY(index >= 0);
        const QRectF r = annunciatorRect(index);
        const QRectF first = digitCell(group * 4);
        // Vertically within the group's row.
        QVERIFY(r.top() >= first.top() && r.bottom() <= first.bottom());
        if (where == "left") {
            QVERIFY(r.right() <= first.left());
            // Closer to its own group than to the group further left.
            QVERIFY(r.left() > first.left() - 480);
        } else {
            const int n = where.section(' ', 1).toInt(); // 1-based digit of the group
            const double boundary = digitCell(group * 4 + n).left();
            QVERIFY(r.left() < boundary && r.right() > boundary);
            QVERIFY(r.center().x() > digitCell(group * 4 + n - 1).center().x());
            QVERIFY(r.center().x() < digitCell(group * 4 + n).center().x());
        }
    }

    void unitsSitRightOfTheDigits() {
        for (const char* unit : {"ImaC", "ImaF", "ImaK"}) {
            const QRectF r = annunciatorRect(indexOf(unit));
            QVERIFY2(r.left() >= digitCell(7).right(), unit);
            QVERIFY2(r.top() >= digitCell(7).top() && r.bottom() <= digitCell(15).bottom(), unit);
            // The rim is 20 twips wide, 10 in from the glass's edge: the unit keeps off it.
            QVERIFY2(r.right() <= lcdArea().right() - 40, unit);
        }
    }

    void glassScalesUniformlyAndCentred_data() {
        QTest::addColumn<QSizeF>("widget");
        QTest::newRow("96 dpi size") << QSizeF(lcdArea().width() / 15, lcdArea().height() / 15);
        QTest::newRow("double") << QSizeF(lcdArea().width() / 7.5, lcdArea().height() / 7.5);
        QTest::newRow("wide") << QSizeF(1000, 150);
        QTest::newRow("tall") << QSizeF(200, 900);
    }

    void glassScalesUniformlyAndCentred() {
        QFETCH(QSizeF, widget);
        const QTransform t = lcdToWidget(widget);
        QCOMPARE(t.m11(), t.m22());
        QCOMPARE(t.m12(), 0.0);
        const QRectF mapped = t.mapRect(lcdArea());
        const QRectF bounds(QPointF(0, 0), widget);
        QVERIFY(mapped.adjusted(1e-6, 1e-6, -1e-6, -1e-6).intersected(bounds) ==
                mapped.adjusted(1e-6, 1e-6, -1e-6, -1e-6));
        // As large as fits: it fills one direction completely.
        const bool fillsWidth = qAbs(mapped.width() - widget.width()) < 1e-6;
        const bool fillsHeight = qAbs(mapped.height() - widget.height()) < 1e-6;
        QVERIFY(fillsWidth || fillsHeight);
        QVERIFY(qAbs(mapped.center().x() - widget.width() / 2) < 1e-6);
        QVERIFY(qAbs(mapped.center().y() - widget.height() / 2) < 1e-6);
    }
};

QTEST_APPLESS_MAIN(TstLcdGeometry)
#include "tst_lcdgeometry.moc"
