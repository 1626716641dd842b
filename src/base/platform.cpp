#include "base/platform.h"

#include <QDir>

namespace base {

bool openInEditorOrSay(Platform& platform, const QString& path) {
    if (platform.openInEditor(path))
        return true;
    platform.message(
        QStringLiteral("Could not open %1 in the text editor.").arg(QDir::toNativeSeparators(path)),
        Platform::Icon::Warning);
    return false;
}

QString chooseAndOpenInEditor(Platform& platform) {
    const QString path = platform.chooseFile(QStringLiteral("Data Files (*.txt);;All Files (*)"));
    if (!path.isEmpty())
        openInEditorOrSay(platform, path);
    return path;
}

} // namespace base
