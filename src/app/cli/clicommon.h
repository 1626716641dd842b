#pragma once

#include "live/livepoll.h"
#include "serial/linkthread.h"
#include "session/simulation.h"

#include <QCommandLineOption>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QCommandLineParser;

namespace app {

// What every headless subcommand shares: exit statuses, output, signal handling, the common
// options and the connection to the meter.

enum Exit { kDone = 0, kFailure = 1, kUsage = 2, kNoMeter = 3 };

void printErr(const QString& text);
// A line on standard output. The first that cannot be written ends the event loop (status 1).
void printOut(const QString& text);
// Bytes on standard output as they are (a long export), under the same rule; false once the
// output failed.
bool writeOut(QByteArrayView bytes);
// The command's status, unless its output did not all reach standard output: then a message
// with the system's reason and status 1.
int finishOutput(int status);

// SIGINT and SIGTERM: the first one is handed to the event loop (a base::SignalWatcher there),
// a second one ends the program at once with status 130. Without `handOver` (a command that
// watches for none) the first one ends it at once, with a message.
bool installSignalHandlers(bool handOver);

struct Common {
    QStringList ports;
    bool simulate = false;
    qint64 timeoutMs = 30000;
};

// --port, --simulate and --timeout; `timeoutMeaning` says what giving up means for the command.
QList<QCommandLineOption> commonOptions(const QString& timeoutMeaning);
bool parseCommon(const QCommandLineParser& parser, Common* common, QString* error);
// --unit: C, F or K (any case); nothing, with the usage error, for another letter.
std::optional<live::TempUnit> parseUnit(const QCommandLineParser& parser, QString* error);
// -o names a file the program may write over (no device, FIFO, folder or link); false, with
// the usage error, otherwise.
bool writableOutput(const QString& path, QString* error);
std::optional<int> positiveInt(const QCommandLineParser& parser, const QString& name, int minimum,
                               int maximum, QString* error);
// A duration given in seconds ("2", "0.5"), in milliseconds; a text that is no number or is out
// of range gives nothing and says why.
std::optional<qint64> durationMs(const QCommandLineParser& parser, const QString& name,
                                 qint64 minimumMs, qint64 maximumMs, QString* error);
// Milliseconds as the seconds the user typed: "2", "0.5".
QString secondsText(qint64 ms);
// "1 second", "0.5 seconds".
QString durationText(qint64 ms);
// "1 row", "3 rows".
QString countText(qint64 count, const char* one, const char* many);

// The link thread, the live state and the optional virtual meter of one headless run.
class Connection {
public:
    bool open(const Common& common, QString* error);
    ~Connection();
    serial::LinkThread& thread() { return *m_thread; }
    live::LiveState& state() { return m_state; }

private:
    std::unique_ptr<session::Simulation> m_sim;
    std::unique_ptr<serial::LinkThread> m_thread;
    live::LiveState m_state;
};

// The time-out's message: no meter ever answered, or the one that did fell silent.
QString silenceText(bool answered, qint64 ms);

} // namespace app
