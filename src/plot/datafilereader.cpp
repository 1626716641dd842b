#include "plot/datafilereader.h"

#include "recording/datafile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <limits>
#include <optional>

namespace plot {

using recording::kMaxRecords;
using recording::kStampLength;
using recording::kValueWidth;
using recording::valueColumnCount;

namespace {

// Longer than any line a writer makes (4 channels: 114 characters plus CR LF); anything
// beyond is dropped so that a binary file without line ends cannot take all memory.
constexpr qsizetype kMaxKeptLine = 1024;

// 1-based character positions of a data line.
constexpr int kStampStart = 8;
constexpr int kTypePosition = 28;
constexpr int kFirstValueStart = 30;
constexpr int kValueStep = 7;

class LineSource {
public:
    explicit LineSource(QIODevice& device)
        : m_device(device) {}

    // Next line without its line end, valid until the next call; false at the end.
    bool next(QByteArrayView& line) {
        const qint64 length = m_device.readLine(m_buffer.data(), qint64(m_buffer.size()));
        if (length <= 0) {
            return false;
        }
        auto kept = qsizetype(length);
        if (m_buffer[std::size_t(kept - 1)] != '\n') {
            // Drop the rest of an overlong line.
            std::array<char, 4096> rest;
            qint64 got = 0;
            while ((got = m_device.readLine(rest.data(), qint64(rest.size()))) > 0 &&
                   rest[std::size_t(got - 1)] != '\n') {
            }
        }
        while (kept > 0 && (m_buffer[std::size_t(kept - 1)] == '\n' ||
                            m_buffer[std::size_t(kept - 1)] == '\r')) {
            --kept;
        }
        line = QByteArrayView(m_buffer.data(), kept);
        ++m_number;
        return true;
    }

    int number() const { return m_number; }

private:
    QIODevice& m_device;
    std::array<char, kMaxKeptLine + 2> m_buffer{};
    int m_number = 0;
};

// The number from character 17 of the count line: optional spaces, an optional sign,
// digits, optional trailing spaces. No value when there is nothing of that shape.
std::optional<qint64> countValue(QByteArrayView line) {
    constexpr qsizetype kCountStart = 16;
    if (line.size() <= kCountStart) {
        return std::nullopt;
    }
    const QByteArrayView text = line.sliced(kCountStart).trimmed();
    qsizetype at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at == text.size() || text.size() - at > 12) {
        return std::nullopt;
    }
    qint64 value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[at] - '0');
    }
    return negative ? -value : value;
}

// One 6-character value field: a number with at most one decimal point, "OL" or "-OL",
// right-aligned with spaces.
std::optional<double> fieldValue(QByteArrayView field) {
    const QByteArrayView text = field.trimmed();
    if (text == "OL") {
        return std::numeric_limits<double>::infinity();
    }
    if (text == "-OL") {
        return -std::numeric_limits<double>::infinity();
    }
    // Digits and at most one decimal point; the value is the whole number of the digits
    // divided by a power of ten, both exact in a double, so the one rounding gives the same
    // double as reading the decimal text would.
    const bool negative = text.startsWith('-');
    qint64 digits = 0;
    int digitCount = 0;
    int decimals = -1;
    for (qsizetype at = negative ? 1 : 0; at < text.size(); ++at) {
        const char c = text[at];
        if (c >= '0' && c <= '9') {
            digits = digits * 10 + (c - '0');
            ++digitCount;
            decimals += decimals >= 0 ? 1 : 0;
        } else if (c == '.' && decimals < 0) {
            decimals = 0;
        } else {
            return std::nullopt;
        }
    }
    if (digitCount == 0) {
        return std::nullopt;
    }
    double value = double(digits);
    if (decimals > 0) {
        double scale = 1;
        for (int d = 0; d < decimals; ++d) {
            scale *= 10;
        }
        value /= scale;
    }
    return negative ? -value : value;
}

// Index into DataFileRow::values of value column k (0-based) of a file.
std::size_t valueSlot(int column, int channelCount) {
    const int unit = column / channelCount;
    const int channel = column % channelCount;
    return std::size_t(unit * live::kChannels + channel);
}

bool parseDataLine(QByteArrayView line, int channelCount, DataFileRow& row) {
    const int columns = valueColumnCount(channelCount);
    const qsizetype end = kFirstValueStart - 1 + kValueStep * (columns - 1) + kValueWidth;
    if (line.size() < end || line[kStampStart - 2] != '\t' ||
        line[kStampStart - 1 + kStampLength] != '\t' || line[kTypePosition] != '\t') {
        return false;
    }
    row.values.fill(std::numeric_limits<double>::quiet_NaN());
    for (int column = 0; column < columns; ++column) {
        const qsizetype start = kFirstValueStart - 1 + kValueStep * column;
        if (column + 1 < columns && line[start + kValueWidth] != '\t') {
            return false;
        }
        const std::optional<double> value = fieldValue(line.sliced(start, kValueWidth));
        if (!value) {
            return false;
        }
        row.values[valueSlot(column, channelCount)] = *value;
    }
    std::copy_n(line.constData() + kStampStart - 1, kStampLength, row.stamp.begin());
    return true;
}

DataFileContents refused(const QString& message) {
    DataFileContents contents;
    contents.error = message;
    return contents;
}

} // namespace

QString DataFileRow::stampText() const {
    return QString::fromLatin1(stamp.data(), qsizetype(stamp.size()));
}

double DataFileRow::value(live::TempUnit unit, int channel) const {
    if (channel < 1 || channel > live::kChannels) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    return values[std::size_t(int(unit) * live::kChannels + channel - 1)];
}

DataFileContents readDataFile(QIODevice& device, const QString& name) {
    LineSource lines(device);
    QByteArrayView line;

    if (!lines.next(line)) {
        return refused(QStringLiteral("The file %1 is empty.").arg(name));
    }
    const std::optional<qint64> count = countValue(line);
    if (!count) {
        return refused(
            QStringLiteral("The file %1 is not a data file: its first line holds no record count.")
                .arg(name));
    }
    if (*count < 0 || *count > kMaxRecords) {
        return refused(QStringLiteral("The file %1 claims %2 records; a data file holds 0 to %3.")
                           .arg(name)
                           .arg(*count)
                           .arg(kMaxRecords));
    }

    if (!lines.next(line)) {
        return refused(QStringLiteral("The file %1 ends before its column header.").arg(name));
    }
    DataFileContents contents;
    contents.declaredCount = int(*count);
    contents.channelCount = line.contains('4') ? 4 : line.contains('2') ? 2 : 1;

    lines.next(line); // the separator

    // Reserve by the count only as far as the file can back it: a data line has at least 51
    // characters, so a short file cannot make us reserve for 864000 rows.
    const qint64 bytesLeft = device.isSequential() ? 0 : device.size() - device.pos();
    contents.rows.reserve(std::size_t(std::min<qint64>(*count, bytesLeft / 51 + 1)));

    while (qsizetype(contents.rows.size()) < contents.declaredCount) {
        if (!lines.next(line)) {
            contents.warning = QStringLiteral("The file %1 claims %2 records but holds only %3.")
                                   .arg(name)
                                   .arg(contents.declaredCount)
                                   .arg(contents.rows.size());
            break;
        }
        DataFileRow row;
        if (!parseDataLine(line, contents.channelCount, row)) {
            contents.warning =
                QStringLiteral("Line %1 of the file %2 is not a data line; only the %3 records "
                               "before it were read.")
                    .arg(lines.number())
                    .arg(name)
                    .arg(contents.rows.size());
            break;
        }
        if (contents.rows.empty()) {
            contents.typeLetter = QChar::fromLatin1(line[kTypePosition - 1]);
        }
        contents.rows.push_back(row);
    }
    return contents;
}

DataFileContents readDataFile(const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return refused(
            QStringLiteral("Cannot open the file %1: %2.").arg(name, file.errorString()));
    }
    return readDataFile(file, name);
}

} // namespace plot
