#include "app/window/lcdgeometry.h"

#include "live/framedecoder.h"

#include <QLatin1StringView>

#include <algorithm>
#include <array>
#include <initializer_list>

namespace app {

namespace {

constexpr double kCell = 480.0;
// Groups 1..4: upper left, upper right, lower left, lower right.
constexpr std::array<double, 4> kGroupLeft = {240.0, 2400.0, 240.0, 2400.0};
constexpr std::array<double, 4> kGroupTop = {2640.0, 2640.0, 3600.0, 3600.0};

// The glyph inside its cell: the gaps at the sides leave room for the decimal points and
// colons between digits.
constexpr double kGlyphLeft = 100.0;
constexpr double kGlyphRight = 380.0;
constexpr double kGlyphTop = 50.0;
constexpr double kGlyphBottom = 430.0;
constexpr double kGlyphMiddle = 240.0;
constexpr double kHalfBar = 25.0; // half the stroke width
constexpr double kJoinGap = 8.0;  // between neighbouring bars, as on real glass
constexpr double kSlant = 0.08;   // italic: x shift per unit of height above the middle

// Rows of symbols above, between and below the digit rows.
constexpr double kRowHeight = 180.0;
constexpr double kTopRowY = 1960.0;
constexpr double kUpperWordsY = 2300.0;
constexpr double kMiddleWordsY = 3260.0;
constexpr double kLowerWordsY = 4180.0;

struct Placed {
    const char* name;
    QRectF rect;
};

struct Slot {
    const char* name;
    double width;
};

void placeRow(std::vector<Placed>& out, double x, double y, double gap,
              std::initializer_list<Slot> row) {
    for (const Slot& slot : row) {
        out.push_back({slot.name, QRectF(x, y, slot.width, kRowHeight)});
        x += slot.width + gap;
    }
}

std::vector<Placed> layout() {
    std::vector<Placed> out;
    // Status symbols: battery bars (together they make one battery), power-off timer, mains
    // plug, the remote link, the shift key; then the clock's words.
    placeRow(out, 240, kTopRowY, 0,
             {{"ImaBt1", 90}, {"ImaBt2", 90}, {"ImaBt3", 90}, {"ImaBt4", 110}});
    placeRow(out, 700, kTopRowY, 80,
             {{"ImaAPO", 280}, {"ImaPlug", 260}, {"LblUSB", 360}, {"LblShift", 480}});
    placeRow(out, 2400, kTopRowY, 80,
             {{"LblTime", 380}, {"Lbldm", 300}, {"Lblhm", 300}, {"Lblms", 300}, {"LblY", 120}});
    // Measuring modes above the upper digits.
    placeRow(out, 240, kUpperWordsY, 130,
             {{"LblHold", 560},
              {"LblRec", 440},
              {"LblMem", 480},
              {"LblMax", 460},
              {"LblMin", 440},
              {"LblAvg", 460},
              {"LblREL", 420}});
    // Set-up words between the two digit rows.
    placeRow(out, 240, kMiddleWordsY, 60,
             {{"LblSetup", 660},
              {"LblIntv", 540},
              {"LblOffset", 760},
              {"LblCall", 540},
              {"LblClose", 660},
              {"LblStart", 640}});
    // Thermocouple type and the alarm limit words below the lower digits.
    placeRow(out, 240, kLowerWordsY, 60, {{"LblType", 480}});
    placeRow(out, 780, kLowerWordsY, 40,
             {{"LblK", 150},
              {"LblJ", 150},
              {"LblE", 150},
              {"LblT", 150},
              {"LblN", 150},
              {"LblR", 150},
              {"LblS", 150}});
    placeRow(out, 2400, kLowerWordsY, 80, {{"LblHi", 260}, {"LblLo", 260}, {"LblLimit", 480}});
    // One unit for the whole display, right of the digits and clear of the glass's rim.
    out.push_back({"ImaC", QRectF(4345, 2700, 160, 280)});
    out.push_back({"ImaF", QRectF(4345, 3200, 160, 280)});
    out.push_back({"ImaK", QRectF(4345, 3700, 160, 280)});

    // Per group: its own channel mark above the minus sign, the other channel's mark below,
    // all left of the group; the decimal point between digits 3 and 4; on the right groups the
    // colon (or the "l" in its place) between digits 2 and 3.
    struct GroupSymbols {
        const char* ownMark;
        const char* otherMark;
        const char* minus;
        const char* dot;
        const char* colon;
        const char* colonAlternative;
    };
    const std::array<GroupSymbols, 4> groups = {{
        {"LblT1T1", "LblT1T2", "LblT1Minus", "LblT1Dot", nullptr, nullptr},
        {"LblT2T2", "LblT2T1", nullptr, "LblT2Dot", "LblT2DotDot", "LblT2L"},
        {"LblT3T3", "LblT3T4", "LblT3Minus", "LblT3Dot", nullptr, nullptr},
        {"LblT4T4", "LblT4T3", nullptr, "LblT4Dot", "LblT4DotDot", "LblT4L"},
    }};
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const double left = kGroupLeft[g];
        const double top = kGroupTop[g];
        const GroupSymbols& s = groups[g];
        out.push_back({s.ownMark, QRectF(left - 210, top + 20, 180, 160)});
        out.push_back({s.otherMark, QRectF(left - 210, top + 300, 180, 160)});
        if (s.minus)
            out.push_back({s.minus, QRectF(left - 200, top + 205, 160, 70)});
        out.push_back({s.dot, QRectF(left + 3 * kCell - 40, top + 390, 80, 80)});
        if (s.colon) {
            const QRectF colon(left + 2 * kCell - 40, top + 110, 80, 260);
            out.push_back({s.colon, colon});
            out.push_back({s.colonAlternative, colon});
        }
    }
    return out;
}

std::array<QRectF, live::kAnnunciatorCount> buildAnnunciatorRects() {
    std::array<QRectF, live::kAnnunciatorCount> rects{};
    for (const Placed& p : layout()) {
        const int index = live::annunciatorIndex(QString::fromLatin1(p.name));
        if (index >= 0)
            rects[std::size_t(index)] = p.rect;
    }
    return rects;
}

const std::array<QRectF, live::kAnnunciatorCount>& annunciatorRects() {
    static const auto rects = buildAnnunciatorRects();
    return rects;
}

// A bar between two joints, pointed at both ends so that neighbours meet along a diagonal.
QPolygonF horizontalBar(double x1, double x2, double y) {
    const double a = x1 + kJoinGap;
    const double b = x2 - kJoinGap;
    return QPolygonF({QPointF(a, y), QPointF(a + kHalfBar, y - kHalfBar),
                      QPointF(b - kHalfBar, y - kHalfBar), QPointF(b, y),
                      QPointF(b - kHalfBar, y + kHalfBar), QPointF(a + kHalfBar, y + kHalfBar)});
}

QPolygonF verticalBar(double x, double y1, double y2) {
    const double a = y1 + kJoinGap;
    const double b = y2 - kJoinGap;
    return QPolygonF({QPointF(x, a), QPointF(x + kHalfBar, a + kHalfBar),
                      QPointF(x + kHalfBar, b - kHalfBar), QPointF(x, b),
                      QPointF(x - kHalfBar, b - kHalfBar), QPointF(x - kHalfBar, a + kHalfBar)});
}

} // namespace

QRectF lcdArea() {
    return QRectF(15, 1890, 4545, 2550);
}

QRectF digitCell(int digit) {
    if (digit < 0 || digit >= live::kDigitCount)
        return QRectF();
    const std::size_t group = std::size_t(digit / 4);
    return QRectF(kGroupLeft[group] + (digit % 4) * kCell, kGroupTop[group], kCell, kCell);
}

QPolygonF segmentPolygon(int digit, int segment) {
    const QRectF cell = digitCell(digit);
    if (cell.isEmpty() || segment < 0 || segment >= live::kSegmentCount)
        return QPolygonF();
    // Centre lines of the bars, relative to the cell.
    const double left = kGlyphLeft + kHalfBar;
    const double right = kGlyphRight - kHalfBar;
    const double top = kGlyphTop + kHalfBar;
    const double bottom = kGlyphBottom - kHalfBar;
    const double middle = kGlyphMiddle;
    QPolygonF bar;
    switch (segment) {
    case 0:
        bar = horizontalBar(left, right, top);
        break;
    case 1:
        bar = verticalBar(right, top, middle);
        break;
    case 2:
        bar = verticalBar(right, middle, bottom);
        break;
    case 3:
        bar = horizontalBar(left, right, bottom);
        break;
    case 4:
        bar = verticalBar(left, middle, bottom);
        break;
    case 5:
        bar = verticalBar(left, top, middle);
        break;
    default:
        bar = horizontalBar(left, right, middle);
        break;
    }
    for (QPointF& p : bar)
        p = QPointF(cell.left() + p.x() + kSlant * (middle - p.y()), cell.top() + p.y());
    return bar;
}

QRectF annunciatorRect(int index) {
    if (index < 0 || index >= live::kAnnunciatorCount)
        return QRectF();
    return annunciatorRects()[std::size_t(index)];
}

QTransform lcdToWidget(QSizeF widgetSize) {
    const QRectF area = lcdArea();
    if (widgetSize.width() <= 0 || widgetSize.height() <= 0)
        return QTransform::fromScale(0, 0);
    const double scale =
        std::min(widgetSize.width() / area.width(), widgetSize.height() / area.height());
    const double dx = (widgetSize.width() - area.width() * scale) / 2;
    const double dy = (widgetSize.height() - area.height() * scale) / 2;
    QTransform t;
    t.translate(dx, dy);
    t.scale(scale, scale);
    t.translate(-area.left(), -area.top());
    return t;
}

} // namespace app
