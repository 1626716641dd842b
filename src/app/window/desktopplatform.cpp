#include "app/window/desktopplatform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QUrl>

namespace app {

void DesktopPlatform::message(const QString& text, Icon icon, const QString& details) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QStringLiteral("QR512"));
    box.setText(text);
    if (!details.isEmpty())
        box.setInformativeText(details);
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case Icon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case Icon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

std::optional<QString> DesktopPlatform::input(const QString& prompt, const QString& title,
                                              const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), title, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

bool DesktopPlatform::confirm(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

QString DesktopPlatform::chooseSaveFile(const QString& filter, const QString& suggested) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), suggested, filter);
}

QString DesktopPlatform::chooseFile(const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), QString(), QString(), filter);
}

bool DesktopPlatform::openInEditor(const QString& path) {
    // The desktop's own association for text files; the name never passes through a shell.
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void DesktopPlatform::beep() {
    tone().play();
}

Tone& DesktopPlatform::tone() {
    if (!m_tone) {
        m_tone = std::make_unique<Tone>();
        m_tone->setSystemBeep(&QApplication::beep);
    }
    return *m_tone;
}

} // namespace app
