#include "app/cli/cli.h"

#include "app/cli/clisubcommand.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <memory>

namespace app {

namespace {

struct Entry {
    const char* name;
    int (*run)(QCoreApplication&, const QStringList&);
    // Draws pictures: text and images need a GUI application, run offscreen (no display).
    bool draws = false;
};
// One line per subcommand; each lives in its own file.
constexpr Entry kSubcommands[] = {
    {"live", runLive},         {"record", runRecord},     {"limits", runLimits},
    {"beep", runBeep},         {"plot", runPlot, true},   {"clock", runClock},
    {"send", runSend},         {"download", runDownload}, {"erase", runErase},
    {"interval", runInterval}, {"export", runExport},
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
    return entry->run(app, QCoreApplication::arguments());
}

} // namespace app
