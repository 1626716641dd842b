// qr512 download and qr512 erase: the meter's memory without the window.

#include "app/cli/clicommon.h"
#include "app/cli/cliexchange.h"

#include "memory/memorydownload.h"
#include "recording/replacingfile.h"
#include "session/downloadwork.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace app {

namespace {

// Connects and parses what both commands share; an exit status when the command is done.
std::optional<int> prepareCommon(QCommandLineParser& parser, const QStringList& args,
                                 const QString& name, Common* common) {
    if (const auto done = parseSubcommand(parser, args, name))
        return done;
    QString error;
    if (!parseCommon(parser, common, &error)) {
        printErr(QStringLiteral("qr512 %1: %2").arg(name, error));
        return int(kUsage);
    }
    return std::nullopt;
}

} // namespace

int runDownload(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Downloads every record of the meter's memory, exactly as the window's "
                       "\"Memory\" key does, into a data file (default: "
                       "memory-yyyymmddhhnnss.txt in the working directory, whose QR512.temp "
                       "gets the same text unless a recording fills it). Prints the file's "
                       "name. A meter that stops sending for 3 s, or Ctrl+C, ends the download "
                       "without saving anything."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("The data file to write (replaced if it exists)."),
                      QStringLiteral("FILE")});
    Common common;
    if (const auto done = prepareCommon(parser, args, QStringLiteral("download"), &common))
        return *done;
    const QString output = parser.value(QStringLiteral("output"));
    if (parser.isSet(QStringLiteral("output")) &&
        (output.isEmpty() || QFileInfo(output).isDir() ||
         !QFileInfo(QFileInfo(output).absolutePath()).isDir())) {
        printErr(
            QStringLiteral("qr512 download: -o: cannot write a file named \"%1\"").arg(output));
        return kUsage;
    }
    // Refused before the meter is asked: a device, a FIFO or a link is never replaced.
    if (const auto refusal = recording::unsafeTarget(output); !output.isEmpty() && refusal) {
        printErr(
            QStringLiteral("qr512 download: -o: cannot write \"%1\": %2").arg(output, *refusal));
        return kUsage;
    }
    const QString directory = QDir::currentPath();
    if (const auto refusal = memory::refusalWhileRecording(directory)) {
        printErr(QStringLiteral("qr512 download: ") + *refusal);
        return kUsage;
    }

    Connection connection;
    QString error;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 download: ") + error);
        return kFailure;
    }
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    auto outcome = std::make_shared<memory::DownloadOutcome>();
    MeterExchange exchange;
    exchange.prepare = [&](int* status) -> session::Exchange::Work {
        const live::LiveState& state = connection.state();
        if (state.memoryCount() == 0) {
            printErr(QStringLiteral("qr512 download: No Data in Memory"));
            *status = kFailure;
            return {};
        }
        memory::SaveRequest save;
        save.directory = directory;
        save.memoryFile = output.isEmpty() ? QString() : QFileInfo(output).absoluteFilePath();
        return session::downloadWork(state, save, outcome);
    };
    exchange.progress = [terminal](double, const QString& text) {
        if (terminal)
            std::fprintf(stderr, "\r%s", qPrintable(text));
    };
    exchange.finish = [&](session::Exchange::End end, const QString& why) {
        if (terminal)
            std::fprintf(stderr, "\n");
        switch (end) {
        case session::Exchange::End::Done:
            break;
        case session::Exchange::End::Cancelled:
            printErr(QStringLiteral("qr512 download: cancelled; nothing was saved"));
            return int(kFailure);
        case session::Exchange::End::Failed:
            printErr(QStringLiteral("qr512 download: ") + why);
            return int(kFailure);
        case session::Exchange::End::Superseded:
            printErr(QStringLiteral("qr512 download: the meter was lost; nothing was saved"));
            return int(kNoMeter);
        }
        if (outcome->kind != memory::DownloadOutcome::Kind::Saved) {
            printErr(QStringLiteral("qr512 download: ") + memory::outcomeMessage(*outcome));
            return int(kFailure);
        }
        for (const QString& notice : outcome->save.notices)
            printErr(QStringLiteral("qr512 download: ") + notice);
        printOut(QStringLiteral("%1 (%2 records)")
                     .arg(QDir::toNativeSeparators(outcome->save.memoryFile))
                     .arg(outcome->received));
        return int(kDone);
    };
    return runMeterExchange(app, connection, common, exchange);
}

int runErase(QCoreApplication& app, const QStringList& args) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Erases every record in the meter's memory, as the window's \"Erase\" "
                       "key does after its warning. Needs --yes."));
    parser.addHelpOption();
    addCommonOptions(parser);
    parser.addOption({QStringLiteral("yes"),
                      QStringLiteral("Confirm that all readings in the meter's memory are to be "
                                     "deleted.")});
    Common common;
    if (const auto done = prepareCommon(parser, args, QStringLiteral("erase"), &common))
        return *done;
    if (!parser.isSet(QStringLiteral("yes"))) {
        printErr(QStringLiteral("qr512 erase: this deletes all readings in the meter's memory; "
                                "add --yes to erase them"));
        return kUsage;
    }
    Connection connection;
    QString error;
    if (!connection.open(common, &error)) {
        printErr(QStringLiteral("qr512 erase: ") + error);
        return kFailure;
    }
    MeterExchange exchange;
    exchange.prepare = [](int*) -> session::Exchange::Work {
        return [](session::Exchange::Job& job) { memory::eraseMemory(job.link()); };
    };
    exchange.finish = [](session::Exchange::End end, const QString& why) {
        if (end == session::Exchange::End::Done) {
            printOut(QStringLiteral("erased"));
            return int(kDone);
        }
        printErr(QStringLiteral("qr512 erase: ") + (end == session::Exchange::End::Failed
                                                        ? why
                                                        : QStringLiteral("nothing was sent")));
        return int(end == session::Exchange::End::Superseded ? kNoMeter : kFailure);
    };
    return runMeterExchange(app, connection, common, exchange);
}

} // namespace app
