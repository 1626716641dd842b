#include "app/cli/cli.h"

#include "app/cli/clicommon.h"

#include <QCoreApplication>

namespace app {

bool isCliCommand(const QStringList& args) {
    return args.size() > 1 &&
           (args.at(1) == QLatin1String("live") || args.at(1) == QLatin1String("record"));
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
    if (args.at(1) == QLatin1String("live"))
        return runLive(app, args);
    return runRecord(app, args);
}

} // namespace app
