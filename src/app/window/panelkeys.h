#pragma once

#include <QObject>
#include <QPointer>

class QKeyEvent;
class QWidget;

namespace app {

// The keyboard side of an in-window panel: focus moves to its first field when it is shown
// and back to where it was when it is hidden, Tab and Shift+Tab go round its fields while it
// is open, and Escape anywhere in its window does what its Cancel (or Exit, or the close
// button) does. The way out is the button the panel names in its "escapeButton" property,
// else its visible button captioned "Cancel" or "Exit" or named "Close".
class PanelKeys : public QObject {
    Q_OBJECT
public:
    static void attach(QWidget* panel);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit PanelKeys(QWidget* panel);
    void shown();
    void hidden();
    bool windowKey(QObject* watched, const QKeyEvent* key);
    QList<QWidget*> fields() const;
    bool escape();

    QWidget* m_panel = nullptr;
    QPointer<QWidget> m_returnTo;
};

} // namespace app
