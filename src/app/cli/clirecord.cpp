// qr512 record: a PC recording without the window.

#include "app/cli/cliformat.h"
#include "app/cli/clisubcommand.h"

#include "recording/recorder.h"
#include "recording/workfileguard.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace app {

namespace {

QList<QCommandLineOption> recordOptions() {
    return {
        {QStringLiteral("interval"),
         QStringLiteral("Seconds between rows, 1 to 86400 (default 1)."), QStringLiteral("SECONDS"),
         QStringLiteral("1")},
        {QStringLiteral("records"), QStringLiteral("Stop after N rows (N >= 1)."),
         QStringLiteral("N")},
        {QStringLiteral("until"),
         QStringLiteral("Stop at the first row later than this local time, "
                        "\"yyyy/mm/dd hh:nn:ss\"."),
         QStringLiteral("TIME")},
        {QStringLiteral("dir"),
         QStringLiteral("Folder for the data file (default: the working directory)."),
         QStringLiteral("DIR")},
        formatOption(QStringLiteral("the final file's name; with csv or jsonl each row as it is "
                                    "recorded, and the name on standard error")),
    };
}

class RecordCommand : public Subcommand {
public:
    RecordCommand()
        : Subcommand(
              QStringLiteral("record"), Needs::Meter,
              QStringLiteral("Records the meter's live readings into a data file named after the "
                             "start time (yyyymmddhhnnss.txt), exactly as the window's recording "
                             "does. Ctrl+C or SIGTERM ends the recording and writes the file; a "
                             "second Ctrl+C exits at once, keeping the rows already on disk in "
                             "QR512.temp."),
              recordOptions()) {
        setTimeoutMeaning(QStringLiteral("the recording then writes its final file"));
    }

private:
    bool check(QString* error) override;
    bool checkStopRule(QString* error);
    bool checkUntil(QString* error);
    bool checkFolder(QString* error);
    int execute() override;
    void report(recording::Recorder& recorder, QTimer& ticks);
    bool start(recording::Recorder& recorder) const;

    int m_interval = 0;
    std::optional<int> m_target; // rows, or else the stop time
    QDate m_stopDate;
    QTime m_stopTime;
    QString m_dir;
    int m_exitCode = kDone;
    std::optional<RowPrinter> m_rows; // csv or jsonl
    void (*m_fileLine)(const QString&) = printOut;
    const bool m_progress = ::isatty(STDERR_FILENO) == 1;
    // Below an unfinished progress line only.
    const QString m_lead =
        m_progress ? QStringLiteral("\nqr512 record: ") : QStringLiteral("qr512 record: ");
};

bool RecordCommand::check(QString* error) {
    const auto interval =
        positiveInt(parser(), QStringLiteral("interval"), recording::kMinSamplingTime,
                    recording::kMaxSamplingTime, error);
    if (!interval)
        return false;
    m_interval = *interval;
    const std::optional<dataout::Format> format = parseFormat(parser(), error);
    if (!format)
        return false;
    if (*format != dataout::Format::Text) {
        m_rows.emplace(*format);
        m_fileLine = printErr; // standard output carries the rows alone
    }
    return checkStopRule(error) && checkFolder(error);
}

bool RecordCommand::checkStopRule(QString* error) {
    const bool byRecords = parser().isSet(QStringLiteral("records"));
    if (byRecords == parser().isSet(QStringLiteral("until")))
        return refuse(error, QStringLiteral("give exactly one of --records N and --until TIME"));
    if (!byRecords)
        return checkUntil(error);
    m_target = positiveInt(parser(), QStringLiteral("records"), 1, INT_MAX, error);
    return m_target.has_value();
}

bool RecordCommand::checkUntil(QString* error) {
    const QString text = parser().value(QStringLiteral("until"));
    // Date and time apart: a wall-clock time in an hour skipped by a daylight-saving change
    // has no QDateTime, but the recording can still stop there.
    if (text.size() == recording::kStampLength && text.at(10) == u' ') {
        m_stopDate = QDate::fromString(text.left(10), QStringLiteral("yyyy/MM/dd"));
        m_stopTime = QTime::fromString(text.mid(11), QStringLiteral("hh:mm:ss"));
    }
    if (!m_stopDate.isValid() || !m_stopTime.isValid())
        return refuse(error, QStringLiteral("--until: \"%1\" is not a time of the form "
                                            "\"yyyy/mm/dd hh:nn:ss\"")
                                 .arg(text));
    if (recording::stampFromCivil(m_stopDate, m_stopTime) <
        recording::stampFromDateTime(QDateTime::currentDateTime()))
        return refuse(error, QStringLiteral("--until: %1 is in the past").arg(text));
    return true;
}

bool RecordCommand::checkFolder(QString* error) {
    m_dir = parser().isSet(QStringLiteral("dir")) ? parser().value(QStringLiteral("dir"))
                                                  : QDir::currentPath();
    if (!QFileInfo(m_dir).isDir())
        return refuse(error, QStringLiteral("--dir: no such folder: %1").arg(m_dir));
    // Refused before the meter is asked: the rows of a running recording are never touched.
    if (recording::WorkFileGuard::isHeld(
            QDir(m_dir).filePath(QString::fromLatin1(recording::kWorkFileName))))
        return refuse(error,
                      QStringLiteral("another recording is writing %1 in %2. Stop it first, or "
                                     "record into another folder.")
                          .arg(QString::fromLatin1(recording::kWorkFileName),
                               QDir::toNativeSeparators(QDir(m_dir).absolutePath())));
    return true;
}

int RecordCommand::execute() {
    live::LiveState& state = connection().state();
    recording::Recorder recorder([] { return QDateTime::currentDateTime(); },
                                 [&state] { return recording::sampleOf(state); });
    recorder.setWorkingDirectory(QDir(m_dir).absolutePath());
    recorder.setSamplingTime(m_interval);
    QTimer ticks;
    ticks.setInterval(1000);
    QObject::connect(&ticks, &QTimer::timeout, &recorder, &recording::Recorder::tick);
    report(recorder, ticks);
    // With csv or jsonl, each row on standard output as it is recorded.
    QObject::connect(&recorder, &recording::Recorder::rowRecorded, &app(), [&](int count) {
        if (m_rows)
            m_rows->printRow(count, recorder.rows().back(), recorder.channelCount(),
                             connection().state());
    });
    bool started = false;
    const int loop = watchFrames(
        [&] {
            if (started)
                return;
            started = true;
            if (start(recorder)) {
                ticks.start();
                return;
            }
            m_exitCode = kFailure;
            QCoreApplication::quit();
        },
        [&] {
            if (recorder.isRecording()) {
                recorder.finishRecording();
                return;
            }
            say(QStringLiteral("stopped before the meter answered; nothing was recorded"));
            m_exitCode = kFailure;
            QCoreApplication::quit();
        },
        [&] {
            // What was recorded still becomes its final file; the exit status says the rest.
            if (recorder.isRecording())
                recorder.finishRecording();
            else
                QCoreApplication::quit();
        });
    return m_exitCode != kDone ? m_exitCode : loop;
}

bool RecordCommand::start(recording::Recorder& recorder) const {
    return m_target ? recorder.startByRecords(*m_target)
                    : recorder.startByTime(m_stopDate, m_stopTime);
}

// Progress on a terminal, the recorder's messages, the final file's name.
void RecordCommand::report(recording::Recorder& recorder, QTimer& ticks) {
    QObject::connect(&recorder, &recording::Recorder::rowRecorded, &app(), [&](int count) {
        if (!m_progress)
            return;
        if (m_target)
            std::fprintf(stderr, "\rrecorded %d of %s", count,
                         qPrintable(countText(*m_target, "row", "rows")));
        else
            std::fprintf(stderr, "\rrecorded %s, until %s",
                         qPrintable(countText(count, "row", "rows")),
                         qPrintable(recorder.stopAtText()));
        std::fflush(stderr);
    });
    QObject::connect(&recorder, &recording::Recorder::errorOccurred, &app(),
                     [&](const QString& message) {
                         printErr(m_lead + message);
                         m_exitCode = kFailure;
                         if (!recorder.isRecording())
                             QCoreApplication::quit();
                     });
    // Neither stops the recording nor changes the exit status: the final file decides.
    const QString lead = m_lead;
    for (const auto signal :
         {&recording::Recorder::noticeOccurred, &recording::Recorder::warningOccurred})
        QObject::connect(
            &recorder, signal, &app(),
            [lead](const QString& message) { printErr(lead + message); });
    QObject::connect(&recorder, &recording::Recorder::pauseChanged, &app(),
                     [lead](bool, const QString& message) { printErr(lead + message); });
    QObject::connect(
        &recorder, &recording::Recorder::finished, &app(), [&](const QString& path, int records) {
            ticks.stop();
            if (m_progress)
                std::fprintf(stderr, "\n");
            m_fileLine(QStringLiteral("%1 (%2)").arg(path, countText(records, "row", "rows")));
            QCoreApplication::quit();
        });
}

} // namespace

int runRecord(QCoreApplication& app, const QStringList& args) {
    return RecordCommand().run(app, args);
}

} // namespace app
