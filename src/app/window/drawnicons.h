#pragma once

// The window's pictures, drawn as vectors so the program needs no image files.

#include "live/keycodes.h"

#include <QIcon>
#include <QPixmap>
#include <QString>

namespace app {

// The toolbar key's picture ("Save", "Open", ..., "PortSel").
QIcon toolbarIcon(const QString& key);
// The picture on the light and power keys.
QPixmap keyPicture(live::Key key);

} // namespace app
