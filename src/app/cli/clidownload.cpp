// qr512 download and qr512 erase: the meter's memory without the window.

#include "app/cli/clisubcommand.h"

#include "memory/memorydownload.h"
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

class DownloadCommand : public Subcommand {
public:
    DownloadCommand()
        : Subcommand(
              QStringLiteral("download"), Needs::Meter,
              QStringLiteral("Downloads every record of the meter's memory, exactly as the "
                             "window's \"Memory\" key does, into a data file (default: "
                             "memory-yyyymmddhhnnss.txt in the working directory, whose "
                             "QR512.temp gets the same text unless a recording fills it). Prints "
                             "the file's name. A meter that stops sending for 3 s, or Ctrl+C, "
                             "ends the download without saving anything."),
              {{{QStringLiteral("o"), QStringLiteral("output")},
                QStringLiteral("The data file to write (replaced if it exists)."),
                QStringLiteral("FILE")}}) {
        setTimeoutMeaning(QStringLiteral("nothing is saved then"));
    }

private:
    bool check(QString* error) override;
    int execute() override;
    session::Exchange::Work prepare(int* status);
    int report() const;

    QString m_output;
    QString m_directory;
    const bool m_terminal = ::isatty(STDERR_FILENO) == 1;
    std::shared_ptr<memory::DownloadOutcome> m_outcome =
        std::make_shared<memory::DownloadOutcome>();
};

bool DownloadCommand::check(QString* error) {
    m_output = parser().value(QStringLiteral("output"));
    if (parser().isSet(QStringLiteral("output")) &&
        (m_output.isEmpty() || QFileInfo(m_output).isDir() ||
         !QFileInfo(QFileInfo(m_output).absolutePath()).isDir()))
        return refuse(error, QStringLiteral("-o: cannot write a file named \"%1\"").arg(m_output));
    // Refused before the meter is asked: a device, a FIFO or a link is never replaced.
    if (!m_output.isEmpty() && !writableOutput(m_output, error))
        return false;
    m_directory = QDir::currentPath();
    if (const auto refusal = memory::refusalWhileRecording(m_directory))
        return refuse(error, *refusal);
    return true;
}

int DownloadCommand::execute() {
    MeterExchange exchange;
    exchange.prepare = [this](int* status) { return prepare(status); };
    exchange.progress = [this](double, const QString& text) {
        if (m_terminal)
            std::fprintf(stderr, "\r%s", qPrintable(text));
    };
    exchange.finish = [this](session::Exchange::End end, const QString& why) {
        if (m_terminal)
            std::fprintf(stderr, "\n");
        if (const auto status = unfinished(end, why,
                                           {QStringLiteral("cancelled; nothing was saved"),
                                            QStringLiteral("the meter was lost; nothing was "
                                                           "saved")}))
            return *status;
        return report();
    };
    return runExchange(exchange);
}

session::Exchange::Work DownloadCommand::prepare(int* status) {
    const live::LiveState& state = connection().state();
    if (state.memoryCount() == 0) {
        say(QStringLiteral("No Data in Memory"));
        *status = kFailure;
        return {};
    }
    memory::SaveRequest save;
    save.directory = m_directory;
    save.memoryFile = m_output.isEmpty() ? QString() : QFileInfo(m_output).absoluteFilePath();
    return session::downloadWork(state, save, m_outcome);
}

int DownloadCommand::report() const {
    if (m_outcome->kind != memory::DownloadOutcome::Kind::Saved) {
        say(memory::outcomeMessage(*m_outcome));
        return kFailure;
    }
    for (const QString& notice : m_outcome->save.notices)
        say(notice);
    printOut(QStringLiteral("%1 (%2)").arg(QDir::toNativeSeparators(m_outcome->save.memoryFile),
                                           countText(m_outcome->received, "record", "records")));
    return kDone;
}

class EraseCommand : public Subcommand {
public:
    EraseCommand()
        : Subcommand(QStringLiteral("erase"), Needs::Meter,
                     QStringLiteral("Erases every record in the meter's memory, as the window's "
                                    "\"Erase\" key does after its warning. Needs --yes."),
                     {{QStringLiteral("yes"),
                       QStringLiteral("Confirm that all readings in the meter's memory are to be "
                                      "deleted.")}}) {
        setTimeoutMeaning(QStringLiteral("the memory is not erased when no meter answered"));
    }

private:
    bool check(QString* error) override {
        if (!parser().isSet(QStringLiteral("yes")))
            return refuse(error, QStringLiteral("this deletes all readings in the meter's "
                                                "memory; add --yes to erase them"));
        return true;
    }
    int execute() override {
        const QString nothingSent = QStringLiteral("nothing was sent");
        return runJob([](session::Exchange::Job& job) { memory::eraseMemory(job.link()); },
                      [] {
                          printOut(QStringLiteral("erased"));
                          return int(kDone);
                      },
                      {nothingSent, nothingSent});
    }
};

} // namespace

int runDownload(QCoreApplication& app, const QStringList& args) {
    return DownloadCommand().run(app, args);
}

int runErase(QCoreApplication& app, const QStringList& args) {
    return EraseCommand().run(app, args);
}

} // namespace app
