#include "app/window/panelkeys.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

namespace app {

namespace {

bool within(const QWidget* widget, const QWidget* panel) {
    return widget && (widget == panel || panel->isAncestorOf(widget));
}

QAbstractButton* wayOut(QWidget* panel) {
    if (auto* named = panel->property("escapeButton").value<QObject*>())
        return qobject_cast<QAbstractButton*>(named);
    for (QAbstractButton* button : panel->findChildren<QAbstractButton*>()) {
        const QString text = button->text().remove(QLatin1Char('&'));
        if (button->isVisibleTo(panel) &&
            (text == QLatin1String("Cancel") || text == QLatin1String("Exit") ||
             button->accessibleName() == QLatin1String("Close")))
            return button;
    }
    return nullptr;
}

} // namespace

PanelKeys::PanelKeys(QWidget* panel)
    : QObject(panel)
    , m_panel(panel) {
    panel->installEventFilter(this);
}

void PanelKeys::attach(QWidget* panel) {
    if (!panel->findChild<PanelKeys*>(QString(), Qt::FindDirectChildrenOnly))
        new PanelKeys(panel);
}

bool PanelKeys::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_panel)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        shown();
        break;
    case QEvent::Hide:
        hidden();
        break;
    case QEvent::KeyPress:
        // Reaches the panel when the field with the focus has no use for Escape.
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            if (QAbstractButton* button = wayOut(m_panel); button && button->isEnabled()) {
                button->click();
                return true;
            }
        }
        break;
    default:
        break;
    }
    return false;
}

void PanelKeys::shown() {
    QWidget* focus = QApplication::focusWidget();
    if (!within(focus, m_panel))
        m_returnTo = focus;
    // One panel in place of another (By Time opens the stop time): focus goes back to where
    // the first one took it from.
    for (QWidget* up = focus; up; up = up->parentWidget()) {
        const auto* other = up->findChild<PanelKeys*>(QString(), Qt::FindDirectChildrenOnly);
        if (other && other != this) {
            m_returnTo = other->m_returnTo;
            break;
        }
    }
    // The panel's children become visible after its Show event: look for the field then.
    QTimer::singleShot(0, m_panel, [this] {
        if (!m_panel->isVisible() || within(QApplication::focusWidget(), m_panel))
            return;
        QWidget* next = m_panel->nextInFocusChain();
        while (next && next != m_panel) {
            if (within(next, m_panel) && next->isVisible() && next->isEnabled() &&
                (next->focusPolicy() & Qt::TabFocus)) {
                next->setFocus(Qt::TabFocusReason);
                return;
            }
            next = next->nextInFocusChain();
        }
    });
}

void PanelKeys::hidden() {
    QWidget* focus = QApplication::focusWidget();
    if (focus && !within(focus, m_panel))
        return; // the focus has moved on already (to the next panel)
    // Without a place to go back to, the focus moves on along the chain as usual.
    if (m_returnTo && m_returnTo->isVisible() && m_returnTo->isEnabled())
        m_returnTo->setFocus(Qt::OtherFocusReason);
}

} // namespace app
