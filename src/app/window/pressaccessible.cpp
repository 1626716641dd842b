#include "app/window/pressaccessible.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

namespace app {

namespace {

QHash<QObject*, std::function<void()>>& presses() {
    static QHash<QObject*, std::function<void()>> table;
    return table;
}

QAccessibleInterface* factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && presses().contains(object))
        return new PressAccessible(widget);
    return nullptr;
}

} // namespace

PressAccessible::PressAccessible(QWidget* widget)
    : QAccessibleWidget(widget, QAccessible::Button) {}

QString PressAccessible::text(QAccessible::Text t) const {
    QString value = QAccessibleWidget::text(t);
    if (t == QAccessible::Name && value.isEmpty()) {
        value = widget()->property("text").toString();
        value.remove(QLatin1Char('&'));
    }
    return value;
}

QStringList PressAccessible::actionNames() const {
    return {pressAction()};
}

void PressAccessible::doAction(const QString& actionName) {
    if (actionName != pressAction() || !widget()->isEnabled())
        return;
    if (const auto press = presses().value(object()))
        press();
}

QStringList PressAccessible::keyBindingsForAction(const QString& actionName) const {
    if (actionName == pressAction())
        return {QStringLiteral("Space")};
    return {};
}

void PressAccessible::attach(QWidget* widget, std::function<void()> press) {
    QAccessible::installFactory(factory); // Qt keeps one of each
    presses().insert(widget, std::move(press));
    // Setting a caption may have made the plain interface already; it must give way.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
    if (made && !dynamic_cast<PressAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    QObject::connect(widget, &QObject::destroyed, [widget] { presses().remove(widget); });
}

} // namespace app
