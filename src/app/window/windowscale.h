#pragma once

#include <QObject>
#include <QSize>

#include <functional>

class QWidget;

namespace app {

// Enlarges the main window by a factor: its fixed size, the places and sizes of the widgets
// placed by hand (the display redraws itself to fit), the fonts and the toolbar's pictures.
// Sizes are always taken from the first, unscaled layout, so that going back to 1 restores it
// exactly; widgets in layouts follow their layout.
class WindowScale : public QObject {
    Q_OBJECT
public:
    explicit WindowScale(QWidget* window);

    void apply(double factor);
    double factor() const { return m_factor; }
    // Whether the window, frame included, fits the room on its screen at `factor`. The room is
    // the screen's area without its panels, unless one was given (tests give one).
    bool fits(double factor) const;
    void setRoom(std::function<QSize()> room) { m_room = std::move(room); }

    // Moves a hand-placed widget to a place of the unscaled layout, at the present scale.
    void move(QWidget* widget, const QPoint& basePos);
    // Where a hand-placed widget lies in the unscaled layout.
    static QPoint basePos(const QWidget* widget);
    // Gives a hand-placed widget new unscaled bounds, shown at its window's present scale:
    // panels that lay themselves out again when opened (after the window was enlarged) use
    // this instead of setGeometry, which would put them back at 100 %.
    static void place(QWidget* widget, const QRect& baseRect);

private:
    void scaleChildren(QWidget* parent, double factor);
    void scaleOne(QWidget* widget, double factor, bool placed);

    QWidget* m_window = nullptr;
    QSize m_baseSize;
    double m_factor = 1.0;
    std::function<QSize()> m_room;
};

} // namespace app
