#pragma once

// Where everything on the drawing of the meter's LCD lies, as pure functions so that the
// layout can be checked without a window. Coordinates are twips (1/1440 inch) of the main
// window's client area; at 96 dpi fifteen twips make one logical pixel.

#include <QPolygonF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace app {

constexpr double kTwipsPerPixel = 15.0; // at 96 dpi

// The glass: every digit and annunciator lies inside it.
QRectF lcdArea();

// Digit 0..15 = LCD1..LCD16: the 480 x 480 cell the digit's seven segments are drawn in.
// An empty rectangle for an index out of range.
QRectF digitCell(int digit);

// Segment 0..6 = a..g (top, upper right, lower right, bottom, lower left, upper left,
// middle) of a digit: a six-cornered bar, slightly italic, inside the digit's cell. An empty
// polygon for an index out of range.
QPolygonF segmentPolygon(int digit, int segment);

// Index into live::kAnnunciators: the rectangle the symbol is drawn in. Symbols that the
// meter lights one instead of the other (a colon and the "l" in its place) share one
// rectangle; no others overlap. Empty when out of range.
QRectF annunciatorRect(int index);

// Maps twips of the glass into a widget of the given size in logical pixels: the glass is
// scaled uniformly to the largest size that fits and centred.
QTransform lcdToWidget(QSizeF widgetSize);

} // namespace app
