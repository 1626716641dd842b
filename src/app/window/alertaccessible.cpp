#include "app/window/alertaccessible.h"

#include <QWidget>

namespace app {

namespace {

constexpr const char* kAlertProperty = "qr512AlertMessage";

QAccessibleInterface* factory(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget && widget->property(kAlertProperty).toBool())
        return new AlertAccessible(widget);
    return nullptr;
}

} // namespace

AlertAccessible::AlertAccessible(QWidget* widget)
    : QAccessibleWidget(widget, QAccessible::AlertMessage) {}

void AlertAccessible::attach(QWidget* widget) {
    QAccessible::installFactory(factory); // Qt keeps one of each
    widget->setProperty(kAlertProperty, true);
    // A caption set earlier may have made the plain interface already; it must give way.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(widget);
    if (made && !dynamic_cast<AlertAccessible*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void AlertAccessible::raise(QWidget* widget) {
    QAccessibleEvent alert(widget, QAccessible::Alert);
    QAccessible::updateAccessibility(&alert);
}

} // namespace app
