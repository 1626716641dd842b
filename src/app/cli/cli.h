#pragma once

#include <QStringList>

namespace app {

// The headless subcommands ("live", "record", "plot"): the same link, poll, decoding and recording
// as the window, under QCoreApplication, for machines without a screen and for scripts.
bool isCliCommand(const QStringList& args);
// Exit status: 0 done, 2 usage error, 3 no meter answered within --timeout, 1 other failure.
int runCli(int argc, char** argv);

} // namespace app
