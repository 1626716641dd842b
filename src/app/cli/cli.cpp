#include "app/cli/cli.h"

#include "app/cli/clicommon.h"

#include <QCoreApplication>

namespace app {

namespace {

using Subcommand = int (*)(QCoreApplication&, const QStringList&);
struct Entry {
    const char* name;
    Subcommand run;
};
// One line per subcommand; each lives in its own file.
constexpr Entry kSubcommands[] = {
    {"live", runLive},
    {"record", runRecord},
    {"limits", runLimits},
    {"beep", runBeep},
};

Subcommand find(const QStringList& args) {
    if (args.size() < 2)
        return nullptr;
    for (const Entry& entry : kSubcommands)
        if (args.at(1) == QLatin1String(entry.name))
            return entry.run;
    return nullptr;
}

} // namespace

bool isCliCommand(const QStringList& args) {
    return find(args) != nullptr;
}

int runCli(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("qr512"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QR512_VERSION));
    if (!installSignalHandlers()) {
        printErr(QStringLiteral("qr512: cannot install the signal handlers"));
        return kFailure;
    }
    const QStringList args = QCoreApplication::arguments();
    return find(args)(app, args);
}

} // namespace app
