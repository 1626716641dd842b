#pragma once

#include "app/cli/clicommon.h"
#include "app/cli/cliexchange.h"

#include <QCommandLineParser>

#include <climits>
#include <functional>
#include <memory>
#include <optional>

class QCoreApplication;

namespace app {

// The frame every headless subcommand runs in: its parser with the help and, for one that
// talks to the meter, the common options (port, time-out); "qr512 NAME: ..." usage errors with
// status 2; the signal rules; the connection; the output's last check. A subcommand brings its
// options, its checks, its job and its printing.
class Subcommand {
public:
    enum class Needs {
        // It ends by itself (it draws or beeps): no common options, the first signal stops it.
        Nothing,
        // The common options and a connection; its event loop is handed every first signal.
        Meter,
    };
    // What a command says when its job did not run to its end.
    struct Unfinished {
        QString cancelled;
        QString lost;
    };

    virtual ~Subcommand() = default;
    Subcommand(const Subcommand&) = delete;
    Subcommand& operator=(const Subcommand&) = delete;

    // The exit status.
    int run(QCoreApplication& app, const QStringList& args);

protected:
    static constexpr int kAnyNumber = INT_MAX;
    // `options` come after the help and the common ones; `arguments` is how many positional
    // arguments may follow the command's name.
    Subcommand(QString name, Needs needs, QString description,
               QList<QCommandLineOption> options = {}, int arguments = 0);

    // What giving up after --timeout means for this command, for its help ("nothing is sent
    // then"); called in the constructor of every command that needs the meter.
    void setTimeoutMeaning(QString text) { m_timeoutMeaning = std::move(text); }
    // An option that may be given more than once (its values are all taken); every other one
    // given twice is a usage error, not a silent choice of the last. --port always repeats.
    void allowRepeats(const QString& name) { m_repeatable << name; }

    // Its positional arguments and their rules, shown after its name.
    virtual void addArguments(QCommandLineParser& parser);
    // Its own checks, before the common options' (when both are wrong, its message is the one
    // shown) or after them. A check that fails sets `*error`: a usage error, status 2.
    virtual bool checkFirst(QString* error);
    virtual bool check(QString* error);
    // Runs once every check passed (and the meter's link is open, if it needs one): the
    // exit status.
    virtual int execute() = 0;

    // For the checks: `*error` is `text`, and the check fails.
    static bool refuse(QString* error, const QString& text) {
        *error = text;
        return false;
    }
    // "qr512 NAME: text" on standard error.
    void say(const QString& text) const;
    // say(), then the usage error's status.
    int usage(const QString& text) const;

    QCoreApplication& app() const { return *m_app; }
    const QCommandLineParser& parser() const { return m_parser; }
    Connection& connection() const { return *m_connection; }

    // runConnected() on this command's link.
    int watchFrames(const std::function<void()>& onFrame, const std::function<void()>& onSignal,
                    const std::function<void()>& onLost);
    // runMeterExchange() on this command's link.
    int runExchange(const MeterExchange& exchange);
    // A job known before the first frame; `report` prints what it found once it ran to its
    // end, and gives the status.
    int runJob(session::Exchange::Work work, const std::function<int()>& report,
               const Unfinished& texts);
    // The status of a job that did not run to its end, after saying why; nothing when it did.
    std::optional<int> unfinished(session::Exchange::End end, const QString& error,
                                  const Unfinished& texts) const;

private:
    std::optional<int> parse(const QStringList& args);
    std::optional<QString> repeatedOption() const;
    QString helpText() const;
    int checkAndExecute(const QStringList& args);
    int connectAndExecute();

    QString m_name;
    Needs m_needs;
    QList<QCommandLineOption> m_options;
    int m_arguments;
    QString m_timeoutMeaning = QStringLiteral("the command then ends");
    QStringList m_repeatable{QStringLiteral("port")};
    QCommandLineParser m_parser;
    QCoreApplication* m_app = nullptr;
    Common m_common;
    std::unique_ptr<Connection> m_connection;
};

// The subcommands, one file each.
int runLive(QCoreApplication& app, const QStringList& args);
int runRecord(QCoreApplication& app, const QStringList& args);
int runLimits(QCoreApplication& app, const QStringList& args);
int runBeep(QCoreApplication& app, const QStringList& args);
// Runs under a QGuiApplication (offscreen): it draws text.
int runPlot(QCoreApplication& app, const QStringList& args);
int runExport(QCoreApplication& app, const QStringList& args);
int runClock(QCoreApplication& app, const QStringList& args);
int runSend(QCoreApplication& app, const QStringList& args);
int runDownload(QCoreApplication& app, const QStringList& args);
int runErase(QCoreApplication& app, const QStringList& args);
int runInterval(QCoreApplication& app, const QStringList& args);

} // namespace app
