#pragma once

// PicRange: the record range (TxtR1, TxtR2) and value range (TxtT1, TxtT2) of the plot window,
// applied by CmdOK; CmdFit fits the values to the records typed and applies them.

#include "plot/plotgeometry.h"

#include <QFrame>

class QLineEdit;
class QPushButton;

namespace app {

class RangePanel : public QFrame {
    Q_OBJECT
public:
    explicit RangePanel(QWidget* parent = nullptr);

    // Fills the boxes from the view shown, then shows the panel with the focus in TxtR1.
    void open(const plot::PlotView& view);
    void close();

    QString lowText() const;
    QString highText() const;
    QString firstText() const;
    QString lastText() const;
    // Fills the value boxes (after CmdFit).
    void setValues(double low, double high);

signals:
    // CmdOK (or Enter in a box): the window checks the texts.
    void accepted();
    // CmdFit: the window fits the values to the records in the boxes, then applies them.
    void fitRequested();
    // Escape: the panel closes as if "Range" were clicked again.
    void dismissed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QLineEdit* m_first = nullptr;
    QLineEdit* m_last = nullptr;
    QLineEdit* m_low = nullptr;
    QLineEdit* m_high = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_fit = nullptr;
};

} // namespace app
