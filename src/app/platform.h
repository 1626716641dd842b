#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace app {

// The services the program takes from the desktop: message and input boxes, the file chooser,
// the text editor, the alarm tone. Reached through this interface so that tests can check
// "the message X was shown" or "the editor was asked to open F" with no display or sound.
class Platform {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Platform() = default;
    // A modal message box with an OK button; `details` is extra text under the message.
    virtual void message(const QString& text, Icon icon = Icon::None,
                         const QString& details = QString()) = 0;
    // An input box; nothing when the user cancels.
    virtual std::optional<QString> input(const QString& prompt, const QString& title,
                                         const QString& defaultText) = 0;
    // The file chooser for opening; "" when cancelled. `filter` is in Qt's form
    // ("Data Files (*.txt);;All Files (*)").
    virtual QString chooseFile(const QString& filter) = 0;
    // Opens the file in the system's text editor (never through a shell). False if it failed.
    virtual bool openInEditor(const QString& path) = 0;
    // The alarm tone: 2000 Hz for 200 ms.
    virtual void beep() = 0;
};

// The real desktop.
class DesktopPlatform : public Platform {
public:
    void message(const QString& text, Icon icon, const QString& details) override;
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override;
    QString chooseFile(const QString& filter) override;
    bool openInEditor(const QString& path) override;
    void beep() override;
};

// Records what was asked of it and answers from scripted queues; for tests.
class FakePlatform : public Platform {
public:
    struct Message {
        QString text;
        Icon icon;
        QString details;
    };
    void message(const QString& text, Icon icon, const QString& details) override {
        messages.append({text, icon, details});
    }
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText) override {
        inputs.append({prompt, title, defaultText});
        if (answers.isEmpty())
            return std::nullopt;
        return answers.takeFirst();
    }
    QString chooseFile(const QString& filter) override {
        filters.append(filter);
        return chosenFile;
    }
    bool openInEditor(const QString& path) override {
        opened.append(path);
        return true;
    }
    void beep() override { ++beeps; }

    struct Input {
        QString prompt, title, defaultText;
    };
    QList<Message> messages;
    QList<Input> inputs;
    QList<std::optional<QString>> answers; // nullopt = the user cancelled
    QStringList filters;
    QString chosenFile;
    QStringList opened;
    int beeps = 0;
};

} // namespace app
