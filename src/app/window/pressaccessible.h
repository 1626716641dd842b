#pragma once

#include <QAccessibleWidget>

#include <functional>

namespace app {

// What a screen reader sees of a meter key: a push button with a name whose "press" action
// does what a click does. The keys are labels and buttons driven by their mouse and key events,
// so the default action (a click() without any event) would send nothing.
class PressAccessible : public QAccessibleWidget {
public:
    explicit PressAccessible(QWidget* widget);

    QString text(QAccessible::Text t) const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;
    QStringList keyBindingsForAction(const QString& actionName) const override;

    // Makes `widget` such a button; `press` is a whole short press. Installs the factory once.
    static void attach(QWidget* widget, std::function<void()> press);
};

} // namespace app
