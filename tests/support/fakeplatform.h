#pragma once

#include "base/platform.h"

#include <QList>

namespace testsupport {

// Records what was asked of it and answers from scripted queues.
class FakePlatform : public base::Platform {
public:
    struct Message {
        QString text;
        Icon icon;
        QString details;
    };
    struct Input {
        QString prompt, title, defaultText;
    };

    void message(const QString& text, Icon icon, const QString& details) override {
        messages.append({text, icon, details});
    }
    bool confirm(const QString& text, const QString& title) override {
        questions.append(title + QStringLiteral(": ") + text);
        return confirmAnswer;
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
    QString chooseSaveFile(const QString& filter, const QString& suggested) override {
        filters.append(filter);
        suggestedFiles.append(suggested);
        return chosenSaveFile;
    }
    bool openInEditor(const QString& path) override {
        opened.append(path);
        return editorStarts;
    }
    void beep() override { ++beeps; }

    QList<Message> messages;
    QStringList questions;
    bool confirmAnswer = false;
    QList<Input> inputs;
    QList<std::optional<QString>> answers; // nullopt = the user cancelled
    QStringList filters;
    QString chosenFile;
    QStringList suggestedFiles;
    QString chosenSaveFile;
    QStringList opened;
    bool editorStarts = true;
    int beeps = 0;
};

} // namespace testsupport
