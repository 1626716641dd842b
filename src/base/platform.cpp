#include "base/platform.h"

#include <QDir>

namespace base {

QString chooseAndOpenInEditor(Platform& platform) {
    const QString path = platform.chooseFile(QStringLiteral("Data Files (*.txt);;All Files (*)"));
    if (!path.isEmpty() && !platform.openInEditor(path))
        platform.message(QStringLiteral("Could not open %1 in the text editor.")
                             .arg(QDir::toNativeSeparators(path)),
                         Platform::Icon::Warning);
    return path;
}

} // namespace base
