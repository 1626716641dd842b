#include "app/cli/clisubcommand.h"

#include "app/cli/cliframes.h"

#include <QCoreApplication>

namespace app {

Subcommand::Subcommand(QString name, Needs needs, QString description,
                       QList<QCommandLineOption> options, int arguments)
    : m_name(std::move(name))
    , m_needs(needs)
    , m_options(std::move(options))
    , m_arguments(arguments) {
    m_parser.setApplicationDescription(description);
}

void Subcommand::addArguments(QCommandLineParser&) {}

bool Subcommand::checkFirst(QString*) {
    return true;
}

bool Subcommand::check(QString*) {
    return true;
}

int Subcommand::run(QCoreApplication& app, const QStringList& args) {
    m_app = &app;
    if (!installSignalHandlers(m_needs == Needs::Meter)) {
        printErr(QStringLiteral("qr512: cannot install the signal handlers"));
        return kFailure;
    }
    return finishOutput(checkAndExecute(args));
}

// The name is taken out before parsing, so that a command whose options end at its first
// argument ("send") finds them before it; the help still shows it first.
std::optional<int> Subcommand::parse(const QStringList& args) {
    m_parser.addHelpOption();
    if (m_needs == Needs::Meter)
        m_parser.addOptions(commonOptions(m_timeoutMeaning));
    m_parser.addOptions(m_options);
    m_parser.addPositionalArgument(m_name, QStringLiteral("The command."));
    addArguments(m_parser);
    QStringList withoutName = args;
    if (withoutName.size() > 1)
        withoutName.removeAt(1);
    if (!m_parser.parse(withoutName))
        return usage(m_parser.errorText());
    if (m_parser.isSet(QStringLiteral("help"))) {
        printOut(helpText());
        return int(kDone);
    }
    if (const auto repeated = repeatedOption())
        return usage(QStringLiteral("%1 was given more than once; give it once").arg(*repeated));
    const QStringList positional = m_parser.positionalArguments();
    if (positional.size() > m_arguments)
        return usage(QStringLiteral("unexpected argument: %1").arg(positional.at(m_arguments)));
    return std::nullopt;
}

// The option given a second time, as typed then ("-o", "--count"); its names count as one, so
// "-o a --output b" is a repeat too.
std::optional<QString> Subcommand::repeatedOption() const {
    QList<QCommandLineOption> options = m_options;
    if (m_needs == Needs::Meter)
        options += commonOptions(m_timeoutMeaning);
    QStringList seen;
    for (const QString& name : m_parser.optionNames()) {
        QString first = name;
        for (const QCommandLineOption& option : options)
            if (option.names().contains(name))
                first = option.names().constLast();
        if (m_repeatable.contains(first))
            continue;
        if (seen.contains(first))
            return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        seen << first;
    }
    return std::nullopt;
}

// Qt's usage line names the executable as started (a full path) and the options before the
// command's name; a user types "qr512 NAME [options] ...".
QString Subcommand::helpText() const {
    QString text = m_parser.helpText();
    const QString marker = QStringLiteral(" [options] ") + m_name;
    const qsizetype at = text.indexOf(marker);
    const qsizetype lineEnd = text.indexOf(u'\n');
    if (at < 0 || at > lineEnd)
        return text;
    return QStringLiteral("Usage: qr512 %1 [options]").arg(m_name) + text.mid(at + marker.size());
}

int Subcommand::checkAndExecute(const QStringList& args) {
    if (const auto done = parse(args))
        return *done;
    QString error;
    if (!checkFirst(&error))
        return usage(error);
    if (m_needs == Needs::Meter && !parseCommon(m_parser, &m_common, &error))
        return usage(error);
    if (!check(&error))
        return usage(error);
    return m_needs == Needs::Meter ? connectAndExecute() : execute();
}

// The link is stopped before the output's last check, as the job's own objects are.
int Subcommand::connectAndExecute() {
    m_connection = std::make_unique<Connection>();
    QString error;
    int status = kFailure;
    if (m_connection->open(m_common, &error))
        status = execute();
    else
        say(error);
    m_connection.reset();
    return status;
}

void Subcommand::say(const QString& text) const {
    printErr(QStringLiteral("qr512 %1: %2").arg(m_name, text));
}

int Subcommand::usage(const QString& text) const {
    say(text);
    return kUsage;
}

int Subcommand::watchFrames(const std::function<void()>& onFrame,
                            const std::function<void()>& onSignal,
                            const std::function<void()>& onLost) {
    return runConnected(app(), connection(), m_common, onFrame, onSignal, onLost);
}

int Subcommand::runExchange(const MeterExchange& exchange) {
    return runMeterExchange(app(), connection(), m_common, exchange);
}

int Subcommand::runJob(session::Exchange::Work work, const std::function<int()>& report,
                       const Unfinished& texts) {
    MeterExchange exchange;
    exchange.prepare = [&work](int*) { return work; };
    exchange.finish = [&](session::Exchange::End end, const QString& error) {
        if (const auto status = unfinished(end, error, texts))
            return *status;
        return report();
    };
    return runExchange(exchange);
}

std::optional<int> Subcommand::unfinished(session::Exchange::End end, const QString& error,
                                          const Unfinished& texts) const {
    switch (end) {
    case session::Exchange::End::Done:
        return std::nullopt;
    case session::Exchange::End::Cancelled:
        say(texts.cancelled);
        return kFailure;
    case session::Exchange::End::Superseded:
        say(texts.lost);
        return kNoMeter;
    case session::Exchange::End::Failed:
        say(error);
        return kFailure;
    }
    return kFailure;
}

} // namespace app
