#include "app/window/listkeys.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>

namespace app {

ListKeys::ListKeys(QComboBox* list)
    : QObject(list)
    , m_list(list) {
    list->installEventFilter(this);
    if (QLineEdit* edit = list->lineEdit())
        edit->installEventFilter(this);
}

void ListKeys::attach(QComboBox* list) {
    new ListKeys(list);
}

bool ListKeys::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::Wheel)
        return true;
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease &&
        event->type() != QEvent::ShortcutOverride)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // Tab, Escape and shortcuts keep their meaning; what is left either opens the list or is
    // nothing (a read-only text must not take Backspace or Delete either).
    switch (key->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return false;
    default:
        break;
    }
    if (key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))
        return false;
    if (event->type() != QEvent::KeyPress)
        return event->type() == QEvent::KeyRelease;
    const bool opens = key->key() == Qt::Key_F4 || key->key() == Qt::Key_Space ||
                       key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    const bool moves = key->key() == Qt::Key_Up || key->key() == Qt::Key_Down ||
                       key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown ||
                       key->key() == Qt::Key_Home || key->key() == Qt::Key_End;
    const bool types = !key->text().isEmpty() && key->text().at(0).isPrint();
    if (!opens && !moves && !types)
        return true;
    if (m_list->count() == 0)
        return true;
    m_list->showPopup();
    QAbstractItemView* view = m_list->view();
    if (!view->currentIndex().isValid()) {
        // Start from the shown value, or the first item.
        const int at = m_list->findText(m_list->currentText());
        view->setCurrentIndex(m_list->model()->index(at >= 0 ? at : 0, m_list->modelColumn()));
    }
    if (moves && !(key->modifiers() & Qt::AltModifier)) {
        QKeyEvent copy(QEvent::KeyPress, key->key(), Qt::NoModifier);
        QCoreApplication::sendEvent(view, &copy);
    } else if (types && key->key() != Qt::Key_Space) {
        view->keyboardSearch(key->text());
    }
    return true;
}

} // namespace app
