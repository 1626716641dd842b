#pragma once

#include "live/framedecoder.h"
#include "recording/datarow.h"
#include "recording/outputfile.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>
#include <memory>
#include <span>

namespace recording {

// The files of one PC recording. The working file gets every row as it is recorded and is
// the copy that survives a killed program; the final file is written at the end from the rows
// kept in memory and appears under its name only once every byte and the rename are on disk.
//
// A working file that could not take a row (a full disk) is never left with half a row: the
// next update cuts the torn tail off and writes every row it is missing, so it catches up as
// soon as there is room again.
class RecordWriter {
public:
    // Makes the (not yet opened) file for a path. Tests put a disk that fills up here.
    using FileOpener = std::function<std::unique_ptr<OutputFile>(const QString& path)>;

    RecordWriter();
    void setFileOpener(FileOpener opener);

    // Creates the working file with its header and separator; false with the reason.
    bool startWorkFile(const QString& path, int channelCount, QString* error);
    // Writes the rows the working file is missing (rows[0] is record number 1). False with
    // the reason when it cannot; the rows stay missing and the next call tries again.
    bool updateWorkFile(std::span<const DataRow> rows, QString* error);
    // Complete rows the working file holds.
    qsizetype rowsInWorkFile() const { return m_rowsOnDisk; }
    // Syncs and closes the working file; false with the reason (the file is closed anyway).
    bool closeWorkFile(QString* error);

    // The whole final file at `path`, through a temporary file beside it that is synced,
    // closed and renamed; the folder is synced after the rename. False with the reason, and
    // nothing left behind, when any step fails. An older file of the same name stays as it is
    // until the new one is complete.
    bool writeFinalFile(const QString& path, std::span<const DataRow> rows, int channelCount,
                        live::TempUnit unit, QString* error) const;

private:
    FileOpener m_open;
    std::unique_ptr<OutputFile> m_workFile;
    int m_channelCount = 4;
    qsizetype m_rowsOnDisk = 0;
    qint64 m_bytesOnDisk = 0; // header and complete rows
    bool m_torn = false;      // the last write failed part-way
    QElapsedTimer m_syncClock;
};

} // namespace recording
