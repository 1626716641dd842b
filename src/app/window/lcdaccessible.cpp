#include "app/window/lcdaccessible.h"

#include "app/window/lcdwidget.h"

#include <algorithm>

namespace app {

namespace {

QAccessibleInterface* factory(const QString&, QObject* object) {
    if (auto* lcd = qobject_cast<LcdWidget*>(object))
        return new LcdAccessible(lcd);
    return nullptr;
}

} // namespace

LcdAccessible::LcdAccessible(LcdWidget* lcd)
    : QAccessibleWidget(lcd, QAccessible::StaticText) {}

void LcdAccessible::install() {
    QAccessible::installFactory(factory); // Qt keeps one of each
}

LcdWidget* LcdAccessible::lcd() const {
    return static_cast<LcdWidget*>(widget());
}

QWidget* LcdAccessible::shownCover() const {
    QWidget* cover = lcd()->lostCover();
    return cover->isHidden() ? nullptr : cover;
}

QString LcdAccessible::text(QAccessible::Text t) const {
    switch (t) {
    case QAccessible::Name:
        // Before the first frame there is nothing to read yet.
        return lcd()->readout().isEmpty() ? QStringLiteral("Display") : lcd()->readout();
    case QAccessible::Description:
        return QStringLiteral("Display");
    default:
        return QAccessibleWidget::text(t);
    }
}

int LcdAccessible::childCount() const {
    return shownCover() ? 1 : 0;
}

QAccessibleInterface* LcdAccessible::child(int index) const {
    QWidget* cover = shownCover();
    return index == 0 && cover ? QAccessible::queryAccessibleInterface(cover) : nullptr;
}

int LcdAccessible::indexOfChild(const QAccessibleInterface* child) const {
    QWidget* cover = shownCover();
    return cover && child && child->object() == cover ? 0 : -1;
}

QAccessibleInterface* LcdAccessible::childAt(int x, int y) const {
    QWidget* cover = shownCover();
    if (!cover || !rect().contains(x, y))
        return nullptr;
    return QAccessible::queryAccessibleInterface(cover);
}

void* LcdAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString LcdAccessible::text(int startOffset, int endOffset) const {
    const QString& all = lcd()->readout();
    const int start = std::clamp(startOffset, 0, int(all.size()));
    const int end = endOffset < 0 ? int(all.size()) : std::clamp(endOffset, start, int(all.size()));
    return all.mid(start, end - start);
}

int LcdAccessible::characterCount() const {
    return int(lcd()->readout().size());
}

void LcdAccessible::selection(int, int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = 0;
}

QString LcdAccessible::attributes(int offset, int* startOffset, int* endOffset) const {
    // One run without attributes: the whole text.
    Q_UNUSED(offset);
    *startOffset = 0;
    *endOffset = characterCount();
    return QString();
}

} // namespace app
