#pragma once

#include "live/framedecoder.h"

#include <QTransform>
#include <QWidget>

#include <array>

class QLabel;

namespace app {

// The drawing of the meter's LCD. The digits are painted as vector bars (unlit ones as a
// faint ghost, so that they read as glass); every annunciator is a child QLabel named after
// its element (LblHold, ImaC, ...) and shown or hidden with its bit, so that tests and
// accessibility tools find each one. Everything is drawn from twips scaled to the widget, so
// it stays sharp at any size and pixel density.
class LcdWidget : public QWidget {
    Q_OBJECT
public:
    explicit LcdWidget(QWidget* parent = nullptr);

    // Mirrors the state; repaints only what differs from the state shown.
    void setDisplay(const live::DisplayState& state);
    const live::DisplayState& display() const { return m_state; }

    // Digit 0..15 = LCD1..LCD16, segment 0..6 = a..g; false out of range.
    bool segmentLit(int digit, int segment) const;
    // Index into live::kAnnunciators; nullptr out of range.
    QLabel* annunciatorLabel(int index) const;
    // From twips of the glass to this widget's logical pixels at its current size.
    QTransform twipsToPixels() const;

    // What a screen reader says of the display (readings, type, lit symbols): the text of
    // its accessible interface (lcdaccessible.h), which stands for all the drawn pieces.
    void setReadout(const QString& text);
    const QString& readout() const { return m_readout; }
    // The meter stopped answering: the last display stays, veiled, under "Not answering",
    // and each loss is raised as an alert.
    void setLost(bool lost);
    bool isLost() const;
    QWidget* lostCover() const { return m_lostCover; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void placeAnnunciators();
    QRect digitPixels(int digit) const;

    live::DisplayState m_state;
    std::array<QLabel*, live::kAnnunciatorCount> m_labels{};
    QWidget* m_lostCover = nullptr;
    QString m_readout;
};

} // namespace app
