#pragma once

#include <QObject>

class QComboBox;

namespace app {

// Keyboard use of a list whose value must come from its items: arrows, Page Up/Down, Home,
// End and typed letters open the list and move through it; Enter or Space picks the item, as
// a click does; Escape closes it unchanged. Nothing is picked by a key alone on the closed
// list, and the wheel does not pick either.
class ListKeys : public QObject {
    Q_OBJECT
public:
    static void attach(QComboBox* list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ListKeys(QComboBox* list);

    QComboBox* m_list = nullptr;
};

} // namespace app
