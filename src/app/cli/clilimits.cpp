// qr512 limits: prints the meter's alarm limits as the alarm panel shows them, or changes some
// of them under the panel's rules.

#include "app/cli/cliexchange.h"
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

} // namespace

int runLimits(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the meter's eight alarm limits in the unit it displays, one per "
                       "line (T1H, T1L, ... T4L), then the unit. With --set, changes the named "
                       "limits, checks all eight against the thermocouple type's range and "
                       "writes them to the meter (exit status 2 when out of range)."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("set"),
                      QStringLiteral("Change one limit, for example T1H=150 (repeatable)."),
                      QStringLiteral("NAME=VALUE")});
    const QString command = QStringLiteral("limits");
    if (const auto done = parseSubcommand(parser, args, command))
        return *done;
    Common common;
    QString error;
    Replacements replacements;
    const bool writing = parser.isSet(QStringLiteral("set"));
    if (!parseSet(parser.values(QStringLiteral("set")), &replacements, &error) ||
        !parseCommon(parser, &common, &error)) {
        printErr(QStringLiteral("qr512 limits: ") + error);
        return kUsage;
    }
    Connection connection;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 limits: ") + error);
        return kFailure;
    }

    auto outcome = std::make_shared<Outcome>();
    live::TempUnit unit = live::TempUnit::Celsius;
    MeterExchange exchange;
    exchange.prepare = [&](int* status) -> session::Exchange::Work {
        const live::LiveState& state = connection.state();
        const std::optional<live::TempUnit> shown = settings::shownUnit(state.display());
        if (!shown) {
            printErr(QStringLiteral("qr512 limits: the meter's display shows no unit, so its "
                                    "limits cannot be given in one"));
            *status = kFailure;
            return {};
        }
        unit = *shown;
        const QChar type = state.typeLetter();
        const int channels = state.channelCount();
        return [=](session::Exchange::Job& job) {
            const std::optional<settings::LimitWords> words = settings::readLimits(job.session);
            if (!words)
                return;
            outcome->read = true;
            outcome->texts = settings::limitTexts(*words, unit, type, channels);
            if (!writing)
                return;
            for (int i = 0; i < settings::kLimitCount; ++i)
                if (replacements[i])
                    outcome->texts[i] = settings::limitText(*replacements[i]);
            const settings::LimitValues values = settings::readLimitTexts(outcome->texts);
            outcome->refusal = settings::limitsRefusal(values, type, unit);
            if (!outcome->refusal)
                settings::writeLimits(job.session, settings::limitPayload(values, unit));
        };
    };
    exchange.finish = [&](session::Exchange::End end, const QString& failure) {
        switch (end) {
        case session::Exchange::End::Done:
            break;
        case session::Exchange::End::Superseded:
            printErr(QStringLiteral("qr512 limits: the meter was lost during the exchange"));
            return int(kNoMeter);
        case session::Exchange::End::Cancelled:
            printErr(QStringLiteral("qr512 limits: interrupted"));
            return int(kFailure);
        case session::Exchange::End::Failed:
            printErr(QStringLiteral("qr512 limits: ") + failure);
            return int(kFailure);
        }
        if (!outcome->read) {
            printErr(QStringLiteral("qr512 limits: the meter did not answer the request for its "
                                    "alarm limits"));
            return int(kFailure);
        }
        if (outcome->refusal) {
            printErr(QStringLiteral("qr512 limits: ") + *outcome->refusal);
            return int(kUsage);
        }
        for (int i = 0; i < settings::kLimitCount; ++i)
            printOut(settings::limitName(i) + u' ' + outcome->texts[i]);
        printOut(QStringLiteral("unit ") + QStringLiteral("CFK").at(int(unit)));
        return int(kDone);
    };
    return runMeterExchange(app, connection, common, exchange);
}

} // namespace app
