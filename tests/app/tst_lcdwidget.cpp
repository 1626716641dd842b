// Covers the LCD widget: one findable child per annunciator (named after its element, with
// its caption or, for pictures, its accessible name), the power-up drawing with everything
// lit, single frame bits lighting exactly one segment or showing exactly one symbol (through
// the real frame decoder), what actually reaches the pixels (lit segments dark, unlit ones
// light, hidden symbols absent), the symbols following the glass when the widget is resized,
// and no repaint when a frame repeats the state already shown.

#include "app/window/lcdgeometry.h"
#include "live/readout.h"
#include "app/window/lcdwidget.h"

#include "live/framedecoder.h"

#include <QLabel>
#include <QLatin1StringView>
#include <QTest>

using namespace app;

namespace {

QByteArray frameWithBit(int byteNumber, int bit) {
    QByteArray frame(live::kFrameLength, '\0');
    frame[0] = '\x02';
    frame[live::kFrameLength - 1] = '\x0D';
    frame[byteNumber - 1] = char(1 << bit);
    return frame;
}

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
    void oneSegmentBitLightsExactlyThatSegment_data();
    void oneSegmentBitLightsExactlyThatSegment();
    void oneAnnunciatorBitShowsExactlyThatSymbol_data();
    void oneAnnunciatorBitShowsExactlyThatSymbol();
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

void TstLcdWidget::oneSegmentBitLightsExactlyThatSegment_data() {
    // Frame byte and bit, and the digit and segment the table says they light.
    QTest::addColumn<int>("byteNumber");
    QTest::addColumn<int>("bit");
    QTest::addColumn<int>("digit");
    QTest::addColumn<int>("segment");
    QTest::newRow("byte 2 bit 0: LCD1 d") << 2 << 0 << 0 << 3;
    QTest::newRow("byte 5 bit 6: LCD4 a") << 5 << 6 << 3 << 0;
    QTest::newRow("byte 18 bit 3: LCD5 g") << 18 << 3 << 4 << 6;
    QTest::newRow("byte 15 bit 4: LCD8 b") << 15 << 4 << 7 << 1;
    QTest::newRow("byte 6 bit 0: LCD9 a") << 6 << 0 << 8 << 0;
    QTest::newRow("byte 9 bit 1: LCD12 f") << 9 << 1 << 11 << 5;
    QTest::newRow("byte 11 bit 5: LCD14 c") << 11 << 5 << 13 << 2;
    QTest::newRow("byte 14 bit 4: LCD16 e") << 14 << 4 << 15 << 4;
}

void TstLcdWidget::oneSegmentBitLightsExactlyThatSegment() {
    QFETCH(int, byteNumber);
    QFETCH(int, bit);
    QFETCH(int, digit);
    QFETCH(int, segment);
    LcdWidget lcd;
    lcd.setDisplay(live::decodeDisplay(frameWithBit(byteNumber, bit)));
    for (int d = 0; d < live::kDigitCount; ++d) {
        for (int s = 0; s < live::kSegmentCount; ++s)
            QCOMPARE(lcd.segmentLit(d, s), d == digit && s == segment);
    }
    for (int i = 0; i < live::kAnnunciatorCount; ++i)
        QVERIFY2(lcd.annunciatorLabel(i)->isHidden(), live::kAnnunciators[std::size_t(i)].name);
}

void TstLcdWidget::oneAnnunciatorBitShowsExactlyThatSymbol_data() {
    QTest::addColumn<int>("byteNumber");
    QTest::addColumn<int>("bit");
    QTest::addColumn<QString>("name");
    QTest::newRow("colon of group 4") << 12 << 0 << "LblT4DotDot";
    QTest::newRow("l of group 2") << 12 << 3 << "LblT2L";
    QTest::newRow("d:m") << 12 << 7 << "Lbldm";
    QTest::newRow("T3 mark") << 2 << 7 << "LblT3T3";
    QTest::newRow("plug picture") << 6 << 7 << "ImaPlug";
    QTest::newRow("K picture") << 15 << 7 << "ImaK";
    QTest::newRow("degrees C picture") << 20 << 7 << "ImaC";
    QTest::newRow("HOLD") << 23 << 0 << "LblHold";
    QTest::newRow("battery bar 1") << 25 << 4 << "ImaBt1";
    QTest::newRow("T1 mark of group 1") << 25 << 7 << "LblT1T1";
}

void TstLcdWidget::oneAnnunciatorBitShowsExactlyThatSymbol() {
    QFETCH(int, byteNumber);
    QFETCH(int, bit);
    QFETCH(QString, name);
    LcdWidget lcd;
    lcd.setDisplay(live::decodeDisplay(frameWithBit(byteNumber, bit)));
    for (QLabel* label : lcd.findChildren<QLabel*>())
        QCOMPARE(!label->isHidden(), label->objectName() == name);
    for (int d = 0; d < live::kDigitCount; ++d) {
        for (int s = 0; s < live::kSegmentCount; ++s)
            QVERIFY(!lcd.segmentLit(d, s));
    }
    // And back: the next frame without the bit hides it again.
    lcd.setDisplay(live::DisplayState{});
    QVERIFY(lcd.findChild<QLabel*>(name)->isHidden());
    // Shown from outside (REC when a PC recording starts), it follows the frames again.
    lcd.findChild<QLabel*>(name)->show();
    lcd.setDisplay(live::DisplayState{});
    QVERIFY(lcd.findChild<QLabel*>(name)->isHidden());
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
