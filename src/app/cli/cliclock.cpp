// qr512 clock: the meter's clock, read or set to the PC's. qr512 send: the byte panel.

#include "app/cli/clisubcommand.h"
#include "memory/bytepanel.h"
#include "settings/meterclock.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>

#include <memory>
#include <optional>

namespace app {

namespace {

const Subcommand::Unfinished kUnfinished = {QStringLiteral("cancelled"),
                                            QStringLiteral("the meter stopped answering")};

class ClockCommand : public Subcommand {
public:
    ClockCommand()
        : Subcommand(QStringLiteral("clock"), Needs::Meter,
                     QStringLiteral("Prints the meter's clock as 20YY/MM/DD hh:nn:ss. With --set, "
                                    "sets it to the PC's clock instead and prints what was "
                                    "sent."),
                     {{QStringLiteral("set"),
                       QStringLiteral("Set the meter's clock to the PC's date and time.")}}) {
        setTimeoutMeaning(QStringLiteral("the clock is neither printed nor set then"));
    }

private:
    int execute() override {
        return parser().isSet(QStringLiteral("set")) ? setClock() : readClock();
    }
    int setClock() {
        auto moment = std::make_shared<QDateTime>();
        const auto now = [moment] { return *moment = QDateTime::currentDateTime(); };
        return runJob(
            [bytes = m_bytes, now](session::Exchange::Job& job) {
                *bytes = settings::writeMeterClock(job.session, now);
            },
            [bytes = m_bytes, moment] {
                printOut(QStringLiteral("sent %1 (%2)")
                             .arg(settings::clockWriteText(**bytes),
                                  moment->toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"))));
                return int(kDone);
            },
            kUnfinished);
    }
    int readClock() {
        return runJob(
            [bytes = m_bytes](session::Exchange::Job& job) {
                *bytes = settings::readMeterClock(job.session);
            },
            [this] {
                if (!*m_bytes) {
                    say(QStringLiteral("the meter did not answer the request for its clock"));
                    return int(kFailure);
                }
                printOut(QStringLiteral("20") + settings::meterTimeText(**m_bytes));
                return int(kDone);
            },
            kUnfinished);
    }

    // Written by the job on the link thread, read once it ended.
    std::shared_ptr<std::optional<settings::MeterClockBcd>> m_bytes =
        std::make_shared<std::optional<settings::MeterClockBcd>>();
};

class SendCommand : public Subcommand {
public:
    SendCommand()
        : Subcommand(
              QStringLiteral("send"), Needs::Meter,
              QStringLiteral("Sends TEXT unchanged, then up to 16 BYTE values in one write (2 ms "
                             "later), and prints every byte that arrives within 20 ms as two "
                             "hexadecimal digits and two blanks. A BYTE is read as a number "
                             "(\"12abc\" is 12, halves go to the even neighbour, \"&H1F\" and "
                             "\"0x1F\" are hexadecimal); values stop at the first empty BYTE. "
                             "Options go before TEXT."),
              {}, kAnyNumber) {
        setTimeoutMeaning(QStringLiteral("nothing is sent when no meter answered"));
    }

private:
    void addArguments(QCommandLineParser& parser) override {
        parser.addPositionalArgument(QStringLiteral("TEXT"), QStringLiteral("The command text."));
        parser.addPositionalArgument(QStringLiteral("BYTE"), QStringLiteral("Values 0 to 255."),
                                     QStringLiteral("[BYTE...]"));
        // Everything after TEXT is a value, so that "-1" is refused as a value, not as an
        // option.
        parser.setOptionsAfterPositionalArgumentsMode(
            QCommandLineParser::ParseAsPositionalArguments);
    }
    bool checkFirst(QString* error) override {
        QStringList values = parser().positionalArguments();
        if (values.isEmpty())
            return refuse(error, QStringLiteral("TEXT is missing"));
        const QString text = values.takeFirst();
        for (const QString& value : values)
            if (value.startsWith(QStringLiteral("--")))
                return refuse(error, QStringLiteral("%1: options go before TEXT").arg(value));
        m_request = memory::parseByteRequest(text, values);
        if (!m_request.error.isEmpty())
            return refuse(error, m_request.error);
        if (m_request.command.isEmpty())
            return refuse(error, QStringLiteral("TEXT is empty: nothing to send"));
        return true;
    }
    int execute() override {
        auto reply = std::make_shared<QByteArray>();
        return runJob(
            [reply, request = m_request](session::Exchange::Job& job) {
                *reply = memory::exchangeBytes(job.session, request.command, request.payload);
            },
            [reply] {
                printOut(memory::replyText(*reply));
                return int(kDone);
            },
            kUnfinished);
    }

    memory::ByteRequest m_request;
};

} // namespace

int runClock(QCoreApplication& app, const QStringList& args) {
    return ClockCommand().run(app, args);
}

int runSend(QCoreApplication& app, const QStringList& args) {
    return SendCommand().run(app, args);
}

} // namespace app
