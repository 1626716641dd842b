// The LCD: its layout in twips (every digit cell at its place, the seven bars of a digit in
// their a..g positions, each annunciator next to its group inside the glass, the glass scaled
// into a widget) and the widget that draws it (one findable child per annunciator, everything
// lit at power-up, each display flag driving exactly its element, lit segments dark and hidden
// symbols absent in the pixels, the symbols following the glass, no repaint for a repeat).

#include "app/window/lcdgeometry.h"
#include "app/window/lcdwidget.h"
#include "live/framedecoder.h"
#include "live/readout.h"

#include <QLabel>
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

live::DisplayState onlySegment(int digit, int segment) {
    live::DisplayState state;
    state.segments[std::size_t(digit)][std::size_t(segment)] = true;
    return state;
}

QPointF segmentCentre(const LcdWidget& lcd, int digit, int segment) {
    return centreOf(lcd.twipsToPixels().map(segmentPolygon(digit, segment)));
}

int grayAt(const QImage& image, QPointF logical) {
    return qGray(image.pixel((logical * image.devicePixelRatio()).toPoint()));
}

int darkPixelsIn(QWidget& widget, QRect logical) {
    const QImage image = widget.grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    int dark = 0;
    const QRect device(logical.topLeft() * dpr, logical.size() * dpr);
    for (int y = device.top(); y <= device.bottom(); ++y) {
        for (int x = device.left(); x <= device.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                ++dark;
    }
    return dark;
}

// Counts paint events that reach a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestLcd : public QObject {
    Q_OBJECT
private slots:

    void digitCellSitsAtItsPlace_data() {
        QTest::addColumn<int>("digit");
        QTest::addColumn<double>("left");
        QTest::addColumn<double>("top");
        // Groups 1 and 2 on the upper row, 1 and 3 on the left.
        for (int digit = 0; digit < 16; ++digit) {
            const double left = (digit / 4 % 2 ? 2400 : 240) + 480 * (digit % 4);
            QTest::addRow("LCD%d", digit + 1) << digit << left << (digit < 8 ? 2640.0 : 3600.0);
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
        // Where the bar's centre may lie in its cell, as fractions of the cell.
        QTest::addColumn<int>("segment");
        QTest::addColumn<QRectF>("area");
        QTest::addColumn<bool>("horizontal");
        QTest::newRow("a top") << 0 << QRectF(0.4, 0.0, 0.2, 0.2) << true;
        QTest::newRow("b upper right") << 1 << QRectF(0.6, 0.2, 0.4, 0.25) << false;
        QTest::newRow("c lower right") << 2 << QRectF(0.6, 0.55, 0.4, 0.25) << false;
        QTest::newRow("d bottom") << 3 << QRectF(0.4, 0.8, 0.2, 0.2) << true;
        QTest::newRow("e lower left") << 4 << QRectF(0.0, 0.55, 0.4, 0.25) << false;
        QTest::newRow("f upper left") << 5 << QRectF(0.0, 0.2, 0.4, 0.25) << false;
        QTest::newRow("g middle") << 6 << QRectF(0.4, 0.45, 0.2, 0.1) << true;
    }

    void segmentSitsInItsClassicPosition() {
        QFETCH(int, segment);
        QFETCH(QRectF, area);
        QFETCH(bool, horizontal);
        for (int d : {0, 6, 9, 15}) {
            const QRectF cell = digitCell(d);
            const QPolygonF bar = segmentPolygon(d, segment);
            const QPointF f = centreOf(bar) - cell.topLeft();
            const QPointF fraction(f.x() / cell.width(), f.y() / cell.height());
            QVERIFY2(area.contains(fraction), qPrintable(QString("digit %1").arg(d)));
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
        // The row's name is the symbol's.
        QTest::addColumn<int>("group"); // 0..3
        // 0: left of the group's first digit; n: across the boundary of its digits n and n+1.
        QTest::addColumn<int>("between");
        // Every group: its own channel mark and its partner's (T1 with T2, T3 with T4) on the
        // left, its decimal point across its last two digits; the minus of groups 1 and 3 on
        // the left, the colon and its "l" of groups 2 and 4 in the middle.
        for (int g = 0; g < 4; ++g) {
            const int t = g + 1;
            QTest::addRow("LblT%dT%d", t, t) << g << 0;
            QTest::addRow("LblT%dT%d", t, g % 2 ? t - 1 : t + 1) << g << 0;
            QTest::addRow("LblT%dDot", t) << g << 3;
            if (g % 2 == 0) {
                QTest::addRow("LblT%dMinus", t) << g << 0;
            } else {
                QTest::addRow("LblT%dDotDot", t) << g << 2;
                QTest::addRow("LblT%dL", t) << g << 2;
            }
        }
    }

    void annunciatorSitsNextToItsGroup() {
        QFETCH(int, group);
        QFETCH(int, between);
        const int index = indexOf(QTest::currentDataTag());
        QVERIFY(index >= 0);
        const QRectF r = annunciatorRect(index);
        const QRectF first = digitCell(group * 4);
        // Vertically within the group's row.
        QVERIFY(r.top() >= first.top() && r.bottom() <= first.bottom());
        if (between == 0) {
            QVERIFY(r.right() <= first.left());
            // Closer to its own group than to the group further left.
            QVERIFY(r.left() > first.left() - 480);
        } else {
            const double boundary = digitCell(group * 4 + between).left();
            QVERIFY(r.left() < boundary && r.right() > boundary);
            QVERIFY(r.center().x() > digitCell(group * 4 + between - 1).center().x());
            QVERIFY(r.center().x() < digitCell(group * 4 + between).center().x());
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
        QTest::newRow("wide") << QSizeF(1000, 150);
        QTest::newRow("tall") << QSizeF(200, 900);
    }

    void glassScalesUniformlyAndCentred() {
        QFETCH(QSizeF, widget);
        const QTransform t = lcdToWidget(widget);
        QCOMPARE(t.m11(), t.m22());
        QCOMPARE(t.m12(), 0.0);
        const QRectF mapped = t.mapRect(lcdArea());
        QVERIFY(QRectF(QPointF(0, 0), widget).adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(mapped));
        // As large as fits: it fills one direction completely.
        const bool fillsWidth = qAbs(mapped.width() - widget.width()) < 1e-6;
        const bool fillsHeight = qAbs(mapped.height() - widget.height()) < 1e-6;
        QVERIFY(fillsWidth || fillsHeight);
        QVERIFY(qAbs(mapped.center().x() - widget.width() / 2) < 1e-6);
        QVERIFY(qAbs(mapped.center().y() - widget.height() / 2) < 1e-6);
    }

    void everyAnnunciatorIsAChildFoundByNameAndLitAtFirst() {
        LcdWidget lcd;
        for (int d = 0; d < live::kDigitCount; ++d)
            for (int s = 0; s < live::kSegmentCount; ++s)
                QVERIFY(lcd.segmentLit(d, s));
        QVERIFY(!lcd.segmentLit(16, 0));
        QVERIFY(!lcd.segmentLit(0, 7));
        QCOMPARE(lcd.findChildren<QLabel*>().size(), live::kAnnunciatorCount);
        for (int i = 0; i < live::kAnnunciatorCount; ++i) {
            const live::AnnunciatorInfo& info = live::kAnnunciators[std::size_t(i)];
            auto* label = lcd.findChild<QLabel*>(QLatin1StringView(info.name));
            QVERIFY2(label, info.name);
            QCOMPARE(label, lcd.annunciatorLabel(i));
            QVERIFY2(!label->isHidden(), info.name);
            QCOMPARE(label->text(), QString::fromLatin1(info.caption));
            // Read out by its everyday name, pictures included ("battery", not "ImaBt4").
            QCOMPARE(label->accessibleName(),
                     live::symbolSpokenName(QString::fromLatin1(info.name)));
        }
        QCOMPARE(lcd.annunciatorLabel(-1), nullptr);
        QCOMPARE(lcd.annunciatorLabel(live::kAnnunciatorCount), nullptr);
    }

    void eachFlagDrivesExactlyItsElement() {
        LcdWidget lcd;
        lcd.resize(606, 340);
        lcd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lcd));
        for (int digit = 0; digit < live::kDigitCount; ++digit) {
            for (int segment = 0; segment < live::kSegmentCount; ++segment) {
                lcd.setDisplay(onlySegment(digit, segment));
                // What reaches the pixels: the lit segment dark, every other one light.
                const QImage image = lcd.grab().toImage();
                for (int d = 0; d < live::kDigitCount; ++d) {
                    for (int s = 0; s < live::kSegmentCount; ++s) {
                        const bool lit = d == digit && s == segment;
                        QCOMPARE(lcd.segmentLit(d, s), lit);
                        const int gray = grayAt(image, segmentCentre(lcd, d, s));
                        QVERIFY2(lit ? gray < 80 : gray > 150,
                                 qPrintable(QString("LCD%1 segment %2").arg(d + 1).arg(s)));
                    }
                }
                for (int i = 0; i < live::kAnnunciatorCount; ++i)
                    QVERIFY(lcd.annunciatorLabel(i)->isHidden());
            }
        }
        for (int n = 0; n < live::kAnnunciatorCount; ++n) {
            // Shown from outside (REC when a PC recording starts), it still follows the frames.
            lcd.annunciatorLabel(n)->show();
            lcd.setDisplay(live::DisplayState{});
            QVERIFY(lcd.annunciatorLabel(n)->isHidden());
            live::DisplayState state;
            state.annunciators[std::size_t(n)] = true;
            lcd.setDisplay(state);
            for (int i = 0; i < live::kAnnunciatorCount; ++i)
                QCOMPARE(!lcd.annunciatorLabel(i)->isHidden(), i == n);
            QVERIFY(!lcd.segmentLit(0, 0));
            const char* name = live::kAnnunciators[std::size_t(n)].name;
            const QRect place = lcd.annunciatorLabel(n)->geometry();
            QVERIFY2(darkPixelsIn(lcd, place) > 0, name);
            lcd.setDisplay(live::DisplayState{});
            QVERIFY2(darkPixelsIn(lcd, place) == 0, name);
        }
    }

    void symbolsFollowTheGlassWhenResized() {
        LcdWidget lcd;
        lcd.resize(lcd.sizeHint());
        lcd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lcd));
        lcd.resize(lcd.sizeHint() * 3);
        const QRectF glass = lcd.twipsToPixels().mapRect(lcdArea());
        QVERIFY(glass.width() > lcd.sizeHint().width() * 2.9);
        const auto labels = lcd.findChildren<QLabel*>();
        for (QLabel* label : labels) {
            QVERIFY2(glass.contains(QRectF(label->geometry())), qPrintable(label->objectName()));
            QVERIFY2(label->width() > 2 && label->height() > 2, qPrintable(label->objectName()));
        }
        // Pixel places keep the twips layout: only the colon and its "l" share one.
        int shared = 0;
        for (int i = 0; i < labels.size(); ++i) {
            for (int j = i + 1; j < labels.size(); ++j)
                if (labels[i]->geometry().intersects(labels[j]->geometry()))
                    ++shared;
        }
        QCOMPARE(shared, 2);
    }

    void repeatedStateDoesNotRepaint() {
        LcdWidget lcd;
        lcd.resize(lcd.sizeHint());
        lcd.show();
        QVERIFY(QTest::qWaitForWindowExposed(&lcd));
        PaintCounter counter;
        lcd.installEventFilter(&counter);

        const live::DisplayState state = onlySegment(3, 2);
        lcd.setDisplay(state);
        QTRY_VERIFY(counter.paints > 0);

        counter.paints = 0;
        lcd.setDisplay(state);
        QCoreApplication::processEvents();
        QCOMPARE(counter.paints, 0);

        // The same processing does deliver a repaint when a segment changes.
        lcd.setDisplay(onlySegment(3, 3));
        QCoreApplication::processEvents();
        QVERIFY(counter.paints > 0);
    }
};

QTEST_MAIN(TestLcd)
#include "tst_lcdwidget.moc"
