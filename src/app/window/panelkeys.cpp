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
        return event->type() == QEvent::KeyPress &&
               windowKey(watched, static_cast<QKeyEvent*>(event));
    switch (event->type()) {
    case QEvent::Show:
        // Keys go to the focus widget, wherever it is in the window: only the application sees
        // them all before they are used.
        qApp->installEventFilter(this);
        shown();
        break;
    case QEvent::Hide:
        qApp->removeEventFilter(this);
        hidden();
        break;
    case QEvent::KeyPress:
        // Reaches the panel when the field with the focus has no use for Escape.
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
            return escape();
        break;
    default:
        break;
    }
    return false;
}

bool PanelKeys::escape() {
    QAbstractButton* button = wayOut(m_panel);
    if (!button || !button->isEnabled())
        return false;
    button->click();
    return true;
}

bool PanelKeys::windowKey(QObject* watched, const QKeyEvent* key) {
    auto* focus = qobject_cast<QWidget*>(watched);
    // Once per key: a key the focus widget leaves passes its parents on the way up.
    if (!focus || focus != QApplication::focusWidget() || focus->window() != m_panel->window() ||
        !m_panel->isVisible())
        return false;
    if (key->key() == Qt::Key_Escape)
        return !within(focus, m_panel) && escape();
    // The keys QWidget itself takes for the focus chain, which would lead out of the panel.
    const bool backtab = key->key() == Qt::Key_Backtab ||
                         (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
    if ((key->key() != Qt::Key_Tab && !backtab) ||
        (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        return false;
    const QList<QWidget*> chain = fields();
    if (chain.isEmpty())
        return false;
    const qsizetype at = chain.indexOf(focus);
    const qsizetype size = chain.size();
    // From outside the panel (a click put the focus there) Tab comes back to its first field.
    const qsizetype next =
        at < 0 ? (backtab ? size - 1 : 0) : (at + (backtab ? size - 1 : 1)) % size;
    chain[next]->setFocus(backtab ? Qt::BacktabFocusReason : Qt::TabFocusReason);
    return true;
}

QList<QWidget*> PanelKeys::fields() const {
    QList<QWidget*> out;
    for (QWidget* next = m_panel->nextInFocusChain(); next && next != m_panel;
         next = next->nextInFocusChain())
        if (within(next, m_panel) && next->isVisible() && next->isEnabled() &&
            (next->focusPolicy() & Qt::TabFocus) && !next->focusProxy())
            out.append(next);
    return out;
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
        if (const QList<QWidget*> chain = fields(); !chain.isEmpty())
            chain.first()->setFocus(Qt::TabFocusReason);
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
