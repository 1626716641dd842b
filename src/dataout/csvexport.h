#pragma once

// A data file (a PC recording or a memory download) as CSV: a header row
// "record,time,type,T1,..." for the channels present, then one row per record with its number,
// its date-time in ISO 8601 local time, its type letter and its values in one unit. The file
// is read as the plot reads it, so the same files are refused with the same words.

#include "live/framedecoder.h"

#include <QByteArrayView>
#include <QIODevice>
#include <QString>

#include <functional>
#include <optional>

namespace dataout {

// Takes the next piece of the CSV text; false when it could not (the export stops there).
using Sink = std::function<bool(QByteArrayView)>;

struct ExportResult {
    QString error;   // the file is refused (nothing reached the sink), naming it
    QString warning; // the file holds fewer records than its count says: those were exported
    qint64 rows = 0;
    bool sinkFailed = false;

    bool ok() const { return error.isEmpty() && !sinkFailed; }
};

// `unit`: the values' unit; without one, the unit the file was recorded in (the one its
// statistics list), Celsius when it lists none. Nothing reaches the sink before the first
// record has been read, so a refused file gives no output at all.
ExportResult exportCsv(QIODevice& device, const QString& name, std::optional<live::TempUnit> unit,
                       const Sink& sink);
// The same for a file by name; only a plain file is read.
ExportResult exportCsv(const QString& path, std::optional<live::TempUnit> unit, const Sink& sink);

// The CSV of `dataPath` written to `csvPath` by the program's one writer (complete or not at
// all, never over a device, FIFO or link). False with `error` when the data file is refused or
// the CSV cannot be written; `refused` tells which. A `warning` may come with success.
bool exportCsvFile(const QString& dataPath, std::optional<live::TempUnit> unit,
                   const QString& csvPath, QString* error, QString* warning = nullptr,
                   bool* refused = nullptr);

} // namespace dataout
