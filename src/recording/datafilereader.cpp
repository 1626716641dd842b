#include "recording/datafilereader.h"

#include "recording/datafile.h"

#include <QDir>

#include <sys/stat.h>

#include <algorithm>
#include <limits>

namespace recording {

namespace {

// The shortest data line (1 channel) has 49 characters and its line end.
constexpr qint64 kShortestDataLine = 51;

// 1-based character positions of a data line.
constexpr int kTypePosition = 28;
constexpr int kFirstValueStart = 30;
constexpr int kValueStep = 7;

// The number from character 17 of the count line: optional spaces, an optional sign,
// digits, optional trailing spaces. No value when there is nothing of that shape.
std::optional<qint64> countValue(QByteArrayView line) {
    constexpr qsizetype kCountStart = 16;
    if (line.size() <= kCountStart)
        return std::nullopt;
    const QByteArrayView text = line.sliced(kCountStart).trimmed();
    qsizetype at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) {
        negative = text[at] == '-';
        ++at;
    }
    if (at == text.size() || text.size() - at > 12)
        return std::nullopt;
    qint64 value = 0;
    for (; at < text.size(); ++at) {
        if (text[at] < '0' || text[at] > '9')
            return std::nullopt;
        value = value * 10 + (text[at] - '0');
    }
    return negative ? -value : value;
}

// One 6-character value field: a number with at most one decimal point, "OL", "-OL" or
// nothing, right-aligned with spaces. False for anything else.
bool readField(QByteArrayView field, FieldKind& kind, float& value, QByteArrayView& text) {
    // Trimmed by hand: this runs for every field of a file of ten million.
    qsizetype from = 0;
    qsizetype to = field.size();
    while (from < to && (field[from] == ' ' || field[from] == '\t'))
        ++from;
    while (to > from && (field[to - 1] == ' ' || field[to - 1] == '\t'))
        --to;
    text = field.sliced(from, to - from);
    if (text.isEmpty()) {
        kind = FieldKind::Blank;
        value = 0;
        return true;
    }
    if (text == "OL") {
        kind = FieldKind::OverRange;
        value = std::numeric_limits<float>::infinity();
        return true;
    }
    if (text == "-OL") {
        kind = FieldKind::UnderRange;
        value = -std::numeric_limits<float>::infinity();
        return true;
    }
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
            return false;
        }
    }
    if (digitCount == 0)
        return false;
    double number = double(digits);
    for (int d = 0; d < decimals; ++d)
        number /= 10;
    kind = FieldKind::Number;
    value = float(negative ? -number : number);
    return true;
}

} // namespace

DataFileReader::DataFileReader(QIODevice& device, QString name)
    : m_device(device)
    , m_name(std::move(name)) {}

bool DataFileReader::nextLine() {
    const qint64 length = m_device.readLine(m_buffer.data(), qint64(m_buffer.size()));
    if (length <= 0)
        return false;
    auto kept = qsizetype(length);
    if (m_buffer[std::size_t(kept - 1)] != '\n') {
        // Drop the rest of an overlong line.
        std::array<char, 4096> rest;
        qint64 got = 0;
        while ((got = m_device.readLine(rest.data(), qint64(rest.size()))) > 0 &&
               rest[std::size_t(got - 1)] != '\n') {
        }
    }
    while (kept > 0 &&
           (m_buffer[std::size_t(kept - 1)] == '\n' || m_buffer[std::size_t(kept - 1)] == '\r'))
        --kept;
    m_line = QByteArrayView(m_buffer.data(), kept);
    ++m_lineNumber;
    return true;
}

bool DataFileReader::readHead() {
    if (!nextLine()) {
        m_error = QStringLiteral("The file %1 is empty.").arg(m_name);
        return false;
    }
    const std::optional<qint64> count = countValue(m_line);
    if (!count) {
        m_error =
            QStringLiteral("The file %1 is not a data file: its first line holds no record count.")
                .arg(m_name);
        return false;
    }
    if (*count == 0) {
        m_error = QStringLiteral("The file %1 holds no records.").arg(m_name);
        return false;
    }
    if (*count < 0 || *count > kMaxRecords) {
        m_error = QStringLiteral("The file %1 claims %2 records; a data file holds 1 to %3.")
                      .arg(m_name)
                      .arg(*count)
                      .arg(kMaxRecords);
        return false;
    }
    if (!nextLine()) {
        m_error = QStringLiteral("The file %1 ends before its column header.").arg(m_name);
        return false;
    }
    m_count = *count;
    m_channels = m_line.contains('4') ? 4 : m_line.contains('2') ? 2 : 1;
    nextLine(); // the separator
    return true;
}

qint64 DataFileReader::likelyRows() const {
    const qint64 bytesLeft = m_device.isSequential() ? 0 : m_device.size() - m_device.pos();
    return std::min(m_count - m_rows, bytesLeft / kShortestDataLine + 1);
}

bool DataFileReader::next(live::TempUnit unit) {
    if (m_rows >= m_count || m_badLine)
        return false;
    if (!nextLine())
        return false;
    if (!parse(unit)) {
        m_badLine = true;
        return false;
    }
    ++m_rows;
    return true;
}

// The shape of a data line of this many channels, and the fields of `unit`.
bool DataFileReader::parse(live::TempUnit unit) {
    const int columns = valueColumnCount(m_channels);
    const qsizetype end = kFirstValueStart - 1 + kValueStep * (columns - 1) + kValueWidth;
    const QByteArrayView line = m_line;
    if (line.size() < end || line[6] != '\t' || line[26] != '\t' || line[kTypePosition] != '\t')
        return false;
    for (int column = 0; column + 1 < columns; ++column)
        if (line[kFirstValueStart - 1 + kValueStep * column + kValueWidth] != '\t')
            return false;
    for (int channel = 0; channel < m_channels; ++channel) {
        const int column = int(unit) * m_channels + channel;
        const qsizetype start = kFirstValueStart - 1 + kValueStep * column;
        const auto c = std::size_t(channel);
        if (!readField(line.sliced(start, kValueWidth), m_kinds[c], m_values[c], m_texts[c]))
            return false;
    }
    return true;
}

QString DataFileReader::noDataError() const {
    if (m_rows > 0)
        return {};
    return m_lineNumber < 4
               ? QStringLiteral("The file %1 has no data lines.").arg(m_name)
               : QStringLiteral("The file %1 is not a data file: line 4 is not a data line.")
                     .arg(m_name);
}

std::optional<QString> openDataFile(QFile& file, const QString& path) {
    const QString name = QDir::toNativeSeparators(path);
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return QStringLiteral("The file %1 is not a data file: it is not a plain file.").arg(name);
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("Cannot open the file %1: %2.").arg(name, file.errorString());
    return std::nullopt;
}

std::optional<live::TempUnit> trailerUnit(QIODevice& device) {
    if (device.isSequential())
        return std::nullopt;
    // The trailer of 4 channels is under 2 KiB; the rest is room for stray lines after it.
    constexpr qint64 kTail = 64 * 1024;
    const qint64 position = device.pos();
    const qint64 from = std::max<qint64>(0, device.size() - kTail);
    QByteArray tail;
    if (device.seek(from))
        tail = device.read(kTail);
    device.seek(position);
    // The first heading of the Max block; with fewer than five records there is none.
    static constexpr QByteArrayView kHeading("\nTop 5 Max T1 ");
    const qsizetype at = tail.indexOf(kHeading);
    if (at < 0)
        return std::nullopt;
    const QByteArrayView word = QByteArrayView(tail).sliced(at + kHeading.size());
    if (word.startsWith("Celsius Value"))
        return live::TempUnit::Celsius;
    if (word.startsWith("Fahrenheit Value"))
        return live::TempUnit::Fahrenheit;
    if (word.startsWith("Kelvin Value"))
        return live::TempUnit::Kelvin;
    return std::nullopt;
}

} // namespace recording
