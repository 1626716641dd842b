#include "dataout/csvexport.h"

#include "dataout/rowformat.h"
#include "recording/datafilereader.h"
#include "recording/replacingfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace dataout {

namespace {

// The sink gets pieces of about this size.
constexpr qsizetype kPiece = 256 * 1024;

} // namespace

ExportResult exportCsv(QIODevice& device, const QString& name, std::optional<live::TempUnit> unit,
                       const Sink& sink) {
    ExportResult result;
    const live::TempUnit shown =
        unit ? *unit : recording::trailerUnit(device).value_or(live::TempUnit::Celsius);
    recording::DataFileReader reader(device, name);
    if (!reader.readHead()) {
        result.error = reader.error();
        return result;
    }
    QByteArray out = csvHeader(reader.channels());
    out.reserve(kPiece + 1024);
    Row row;
    row.channels = reader.channels();
    char time[19];
    row.time = QByteArrayView(time, sizeof time);
    while (reader.next(shown)) {
        // isoFromFileStamp() without a new string per row.
        std::copy_n(reader.stampText().data(), sizeof time, time);
        time[4] = time[7] = '-';
        time[10] = 'T';
        row.record = reader.rowsRead();
        row.type = reader.type();
        for (int c = 1; c <= row.channels; ++c)
            row.values[std::size_t(c - 1)] = reader.text(c);
        appendCsvRow(out, row);
        if (out.size() >= kPiece) {
            if (!sink(out)) {
                result.sinkFailed = true;
                return result;
            }
            out.clear();
        }
    }
    result.rows = reader.rowsRead();
    if (const QString error = reader.noDataError(); !error.isEmpty()) {
        result.error = error;
        return result;
    }
    if (reader.notADataLine()) {
        result.warning = QStringLiteral("Line %1 of the file %2 is not a data line; only the %3 "
                                        "records before it were exported.")
                             .arg(reader.lineNumber())
                             .arg(name)
                             .arg(result.rows);
    } else if (reader.shortOfCount()) {
        result.warning = QStringLiteral("The file %1 claims %2 records but holds only %3; those "
                                        "were exported.")
                             .arg(name)
                             .arg(reader.count())
                             .arg(result.rows);
    }
    if (!out.isEmpty() && !sink(out))
        result.sinkFailed = true;
    return result;
}

ExportResult exportCsv(const QString& path, std::optional<live::TempUnit> unit, const Sink& sink) {
    QFile file;
    ExportResult result;
    if (const std::optional<QString> error = recording::openDataFile(file, path)) {
        result.error = *error;
        return result;
    }
    return exportCsv(file, QDir::toNativeSeparators(path), unit, sink);
}

bool exportCsvFile(const QString& dataPath, std::optional<live::TempUnit> unit,
                   const QString& csvPath, QString* error, QString* warning, bool* refused) {
    const QString target = QDir::toNativeSeparators(csvPath);
    const auto fail = [&](const QString& text, bool refusal) {
        *error = text;
        if (refused)
            *refused = refusal;
        return false;
    };
    if (const std::optional<QString> why = recording::unsafeTarget(csvPath))
        return fail(QStringLiteral("Cannot write %1: %2.").arg(target, *why), true);
    // The CSV would replace the readings it is made of.
    const QFileInfo data(dataPath);
    if (data.exists() && data.canonicalFilePath() == QFileInfo(csvPath).canonicalFilePath())
        return fail(QStringLiteral("Cannot write %1: it is the data file itself.").arg(target),
                    true);
    recording::ReplacingFile file(csvPath);
    bool opened = false;
    const ExportResult result = exportCsv(dataPath, unit, [&](QByteArrayView bytes) {
        if (!opened && !file.open())
            return false;
        opened = true;
        return file.write(bytes);
    });
    if (!result.error.isEmpty())
        return fail(result.error, true);
    if (result.sinkFailed || !file.commit())
        return fail(QStringLiteral("Cannot write %1: %2.").arg(target, file.errorString()), false);
    if (warning)
        *warning = result.warning;
    return true;
}

} // namespace dataout
