#pragma once

#include <QAccessibleWidget>

namespace app {

class LcdWidget;

// What a screen reader sees of the LCD: one static text that reads the display out ("T1 23.7
// °C, T2 25.3 °C, type K; hold"), as its name and through the text interface. The symbols and
// segments it is drawn from are left out of the tree: read one by one they would be sixty
// scraps such as "colon" and "l". Only the "Not answering" cover, an alert, is a child, while
// it is shown.
class LcdAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LcdAccessible(LcdWidget* lcd);

    // Makes every LcdWidget such a text. Call before the first one is made.
    static void install();

    QString text(QAccessible::Text t) const override;
    int childCount() const override;
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    // Read only, without a caret or a selection.
    QString text(int startOffset, int endOffset) const override;
    int characterCount() const override;
    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

private:
    LcdWidget* lcd() const;
    QWidget* shownCover() const;
};

} // namespace app
