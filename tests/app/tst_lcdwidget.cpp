// Covers the LCD widget: one findable child per annunciator (named after its element, with
// its caption or, for pictures, its accessible name), the power-up drawing with everything
// lit, each display flag lighting exactly its segment or showing exactly its symbol, what
// actually reaches the pixels (lit segments dark, unlit ones light, hidden symbols absent), the
// symbols following the glass when the widget is resized, and no repaint when a frame repeats the
// state already shown.

#include "app/window/lcdgeometry.h"
#include "app/window/lcdwidget.h"
#include "live/readout.h"

#include "live/framedecoder.h"

#include <QLabel>
#include <QLatin1StringView>
#include <QTest>

using namespace app;

namespace {

live::DisplayState onlySegment(int digit, int segment) {
    live::DisplayState state;
    state.segments[std::size_t(digit)][std::size_t(segment)] = true;
    return state;
}

QPointF segmentCentre(const LcdWidget& lcd, int digit, int segment) {
    const QPolygonF bar = lcd.twipsToPixels().map(segmentPolygon(digit, segment));
    QPointF sum;
    for (const QPointF& p : bar)
        sum += p;
    return sum / double(bar.size());
}

int grayAt(const QImage& image, QPointF logical, qreal dpr) {
    return qGray(image.pixel((logical * dpr).toPoint()));
}

int darkPixelsIn(const QImage& image, QRect logical, qreal dpr) {
    int dark = 0;
    const QRect device(logical.topLeft() * dpr, logical.size() * dpr);
    for (int y = device.top(); y <= device.bottom(); ++y) {
        for (int x = device.left(); x <= device.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 100)
                ++dark;
        }
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

class TstLcdWidget : public QObject {
    Q_OBJECT
private slots:
    void everyAnnunciatorIsAChildFoundByName();
    void startsWithEverythingLit();
    void eachFlagDrivesExactlyItsElement();
    void litSegmentIsDarkAndUnlitIsLight_data();
    void litSegmentIsDarkAndUnlitIsLight();
    void hiddenSymbolLeavesNoInk_data();
    void hiddenSymbolLeavesNoInk();
    void symbolsFollowTheGlassWhenResized();
    void repeatedStateDoesNotRepaint();
};

void TstLcdWidget::everyAnnunciatorIsAChildFoundByName() {
    LcdWidget lcd;
    QCOMPARE(lcd.objectName(), QStringLiteral("LCD"));
    QCOMPARE(lcd.findChildren<QLabel*>().size(), live::kAnnunciatorCount);
    for (int i = 0; i < live::kAnnunciatorCount; ++i) {
        const live::AnnunciatorInfo& info = live::kAnnunciators[std::size_t(i)];
        auto* label = lcd.findChild<QLabel*>(QLatin1StringView(info.name));
        QVERIFY2(label, info.name);
        QCOMPARE(label, lcd.annunciatorLabel(i));
        QCOMPARE(label->text(), QString::fromLatin1(info.caption));
        // Read out by its everyday name, pictures included ("battery", not "ImaBt4").
        QCOMPARE(label->accessibleName(), live::symbolSpokenName(QString::fromLatin1(info.name)));
    }
    QCOMPARE(lcd.annunciatorLabel(-1), nullptr);
    QCOMPARE(lcd.annunciatorLabel(live::kAnnunciatorCount), nullptr);
}

void TstLcdWidget::startsWithEverythingLit() {
    LcdWidget lcd;
    for (int d = 0; d < live::kDigitCount; ++d) {
        for (int s = 0; s < live::kSegmentCount; ++s)
            QVERIFY(lcd.segmentLit(d, s));
    }
    for (int i = 0; i < live::kAnnunciatorCount; ++i)
        QVERIFY2(!lcd.annunciatorLabel(i)->isHidden(), live::kAnnunciators[std::size_t(i)].name);
    QVERIFY(!lcd.segmentLit(16, 0));
    QVERIFY(!lcd.segmentLit(0, 7));
}

void TstLcdWidget::eachFlagDrivesExactlyItsElement() {
    LcdWidget lcd;
    for (int digit = 0; digit < live::kDigitCount; ++digit) {
        for (int segment = 0; segment < live::kSegmentCount; ++segment) {
            lcd.setDisplay(onlySegment(digit, segment));
            for (int d = 0; d < live::kDigitCount; ++d) {
                for (int s = 0; s < live::kSegmentCount; ++s)
                    QCOMPARE(lcd.segmentLit(d, s), d == digit && s == segment);
            }
            for (int i = 0; i < live::kAnnunciatorCount; ++i)
                QVERIFY(lcd.annunciatorLabel(i)->isHidden());
        }
    }
    for (int n = 0; n < live::kAnnunciatorCount; ++n) {
        live::DisplayState state;
        state.annunciators[std::size_t(n)] = true;
        lcd.setDisplay(state);
        for (int i = 0; i < live::kAnnunciatorCount; ++i)
            QCOMPARE(!lcd.annunciatorLabel(i)->isHidden(), i == n);
        QVERIFY(!lcd.segmentLit(0, 0));
        // Shown from outside (REC when a PC recording starts), it still follows the frames.
        lcd.annunciatorLabel(n)->show();
        lcd.setDisplay(live::DisplayState{});
        QVERIFY(lcd.annunciatorLabel(n)->isHidden());
    }
}

void TstLcdWidget::litSegmentIsDarkAndUnlitIsLight_data() {
    QTest::addColumn<int>("digit");
    QTest::addColumn<int>("segment");
    QTest::addColumn<QSize>("size");
    QTest::newRow("LCD1 a") << 0 << 0 << QSize(303, 170);
    QTest::newRow("LCD6 g") << 5 << 6 << QSize(303, 170);
    QTest::newRow("LCD11 e") << 10 << 4 << QSize(606, 340);
    QTest::newRow("LCD16 b") << 15 << 1 << QSize(606, 340);
}

void TstLcdWidget::litSegmentIsDarkAndUnlitIsLight() {
    QFETCH(int, digit);
    QFETCH(int, segment);
    QFETCH(QSize, size);
    LcdWidget lcd;
    lcd.resize(size);
    lcd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lcd));
    lcd.setDisplay(onlySegment(digit, segment));
    const QImage image = lcd.grab().toImage();
    const qreal dpr = image.devicePixelRatio();
    QVERIFY(grayAt(image, segmentCentre(lcd, digit, segment), dpr) < 80);
    for (int s = 0; s < live::kSegmentCount; ++s) {
        if (s != segment)
            QVERIFY2(grayAt(image, segmentCentre(lcd, digit, s), dpr) > 150,
                     qPrintable(QString("segment %1").arg(s)));
    }
    // The same segment of another digit stays unlit.
    const int other = (digit + 1) % live::kDigitCount;
    QVERIFY(grayAt(image, segmentCentre(lcd, other, segment), dpr) > 150);
}

void TstLcdWidget::hiddenSymbolLeavesNoInk_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("word") << "LblHold";
    QTest::newRow("decimal point") << "LblT1Dot";
    QTest::newRow("colon") << "LblT2DotDot";
    QTest::newRow("l stroke") << "LblT4L";
    QTest::newRow("minus") << "LblT3Minus";
    QTest::newRow("degrees C") << "ImaC";
    QTest::newRow("degrees F") << "ImaF";
    QTest::newRow("kelvin") << "ImaK";
    QTest::newRow("battery end") << "ImaBt4";
    QTest::newRow("plug") << "ImaPlug";
    QTest::newRow("power-off timer") << "ImaAPO";
}

void TstLcdWidget::hiddenSymbolLeavesNoInk() {
    QFETCH(QString, name);
    LcdWidget lcd;
    lcd.resize(606, 340);
    lcd.show();
    QVERIFY(QTest::qWaitForWindowExposed(&lcd));
    live::DisplayState state;
    state.annunciators[std::size_t(live::annunciatorIndex(name))] = true;
    lcd.setDisplay(state);
    const QRect place = lcd.findChild<QLabel*>(name)->geometry();
    QImage image = lcd.grab().toImage();
    QVERIFY(darkPixelsIn(image, place, image.devicePixelRatio()) > 0);
    lcd.setDisplay(live::DisplayState{});
    image = lcd.grab().toImage();
    QCOMPARE(darkPixelsIn(image, place, image.devicePixelRatio()), 0);
}

void TstLcdWidget::symbolsFollowTheGlassWhenResized() {
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
        for (int j = i + 1; j < labels.size(); ++j) {
            if (labels[i]->geometry().intersects(labels[j]->geometry()))
                ++shared;
        }
    }
    QCOMPARE(shared, 2);
}

void TstLcdWidget::repeatedStateDoesNotRepaint() {
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

QTEST_MAIN(TstLcdWidget)
#include "tst_lcdwidget.moc"
