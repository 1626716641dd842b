// qr512 interval: the meter's own sampling interval, read with "K" or written with "F" under
// the rules of the sampling panel's meter box.

#include "app/cli/clisubcommand.h"
#include "settings/sampling.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <memory>
#include <optional>

namespace app {

namespace {

const Subcommand::Unfinished kUnfinished = {QStringLiteral("cancelled"),
                                            QStringLiteral("the meter stopped answering")};

class IntervalCommand : public Subcommand {
public:
    IntervalCommand()
        : Subcommand(QStringLiteral("interval"), Needs::Meter,
                     QStringLiteral("Prints the meter's own sampling interval in seconds (the "
                                    "interval of its memory records). With --set, writes a new "
                                    "one instead and prints the bytes sent."),
                     {{QStringLiteral("set"),
                       QStringLiteral("The new interval, 1 to 86400 seconds, rounded to whole "
                                      "seconds (halves to the even neighbour)."),
                       QStringLiteral("SECONDS")}}) {
        setTimeoutMeaning(QStringLiteral("nothing is written then"));
    }

private:
    bool checkFirst(QString* error) override {
        if (!parser().isSet(QStringLiteral("set")))
            return true;
        const settings::IntervalArgument given =
            settings::parseIntervalArgument(parser().value(QStringLiteral("set")));
        if (!given.refusal.isEmpty())
            return refuse(error, given.refusal);
        m_seconds = given.seconds;
        return true;
    }
    int execute() override { return m_seconds ? writeInterval(*m_seconds) : readInterval(); }
    int writeInterval(int seconds) {
        return runJob(
            [seconds](session::Exchange::Job& job) {
                settings::writeMeterInterval(job.session, seconds);
            },
            [seconds] {
                printOut(QStringLiteral("sent %1 (%2)")
                             .arg(settings::intervalWriteText(seconds),
                                  countText(seconds, "second", "seconds")));
                return int(kDone);
            },
            kUnfinished);
    }
    int readInterval() {
        auto seconds = std::make_shared<std::optional<int>>();
        return runJob(
            [seconds](session::Exchange::Job& job) {
                *seconds = settings::readMeterInterval(job.session);
            },
            [this, seconds] {
                if (!*seconds) {
                    say(QStringLiteral("the meter did not answer the request for its sampling "
                                       "interval"));
                    return int(kFailure);
                }
                printOut(QString::number(**seconds));
                return int(kDone);
            },
            kUnfinished);
    }

    std::optional<int> m_seconds; // with --set only
};

} // namespace

int runInterval(QCoreApplication& app, const QStringList& args) {
    return IntervalCommand().run(app, args);
}

} // namespace app
