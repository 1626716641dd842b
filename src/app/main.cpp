// qr512: the meter's companion program.

#include "app/cli/cli.h"
#include "app/cli/clicommon.h"
#include "app/window/runwindow.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char* argv[]) {
    // The headless commands never touch a display, so they run where there is none.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (app::isCliCommand(args))
        return app::runCli(argc, argv);

    // Help and version are output like any subcommand's: one that cannot be written fails.
    if (const int rc = app::answerWithoutWindow(args); rc >= 0)
        return app::finishOutput(rc);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qr512"));
    QApplication::setApplicationVersion(QStringLiteral(QR512_VERSION));
    // No display name: the window system would append it to every title, doubling the main
    // window's ("QR512 Thermometer 0.1.0 — QR512") and cutting narrow dialogs' short.
    // Ties the window to its menu entry and icon once installed (no icon from the build folder).
    QApplication::setDesktopFileName(QStringLiteral("qr512"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("qr512")));
    return app::runWindow(app, QApplication::arguments());
}
