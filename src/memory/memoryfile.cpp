#include "memory/memoryfile.h"

#include "recording/datafile.h"
#include "recording/recorder.h"
#include "recording/replacingfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <vector>

namespace memory {

namespace {

QString workName() {
    return QString::fromLatin1(recording::kWorkFileName);
}

} // namespace

QByteArray memoryFileText(std::span<const recording::DataRow> rows, int channelCount,
                          live::TempUnit unit) {
    // Room for everything at once: growing a text of two megabytes means copying it.
    constexpr qsizetype kHeadAndTrailer = 8192;
    QByteArray text;
    text.reserve(qsizetype(rows.size()) * (30 + 7 * recording::valueColumnCount(channelCount)) +
                 kHeadAndTrailer);
    text.append(recording::countLine(qint64(rows.size())));
    text.append(recording::headerLine(channelCount));
    text.append(recording::separatorLine(channelCount));
    const std::vector<recording::DataRow> lastFirst(rows.rbegin(), rows.rend());
    recording::appendDataLines(text, lastFirst, channelCount);
    text.append(
        recording::trailerText(rows, channelCount, unit, recording::TrailerLayout::MemorySave));
    return text;
}

QString memoryFileStem(const QDateTime& time) {
    return QStringLiteral("memory-") + time.toString(QStringLiteral("yyyyMMddhhmmss"));
}

std::optional<QString> refusalWhileRecording(const QString& directory) {
    if (!recording::WorkFileGuard::isHeld(QDir(directory).filePath(workName())))
        return std::nullopt;
    return QStringLiteral("A recording is writing %1 in %2. Stop the recording first, then "
                          "download the memory.")
        .arg(workName(), QDir::toNativeSeparators(directory));
}

SaveOutcome saveMemory(std::span<const recording::DataRow> rows, int channelCount,
                       live::TempUnit unit, const SaveRequest& request) {
    SaveOutcome outcome;
    const QDir dir(request.directory);
    const QByteArray text = memoryFileText(rows, channelCount, unit);
    const QString memoryPath =
        request.memoryFile.isEmpty()
            ? recording::freeFileName(dir.path(), memoryFileStem(request.time),
                                      QStringLiteral("txt"))
            : request.memoryFile;
    QString why;
    if (!recording::writeWholeFile(memoryPath, text, &why, request.open)) {
        outcome.error = QStringLiteral("Could not write %1: %2.")
                            .arg(QDir::toNativeSeparators(memoryPath), why);
        return outcome;
    }
    outcome.memoryFile = memoryPath;

    const QString workPath = dir.filePath(workName());
    // Held while it is written, so that no recording starts on it halfway.
    const recording::WorkFileGuard guard(workPath);
    if (!guard.acquired()) {
        // A refusal names its own cause (unfinished rows that cannot be moved, a folder that
        // cannot be written); otherwise a living recording holds the file.
        outcome.notices
            << (guard.refusal().isEmpty()
                    ? QStringLiteral("%1 was left alone: a recording (process %2) is "
                                     "writing it.")
                          .arg(workName(), QString::number(guard.holderPid()))
                    : QStringLiteral("%1 was left alone: %2").arg(workName(), guard.refusal()));
        return outcome;
    }
    // The guard has already moved a dead recording's rows out of the way.
    if (const QString notice = guard.takeOverNotice(); !notice.isEmpty())
        outcome.notices << notice;
    // Written the same safe way as the memory file: a link named QR512.temp is replaced, never
    // followed out of the folder.
    if (recording::writeWholeFile(workPath, text, &why, request.open))
        outcome.workFile = workPath;
    else
        outcome.notices << QStringLiteral("Could not write %1: %2.").arg(workName(), why);
    return outcome;
}

} // namespace memory
