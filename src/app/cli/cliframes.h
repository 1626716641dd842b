#pragma once

#include "app/cli/clicommon.h"

#include <functional>

class QCoreApplication;

namespace app {

// Waits for the first frame within the time-out, and for every later one as well: a meter that
// is unplugged for good would otherwise leave a script waiting for ever. The caller's
// `onFrame` runs for each frame; `onSignal` for each signal handed over; `onLost` (after the
// message) when the meter has gone. The time-out's status (3) wins over the event loop's.
int runConnected(QCoreApplication& app, Connection& connection, const Common& common,
                 const std::function<void()>& onFrame, const std::function<void()>& onSignal,
                 const std::function<void()>& onLost);

} // namespace app
