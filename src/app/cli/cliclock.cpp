// qr512 clock: the meter's clock, read or set to the PC's. qr512 send: the byte panel.

#include "app/cli/cliexchange.h"
#include "memory/bytepanel.h"
#include "settings/meterclock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>

#include <memory>
#include <optional>

namespace app {

namespace {

// The end of the exchange as an exit status, when it did not run to its end.
std::optional<int> unfinished(const QString& name, session::Exchange::End end,
                              const QString& error) {
    switch (end) {
    case session::Exchange::End::Done:
        return std::nullopt;
    case session::Exchange::End::Cancelled:
        printErr(QStringLiteral("qr512 %1: cancelled").arg(name));
        return kFailure;
    case session::Exchange::End::Superseded:
        printErr(QStringLiteral("qr512 %1: the meter stopped answering").arg(name));
        return kNoMeter;
    case session::Exchange::End::Failed:
        printErr(QStringLiteral("qr512 %1: %2").arg(name, error));
        return kFailure;
    }
    return kFailure;
}

// Connects and runs the job after the first frame; `report` prints its result.
int runJob(QCoreApplication& app, const Common& common, const QString& name,
           session::Exchange::Work work, const std::function<int()>& report) {
    Connection connection;
    QString error;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 %1: %2").arg(name, error));
        return kFailure;
    }
    MeterExchange exchange;
    exchange.prepare = [&work](int*) { return work; };
    exchange.finish = [&](session::Exchange::End end, const QString& failure) {
        if (const auto status = unfinished(name, end, failure))
            return *status;
        return report();
    };
    return runMeterExchange(app, connection, common, exchange);
}

} // namespace

int runClock(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Prints the meter's clock as 20YY/MM/DD hh:nn:ss. With --set, sets it "
                       "to the PC's clock instead and prints what was sent."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("set"),
                      QStringLiteral("Set the meter's clock to the PC's date and time.")});
    if (const auto done = parseSubcommand(parser, args, QStringLiteral("clock")))
        return *done;
    Common common;
    QString error;
    if (!parseCommon(parser, &common, &error)) {
        printErr(QStringLiteral("qr512 clock: ") + error);
        return kUsage;
    }
    const QString name = QStringLiteral("clock");
    auto bytes = std::make_shared<std::optional<settings::MeterClockBcd>>();
    if (parser.isSet(QStringLiteral("set"))) {
        auto moment = std::make_shared<QDateTime>();
        const auto now = [moment] { return *moment = QDateTime::currentDateTime(); };
        return runJob(
            app, common, name,
            [bytes, now](session::Exchange::Job& job) {
                *bytes = settings::writeMeterClock(job.session, now);
            },
            [bytes, moment] {
                printOut(QStringLiteral("sent %1 (%2)")
                             .arg(settings::clockWriteText(**bytes),
                                  moment->toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))));
                return int(kDone);
            });
    }
    return runJob(
        app, common, name,
        [bytes](session::Exchange::Job& job) { *bytes = settings::readMeterClock(job.session); },
        [bytes] {
            if (!*bytes) {
                printErr(QStringLiteral("qr512 clock: the meter did not answer the request for "
                                        "its clock"));
                return int(kFailure);
            }
            printOut(QStringLiteral("20") + settings::meterTimeText(**bytes));
            return int(kDone);
        });
}

int runSend(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Sends TEXT unchanged, then up to 16 BYTE values in one write (2 ms "
                       "later), and prints every byte that arrives within 20 ms as two "
                       "hexadecimal digits and two blanks. A BYTE is read as a number (\"12abc\" "
                       "is 12, halves go to the even neighbour, \"&H1F\" and \"0x1F\" are "
                       "hexadecimal); values stop at the first empty BYTE. Options go before "
                       "TEXT."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addPositionalArgument(QStringLiteral("send"), QStringLiteral("The command."));
    parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The command text."));
    parser.addPositionalArgument(QStringLiteral("BYTE"), QStringLiteral("Values 0 to 255."),
                                 QStringLiteral("[BYTE...]"));
    // Everything after TEXT is a value, so that "-1" is refused as a value, not as an option.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    const auto usage = [](const QString& text) {
        printErr(QStringLiteral("qr512 send: ") + text);
        return int(kUsage);
    };
    QStringList withoutName = args;
    withoutName.removeAt(1);
    if (!parser.parse(withoutName))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        printOut(parser.helpText());
        return kDone;
    }
    QStringList values = parser.positionalArguments();
    if (values.isEmpty())
        return usage(QStringLiteral("TEXT is missing"));
    const QString text = values.takeFirst();
    for (const QString& value : values)
        if (value.startsWith(QStringLiteral("--")))
            return usage(QStringLiteral("%1: options go before TEXT").arg(value));
    const memory::ByteRequest request = memory::parseByteRequest(text, values);
    if (!request.error.isEmpty())
        return usage(request.error);
    if (request.command.isEmpty())
        return usage(QStringLiteral("TEXT is empty: nothing to send"));
    Common common;
    QString error;
    if (!parseCommon(parser, &common, &error))
        return usage(error);
    auto reply = std::make_shared<QByteArray>();
    return runJob(
        app, common, QStringLiteral("send"),
        [reply, request](session::Exchange::Job& job) {
            *reply = memory::exchangeBytes(job.session, request.command, request.payload);
        },
        [reply] {
            printOut(memory::replyText(*reply));
            return int(kDone);
        });
}

} // namespace app
