// qr512 live: one line per display frame.

#include "app/cli/cliformat.h"
#include "app/cli/clisubcommand.h"
#include "live/readout.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>

#include <algorithm>
#include <climits>

namespace app {

namespace {

QString liveLine(const live::LiveState& state) {
    const live::TempUnit unit = state.displayUnit();
    const int unitColumn = int(unit) * live::kChannels;
    QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    line += QStringLiteral("  type=%1 channels=%2 unit=%3")
                .arg(state.typeLetter().isNull() ? QChar(u'-') : state.typeLetter())
                .arg(state.channelCount())
                .arg(QChar::fromLatin1(live::unitLetter(unit)));
    const int channels = std::clamp(state.channelCount(), 0, live::kChannels);
    for (int c = 0; c < channels; ++c)
        line += QStringLiteral(" T%1=%2").arg(c + 1).arg(state.readingText()[unitColumn + c]);
    line += QStringLiteral(" memory=%1").arg(state.memoryCount());
    return line;
}

// The readings of every frame until --count of them or a signal, or until the meter is lost.
class LiveCommand : public Subcommand {
public:
    LiveCommand()
        : Subcommand(QStringLiteral("live"), Needs::Meter,
                     QStringLiteral("Prints one line per display frame of the meter: time, type, "
                                    "channel count, unit, the readings of the present channels, "
                                    "memory count."),
                     {formatOption(QStringLiteral("the line described above")),
                      {QStringLiteral("count"),
                       QStringLiteral("Stop after N frames (default: until Ctrl+C)."),
                       QStringLiteral("N")}}) {
        setTimeoutMeaning(QStringLiteral("the lines printed until then stand"));
    }

private:
    bool checkFirst(QString* error) override {
        const std::optional<dataout::Format> format = parseFormat(parser(), error);
        if (!format)
            return false;
        if (*format != dataout::Format::Text)
            m_rows.emplace(*format);
        if (!parser().isSet(QStringLiteral("count")))
            return true;
        m_count = positiveInt(parser(), QStringLiteral("count"), 1, INT_MAX, error);
        return m_count.has_value();
    }
    int execute() override {
        int printed = 0;
        return watchFrames(
            [&] {
                if (m_rows)
                    m_rows->printFrame(connection().state());
                else
                    printOut(liveLine(connection().state()));
                if (m_count && ++printed >= *m_count)
                    QCoreApplication::quit();
            },
            [] { QCoreApplication::quit(); }, [] { QCoreApplication::quit(); });
    }

    std::optional<int> m_count;
    std::optional<RowPrinter> m_rows; // csv or jsonl
};

} // namespace

int runLive(QCoreApplication& app, const QStringList& args) {
    return LiveCommand().run(app, args);
}

} // namespace app
