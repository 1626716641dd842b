#pragma once

// The memory save: the downloaded records as a data file. Line 1 is the last record received,
// the statistics rank the records in the order they arrived, and every record gets its line
// however many there are.
//
// The file goes under a name of its own ("memory-yyyymmddhhnnss.txt" beside the working
// file), written complete or not at all, so that the next recording cannot replace it. The
// working file "QR512.temp" gets the same text as well, but only when no recording is filling
// it, and only after rows an unfinished recording left in it have been moved aside.

#include "live/framedecoder.h"
#include "recording/datarow.h"
#include "recording/replacingfile.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>

namespace memory {

// The whole file: count line, header and separator of `channelCount`, the rows last first,
// both statistics blocks and the final line end. Only the count line and the statistics for a
// channel count other than 4, 2, 1.
QByteArray memoryFileText(std::span<const recording::DataRow> rows, int channelCount,
                          live::TempUnit unit);

// "memory-20250704130509", the memory file's name before ".txt"
QString memoryFileStem(const QDateTime& time);

// The message that refuses a download while a recording (in this program or another one)
// fills the working file in `directory`; nothing when the download may go on.
std::optional<QString> refusalWhileRecording(const QString& directory);

struct SaveRequest {
    QString directory; // where the working file lies
    // The memory file; empty for memoryFileStem(time) + ".txt" in `directory` (with "-2", ...
    // added rather than replace a file of that name). A path given here is replaced.
    QString memoryFile;
    QDateTime time = QDateTime::currentDateTime();
    // Opens the files beside their names; the real disk unless a test stands in for one.
    recording::ReplacingFile::Opener open;
};

struct SaveOutcome {
    QString memoryFile;  // the file written; empty when it could not be written
    QString workFile;    // the working file when it was written too
    QStringList notices; // what the user should know (working file left alone, rows kept)
    QString error;       // why the memory file could not be written

    bool ok() const { return error.isEmpty(); }
};

SaveOutcome saveMemory(std::span<const recording::DataRow> rows, int channelCount,
                       live::TempUnit unit, const SaveRequest& request);

} // namespace memory
