#pragma once

#include <QStringList>

class QApplication;

namespace app {

// The program in window mode: reads the options (--simulate, --port DEVICE, --help,
// --version), starts the link thread and the main window, and runs until the window closes.
// args[0] is the program name. Returns the exit code.
int runWindow(QApplication& app, const QStringList& args);

// Answers --help, --version and bad options before any display is opened, so that they work
// on a machine without one. Returns the exit code, or -1 when the window should run.
int answerWithoutWindow(const QStringList& args);

} // namespace app
