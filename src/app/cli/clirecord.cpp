// qr512 record: a PC recording without the window.

#include "app/cli/clicommon.h"

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

int runRecord(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Records the meter's live readings into a data file named after the "
                       "start time (yyyymmddhhnnss.txt), exactly as the window's recording "
                       "does. Ctrl+C or SIGTERM ends the recording and writes the file; a "
                       "second Ctrl+C exits at once, keeping the rows already on disk in "
                       "QR512.temp."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("interval"),
                      QStringLiteral("Seconds between rows, 1 to 86400 (default 1)."),
                      QStringLiteral("SECONDS"), QStringLiteral("1")});
    parser.addOption({QStringLiteral("records"), QStringLiteral("Stop after N rows (N >= 1)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("until"),
                      QStringLiteral("Stop at the first row later than this local time, "
                                     "\"yyyy/mm/dd hh:nn:ss\"."),
                      QStringLiteral("TIME")});
    parser.addOption({QStringLiteral("dir"),
                      QStringLiteral("Folder for the data file (default: the working "
                                     "directory)."),
                      QStringLiteral("DIR")});
    if (const auto done = parseSubcommand(parser, args, QStringLiteral("record")))
        return *done;
    const auto usage = [](const QString& text) {
        printErr(QStringLiteral("qr512 record: ") + text);
        return int(kUsage);
    };

    QString error;
    Common common;
    if (!parseCommon(parser, &common, &error))
        return usage(error);
    const auto interval =
        positiveInt(parser, QStringLiteral("interval"), recording::kMinSamplingTime,
                    recording::kMaxSamplingTime, &error);
    if (!interval)
        return usage(error);
    const bool byRecords = parser.isSet(QStringLiteral("records"));
    const bool byTime = parser.isSet(QStringLiteral("until"));
    if (byRecords == byTime)
        return usage(QStringLiteral("give exactly one of --records N and --until TIME"));
    std::optional<int> target;
    QDate stopDate;
    QTime stopTime;
    if (byRecords) {
        target = positiveInt(parser, QStringLiteral("records"), 1, INT_MAX, &error);
        if (!target)
            return usage(error);
    } else {
        const QString text = parser.value(QStringLiteral("until"));
        // Date and time apart: a wall-clock time in an hour skipped by a daylight-saving
        // change has no QDateTime, but the recording can still stop there.
        if (text.size() == recording::kStampLength && text.at(10) == u' ') {
            stopDate = QDate::fromString(text.left(10), QStringLiteral("yyyy/MM/dd"));
            stopTime = QTime::fromString(text.mid(11), QStringLiteral("hh:mm:ss"));
        }
        if (!stopDate.isValid() || !stopTime.isValid())
            return usage(QStringLiteral("--until: \"%1\" is not a time of the form "
                                        "\"yyyy/mm/dd hh:nn:ss\"")
                             .arg(text));
        if (recording::stampFromCivil(stopDate, stopTime) <
            recording::stampFromDateTime(QDateTime::currentDateTime()))
            return usage(QStringLiteral("--until: %1 is in the past").arg(text));
    }
    const QString dir = parser.isSet(QStringLiteral("dir")) ? parser.value(QStringLiteral("dir"))
                                                            : QDir::currentPath();
    if (!QFileInfo(dir).isDir())
        return usage(QStringLiteral("--dir: no such folder: %1").arg(dir));

    // Refused before the meter is asked: the rows of a running recording are never touched.
    if (recording::WorkFileGuard::isHeld(
            QDir(dir).filePath(QString::fromLatin1(recording::kWorkFileName)))) {
        printErr(QStringLiteral("qr512 record: another recording is writing %1 in %2. Stop it "
                                "first, or record into another folder.")
                     .arg(QString::fromLatin1(recording::kWorkFileName),
                          QDir::toNativeSeparators(QDir(dir).absolutePath())));
        return kUsage;
    }

    Connection connection;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 record: ") + error);
        return kFailure;
    }
    live::LiveState& state = connection.state();
    recording::Recorder recorder([] { return QDateTime::currentDateTime(); },
                                 [&state] { return recording::sampleOf(state); });
    recorder.setWorkingDirectory(QDir(dir).absolutePath());
    recorder.setSamplingTime(*interval);

    int exitCode = kDone;
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    // Below an unfinished progress line only.
    const QString lead =
        progress ? QStringLiteral("\nqr512 record: ") : QStringLiteral("qr512 record: ");
    QTimer timer2;
    timer2.setInterval(1000);
    QObject::connect(&timer2, &QTimer::timeout, &recorder, &recording::Recorder::tick);
    QObject::connect(&recorder, &recording::Recorder::rowRecorded, &app, [&](int count) {
        if (!progress)
            return;
        if (target)
            std::fprintf(stderr, "\rrecorded %d of %d rows", count, *target);
        else
            std::fprintf(stderr, "\rrecorded %d rows, until %s", count,
                         qPrintable(recorder.stopAtText()));
        std::fflush(stderr);
    });
    QObject::connect(&recorder, &recording::Recorder::errorOccurred, &app,
                     [&](const QString& message) {
                         printErr(lead + message);
                         exitCode = kFailure;
                         if (!recorder.isRecording())
                             app.quit();
                     });
    // Neither stops the recording nor changes the exit status: the final file decides.
    for (const auto signal :
         {&recording::Recorder::noticeOccurred, &recording::Recorder::warningOccurred})
        QObject::connect(
            &recorder, signal, &app, [lead](const QString& message) { printErr(lead + message); });
    QObject::connect(&recorder, &recording::Recorder::pauseChanged, &app,
                     [lead](bool, const QString& message) { printErr(lead + message); });
    QObject::connect(&recorder, &recording::Recorder::finished, &app,
                     [&](const QString& path, int records) {
                         timer2.stop();
                         if (progress)
                             std::fprintf(stderr, "\n");
                         printOut(QStringLiteral("%1 (%2 rows)").arg(path).arg(records));
                         app.quit();
                     });
    bool started = false;
    const int loop = runConnected(
        app, connection, common,
        [&] {
            if (started)
                return;
            started = true;
            const bool ok = target ? recorder.startByRecords(*target)
                                   : recorder.startByTime(stopDate, stopTime);
            if (!ok) {
                exitCode = kFailure;
                app.quit();
                return;
            }
            timer2.start();
        },
        [&] {
            if (recorder.isRecording()) {
                recorder.finishRecording();
            } else {
                printErr(QStringLiteral("qr512 record: stopped before the meter answered; "
                                        "nothing was recorded"));
                exitCode = kFailure;
                app.quit();
            }
        },
        [&] {
            // What was recorded still becomes its final file; the exit status says the rest.
            if (recorder.isRecording())
                recorder.finishRecording();
            else
                app.quit();
        });
    return exitCode != kDone ? exitCode : loop;
}

} // namespace app
