#pragma once

// Reads a data file back, line by line: the count line, the column header, then the data lines
// with their values picked by fixed character position, as every writer of the format
// guarantees. Shared by the plot loader and the export to CSV, so both refuse the same files
// with the same words. Nothing is sized by the count line: a wrong count can neither allocate
// absurd amounts of memory nor leave unfilled entries.

#include "live/framedecoder.h"

#include <QByteArrayView>
#include <QFile>
#include <QIODevice>
#include <QString>

#include <array>
#include <optional>

namespace recording {

// One value field of a data line.
enum class FieldKind : quint8 {
    Number,
    OverRange,  // "OL"
    UnderRange, // "-OL"
    Blank,      // six spaces: no reading, drawn as 0
};

class DataFileReader {
public:
    // `name` is used in the messages.
    DataFileReader(QIODevice& device, QString name);

    // The count line, the column header and the separator. False when the file is refused;
    // error() says why, naming the file: it is empty, its first line holds no count, the count
    // is 0, negative or above the largest file any writer makes, or it ends before its header.
    bool readHead();
    QString error() const { return m_error; }
    // The count line's N and the channels of the header (4, 2 or 1).
    qint64 count() const { return m_count; }
    int channels() const { return m_channels; }
    // An upper bound of the data lines left, for reserving; 0 when the device cannot tell.
    qint64 likelyRows() const;

    // The next data line, with the fields of `unit` checked; false at the end of the data:
    // after `count` lines, at the end of the file (a short file), or at a line that is not a
    // data line (its fields are not at their positions, or a field of `unit` is not a number,
    // "OL", "-OL" or blank). The trailer after the declared records is never read.
    bool next(live::TempUnit unit);

    // Of the line next() returned last:
    QByteArrayView stampText() const { return m_line.sliced(7, 19); } // "yyyy/mm/dd hh:nn:ss"
    char type() const { return m_line[27]; }
    FieldKind kind(int channel) const { return m_kinds[std::size_t(channel - 1)]; }
    // A number's value (1.5 for "   1.5"); +infinity for "OL", -infinity for "-OL", 0 blank.
    float value(int channel) const { return m_values[std::size_t(channel - 1)]; }
    // The field without its padding, exactly as written ("23.7", "OL", "" when blank).
    QByteArrayView text(int channel) const { return m_texts[std::size_t(channel - 1)]; }

    qint64 rowsRead() const { return m_rows; }
    // 1-based number of the last line read.
    qint64 lineNumber() const { return m_lineNumber; }
    // After next() returned false: the file held fewer data lines than its count, and whether
    // a line that is not a data line ended them (else the file ended).
    bool shortOfCount() const { return m_rows < m_count; }
    bool notADataLine() const { return m_badLine; }
    // The refusal of a file that has not one data line; empty when it has one.
    QString noDataError() const;

private:
    bool nextLine();
    bool parse(live::TempUnit unit);

    QIODevice& m_device;
    QString m_name;
    qint64 m_count = 0;
    int m_channels = 1;
    qint64 m_rows = 0;
    qint64 m_lineNumber = 0;
    bool m_badLine = false;
    QString m_error;
    // Longer than any line a writer makes (4 channels: 114 characters plus CR LF); anything
    // beyond is dropped so that a binary file without line ends cannot take all memory.
    std::array<char, 1024 + 2> m_buffer{};
    QByteArrayView m_line;
    std::array<FieldKind, 4> m_kinds{};
    std::array<float, 4> m_values{};
    std::array<QByteArrayView, 4> m_texts{};
};

// Opens `path` into `file` for reading, only a plain file (a device never ends, /dev/zero, and
// a FIFO holds the open until a writer comes). The refusal, naming the file, or nothing.
std::optional<QString> openDataFile(QFile& file, const QString& path);

// The unit the file's statistics list ("Top 5 Max T1 Fahrenheit Value : "): the unit the meter
// showed when the file was written. Read from the file's last 64 KiB, where the trailer lies;
// nothing when it has no such heading (fewer than five records, a file cut short). The device's
// position is kept.
std::optional<live::TempUnit> trailerUnit(QIODevice& device);

} // namespace recording
