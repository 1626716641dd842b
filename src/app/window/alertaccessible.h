#pragma once

#include <QAccessibleWidget>

namespace app {

// What a screen reader sees of a warning shown on the window (an alarm, a lost meter): an
// alert message whose name is what the warning says. A screen reader speaks an alert the
// moment it is raised, wherever the focus is; a label merely appearing says nothing.
class AlertAccessible : public QAccessibleWidget {
public:
    explicit AlertAccessible(QWidget* widget);

    // Makes `widget` such an alert message. Installs the factory once.
    static void attach(QWidget* widget);
    // Announces `widget` (shown, its name set) as an alert.
    static void raise(QWidget* widget);
};

} // namespace app
