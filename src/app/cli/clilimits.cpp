// qr512 limits: prints the meter's alarm limits as the alarm panel shows them, or changes some
// of them under the panel's rules.

#include "app/cli/clisubcommand.h"
#include "base/numbers.h"
#include "settings/alarmlimits.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cmath>
#include <memory>

namespace app {

namespace {

using Replacements = std::array<std::optional<double>, settings::kLimitCount>;

// "T1H=25.5" (names in any case). The value must be a number as a whole: on a command line a
// typo such as "1OO" is an error, not the 1 the panel's boxes would read.
bool parseSet(const QStringList& items, Replacements* out, QString* error) {
    for (const QString& item : items) {
        const qsizetype eq = item.indexOf(u'=');
        const QString name = item.left(eq).trimmed().toUpper();
        int index = -1;
        for (int i = 0; i < settings::kLimitCount; ++i)
            if (name == settings::limitName(i))
                index = i;
        const std::optional<double> value =
            eq < 0 ? std::nullopt : base::parseNumber(item.mid(eq + 1));
        if (index < 0 || !value || !std::isfinite(*value)) {
            *error = QStringLiteral("--set: \"%1\" is not NAME=VALUE with NAME one of T1H, T1L, "
                                    "T2H, T2L, T3H, T3L, T4H, T4L and VALUE a number")
                         .arg(item);
            return false;
        }
        (*out)[index] = *value;
    }
    return true;
}

// What the job found, for the main thread.
struct Outcome {
    bool read = false;
    settings::LimitTexts texts;
    std::optional<QString> refusal;
};

// Reads the limits and, when some are replaced, checks all eight and writes them: on the link
// thread, so everything it needs is copied in.
void exchangeLimits(session::Exchange::Job& job, Outcome& outcome,
                    const std::optional<Replacements>& replacements, live::TempUnit unit,
                    QChar type, int channels) {
    const std::optional<settings::LimitWords> words = settings::readLimits(job.session);
    if (!words)
        return;
    outcome.read = true;
    outcome.texts = settings::limitTexts(*words, unit, type, channels);
    if (!replacements)
        return;
    for (int i = 0; i < settings::kLimitCount; ++i)
        if ((*replacements)[i])
            outcome.texts[i] = settings::limitText(*(*replacements)[i]);
    const settings::LimitValues values = settings::readLimitTexts(outcome.texts);
    outcome.refusal = settings::limitsRefusal(values, type, unit);
    if (!outcome.refusal)
        settings::writeLimits(job.session, settings::limitPayload(values, unit));
}

class LimitsCommand : public Subcommand {
public:
    LimitsCommand()
        : Subcommand(
              QStringLiteral("limits"), Needs::Meter,
              QStringLiteral("Prints the meter's eight alarm limits in the unit it displays, one "
                             "per line (T1H, T1L, ... T4L), then the unit. With --set, changes "
                             "the named limits, checks all eight against the thermocouple type's "
                             "range and writes them to the meter (exit status 2 when out of "
                             "range)."),
              {{QStringLiteral("set"),
                QStringLiteral("Change one limit, for example T1H=150 (repeatable)."),
                QStringLiteral("NAME=VALUE")}}) {
        allowRepeats(QStringLiteral("set"));
        setTimeoutMeaning(QStringLiteral("no limit is written then"));
    }

private:
    bool checkFirst(QString* error) override {
        Replacements replacements;
        if (!parseSet(parser().values(QStringLiteral("set")), &replacements, error))
            return false;
        if (parser().isSet(QStringLiteral("set")))
            m_replacements = replacements;
        return true;
    }
    int execute() override {
        MeterExchange exchange;
        exchange.prepare = [this](int* status) { return prepare(status); };
        exchange.finish = [this](session::Exchange::End end, const QString& failure) {
            if (const auto status =
                    unfinished(end, failure,
                               {QStringLiteral("interrupted"),
                                QStringLiteral("the meter was lost during the exchange")}))
                return *status;
            return report();
        };
        return runExchange(exchange);
    }
    session::Exchange::Work prepare(int* status);
    int report() const;

    std::optional<Replacements> m_replacements; // with --set only
    std::shared_ptr<Outcome> m_outcome = std::make_shared<Outcome>();
    live::TempUnit m_unit = live::TempUnit::Celsius;
};

session::Exchange::Work LimitsCommand::prepare(int* status) {
    const live::LiveState& state = connection().state();
    const std::optional<live::TempUnit> shown = settings::shownUnit(state.display());
    if (!shown) {
        say(QStringLiteral("the meter's display shows no unit, so its limits cannot be given "
                           "in one"));
        *status = kFailure;
        return {};
    }
    m_unit = *shown;
    return
        [outcome = m_outcome, replacements = m_replacements, unit = m_unit,
         type = state.typeLetter(), channels = state.channelCount()](session::Exchange::Job& job) {
            exchangeLimits(job, *outcome, replacements, unit, type, channels);
        };
}

int LimitsCommand::report() const {
    if (!m_outcome->read) {
        say(QStringLiteral("the meter did not answer the request for its alarm limits"));
        return kFailure;
    }
    if (m_outcome->refusal)
        return usage(*m_outcome->refusal);
    for (int i = 0; i < settings::kLimitCount; ++i)
        printOut(settings::limitName(i) + u' ' + m_outcome->texts[i]);
    printOut(QStringLiteral("unit ") + QStringLiteral("CFK").at(int(m_unit)));
    return kDone;
}

} // namespace

int runLimits(QCoreApplication& app, const QStringList& args) {
    return LimitsCommand().run(app, args);
}

} // namespace app
