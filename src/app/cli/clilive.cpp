// qr512 live: one line per display frame.

#include "app/cli/clicommon.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <climits>

namespace app {

namespace {

QChar unitLetter(live::TempUnit unit) {
    switch (unit) {
    case live::TempUnit::Fahrenheit:
        return u'F';
    case live::TempUnit::Kelvin:
        return u'K';
    case live::TempUnit::Celsius:
        break;
    }
    return u'C';
}

QString liveLine(const live::LiveState& state) {
    const live::TempUnit unit = state.displayUnit();
    const int unitColumn = int(unit) * live::kChannels;
    QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    line += QStringLiteral("  type=%1 channels=%2 unit=%3")
                .arg(state.typeLetter().isNull() ? QChar(u'-') : state.typeLetter())
                .arg(state.channelCount())
                .arg(unitLetter(unit));
    const int channels = std::clamp(state.channelCount(), 0, live::kChannels);
    for (int c = 0; c < channels; ++c)
        line += QStringLiteral(" T%1=%2").arg(c + 1).arg(state.readingText()[unitColumn + c]);
    line += QStringLiteral(" memory=%1").arg(state.memoryCount());
    return line;
}

} // namespace

int runLive(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints one line per display frame of the meter: time, type, channel "
                       "count, unit, the readings of the present channels, memory count."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("count"),
                      QStringLiteral("Stop after N frames (default: until Ctrl+C)."),
                      QStringLiteral("N")});
    if (const auto done = parseSubcommand(parser, args, QStringLiteral("live")))
        return *done;
    Common common;
    QString error;
    std::optional<int> count;
    if (parser.isSet(QStringLiteral("count"))) {
        count = positiveInt(parser, QStringLiteral("count"), 1, INT_MAX, &error);
        if (!count) {
            printErr(QStringLiteral("qr512 live: ") + error);
            return kUsage;
        }
    }
    if (!parseCommon(parser, &common, &error)) {
        printErr(QStringLiteral("qr512 live: ") + error);
        return kUsage;
    }
    Connection connection;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 live: ") + error);
        return kFailure;
    }
    int printed = 0;
    return runConnected(
        app, connection, common,
        [&] {
            printOut(liveLine(connection.state()));
            if (count && ++printed >= *count)
                app.quit();
        },
        [&] { app.quit(); }, [&] { app.quit(); });
}

} // namespace app
