#pragma once

#include <QColor>
#include <QWidget>

namespace app {

// A filled shape drawn under a key's label or picture, as on the meter's keypad; the key
// handlers recolour it while the key is held. Also used for the connection indicator.
// It takes no mouse input: presses go to the label lying on it.
class KeyShape : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor fillColor READ fillColor WRITE setFillColor)
public:
    enum class Form { RoundedRect, Ellipse };

    explicit KeyShape(Form form, QColor fill, QWidget* parent = nullptr);

    QColor fillColor() const { return m_fill; }
    void setFillColor(const QColor& color);
    // A dotted ring inside the edge while the key it belongs to has the keyboard focus.
    void setFocusMark(bool shown);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Form m_form = Form::RoundedRect;
    QColor m_fill;
    bool m_focusMark = false;
};

} // namespace app
