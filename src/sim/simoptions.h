#pragma once

#include "sim/virtualmeter.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace sim {

// The command line of qr512-sim, turned into a meter and its faults.
struct SimOptions {
    MeterConfig config;
    Faults faults;
    bool helpRequested = false;
    // A symbolic link made to the pseudo-terminal (replaced if it exists), so that a meter
    // started again is found under the same name.
    QString linkPath;
    // Silent for silentFor seconds from silentAfter seconds after the start (< 0: never).
    double silentAfter = -1;
    double silentFor = 0;
};

// Declares every option on the parser (including --help).
void addSimOptions(QCommandLineParser& parser);
// Parses args (args[0] is the program name). On a bad option or value returns false and puts
// a message naming the option into *error.
bool parseSimOptions(QCommandLineParser& parser, const QStringList& args, SimOptions* options,
                     QString* error);

} // namespace sim
