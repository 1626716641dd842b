#include "app/cli/cli.h"

#include "app/cli/clicommon.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

namespace app {

namespace {

using Subcommand = int (*)(QCoreApplication&, const QStringList&);
struct Entry {
    const char* name;
    Subcommand run;
    // Draws pictures: text and images need a GUI application, run offscreen (no display).
    bool draws = false;
    // Watches for SIGINT/SIGTERM in its event loop; the others end by themselves and stop at
    // the first signal.
    bool watchesSignals = true;
};
// One line per subcommand; each lives in its own file.
constexpr Entry kSubcommands[] = {
    {"live", runLive},
    {"record", runRecord},
    {"limits", runLimits},
    {"beep", runBeep, false, false},
    {"plot", runPlot, true, false},
    {"clock", runClock},
    {"send", runSend},
    {"download", runDownload},
    {"erase", runErase},
};

const Entry* find(const QString& name) {
    for (const Entry& entry : kSubcommands)
        if (name == QLatin1String(entry.name))
            return &entry;
    return nullptr;
}

} // namespace

bool isCliCommand(const QStringList& args) {
    return args.size() > 1 && find(args.at(1)) != nullptr;
}

int runCli(int argc, char** argv) {
    const Entry* entry = argc > 1 ? find(QString::fromLocal8Bit(argv[1])) : nullptr;
    if (!entry)
        return kUsage;
    std::unique_ptr<QCoreApplication> application;
    if (entry->draws) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("qr512"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QR512_VERSION));
    if (!installSignalHandlers(entry->watchesSignals)) {
        printErr(QStringLiteral("qr512: cannot install the signal handlers"));
        return kFailure;
    }
    const QStringList args = QCoreApplication::arguments();
    return finishOutput(entry->run(app, args));
}

} // namespace app
