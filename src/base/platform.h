#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace base {

// The services the program takes from the desktop: message, question and input boxes, the
// file choosers, the text editor, the alarm tone. Reached through this interface so that code
// below the window can ask for them, and tests can check "the message X was shown" or "the
// editor was asked to open F" with no display or sound card.
class Platform {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Platform() = default;
    // A modal message box with an OK button; `details` is extra text under the message.
    virtual void message(const QString& text, Icon icon = Icon::None,
                         const QString& details = QString()) = 0;
    // A modal OK/Cancel question with the exclamation icon; true for OK.
    virtual bool confirm(const QString& text, const QString& title) = 0;
    // An input box; nothing when the user cancels.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& defaultText) = 0;
    // The file chooser for opening; "" when cancelled. `filter` is in Qt's form
    // ("Data Files (*.txt);;All Files (*)").
    virtual QString chooseFile(const QString& filter) = 0;
    // The file chooser for saving, starting at `suggested`; "" when cancelled.
    virtual QString chooseSaveFile(const QString& filter, const QString& suggested) = 0;
    // Opens the file in the system's text editor (never through a shell). False if it failed.
    virtual bool openInEditor(const QString& path) = 0;
    // The alarm tone: 2000 Hz for 200 ms. Returns at once; tones asked for in a row follow
    // each other.
    virtual void beep() = 0;
};

// The file in the text editor, or a message naming it when the editor cannot open it. False
// if it could not.
bool openInEditorOrSay(Platform& platform, const QString& path);

// The file chooser for data files, then the chosen file in the text editor (a message when
// the editor cannot open it). The chosen path, "" when the user cancelled.
QString chooseAndOpenInEditor(Platform& platform);

} // namespace base
