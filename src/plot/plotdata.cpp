#include "plot/plotdata.h"

#include "recording/datafile.h"
#include "settings/typerange.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <optional>

namespace plot {

namespace {

// Longer than any line a writer makes (4 channels: 114 characters plus CR LF); anything
// beyond is dropped so that a binary file without line ends cannot take all memory.
constexpr qsizetype kMaxKeptLine = 1024;
// The shortest data line (1 channel) has 49 characters and its line end.
constexpr qint64 kShortestDataLine = 51;

// 1-based character positions of a data line.
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
        line = QByteArrayView(m_buffer.data(), kept);
        ++m_number;
        return true;
    }

    qint64 number() const { return m_number; }

private:
    QIODevice& m_device;
    std::array<char, kMaxKeptLine + 2> m_buffer{};
    qint64 m_number = 0;
};

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

// One 6-character value field: a number with at most one decimal point, "OL" or "-OL",
// right-aligned with spaces.
std::optional<float> fieldValue(QByteArrayView field) {
    const QByteArrayView text = field.trimmed();
    if (text == "OL")
        return std::numeric_limits<float>::infinity();
    if (text == "-OL")
        return -std::numeric_limits<float>::infinity();
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
    if (digitCount == 0)
        return std::nullopt;
    double value = double(digits);
    for (int d = 0; d < decimals; ++d)
        value /= 10;
    return float(negative ? -value : value);
}

// The fields of `unit` of one data line into `out` (channels entries); false when the line
// does not have the shape of a data line of that many channels.
bool parseDataLine(QByteArrayView line, int channels, live::TempUnit unit, float* out) {
    const int columns = recording::valueColumnCount(channels);
    const qsizetype end =
        kFirstValueStart - 1 + kValueStep * (columns - 1) + recording::kValueWidth;
    if (line.size() < end || line[6] != '\t' || line[26] != '\t' || line[kTypePosition] != '\t')
        return false;
    for (int column = 0; column + 1 < columns; ++column)
        if (line[kFirstValueStart - 1 + kValueStep * column + recording::kValueWidth] != '\t')
            return false;
    for (int channel = 0; channel < channels; ++channel) {
        const int column = int(unit) * channels + channel;
        const qsizetype start = kFirstValueStart - 1 + kValueStep * column;
        const std::optional<float> value = fieldValue(line.sliced(start, recording::kValueWidth));
        if (!value)
            return false;
        out[channel] = *value;
    }
    return true;
}

PlotLoad refused(const QString& message) {
    PlotLoad load;
    load.error = message;
    return load;
}

// Whole degrees around the finite values, for a file whose type has no range.
void rangeFromData(PlotData& data) {
    float low = std::numeric_limits<float>::infinity();
    float high = -low;
    for (int c = 0; c < data.channels; ++c) {
        for (const float v : data.columns[std::size_t(c)]) {
            if (std::isfinite(v)) {
                low = std::min(low, v);
                high = std::max(high, v);
            }
        }
    }
    if (data.rowsRead() < data.count) {
        low = std::min(low, 0.0f); // the missing records are drawn as 0
        high = std::max(high, 0.0f);
    }
    if (!std::isfinite(low)) {
        low = 0;
        high = 100;
    }
    data.typeMin = int(std::floor(low));
    data.typeMax = int(std::ceil(high));
    if (data.typeMax <= data.typeMin)
        data.typeMax = data.typeMin + 1;
}

} // namespace

PlotLoad loadPlotData(QIODevice& device, const QString& name, live::TempUnit unit) {
    LineSource lines(device);
    QByteArrayView line;

    if (!lines.next(line))
        return refused(QStringLiteral("The file %1 is empty.").arg(name));
    const std::optional<qint64> count = countValue(line);
    if (!count) {
        return refused(
            QStringLiteral("The file %1 is not a data file: its first line holds no record count.")
                .arg(name));
    }
    if (*count == 0)
        return refused(QStringLiteral("The file %1 holds no records.").arg(name));
    if (*count < 0 || *count > recording::kMaxRecords) {
        return refused(QStringLiteral("The file %1 claims %2 records; a data file holds 1 to %3.")
                           .arg(name)
                           .arg(*count)
                           .arg(recording::kMaxRecords));
    }
    if (!lines.next(line))
        return refused(QStringLiteral("The file %1 ends before its column header.").arg(name));

    PlotLoad load;
    PlotData& data = load.data;
    data.fileName = name;
    data.count = *count;
    data.unit = unit;
    data.channels = line.contains('4') ? 4 : line.contains('2') ? 2 : 1;

    lines.next(line); // the separator

    // Reserve by the count only as far as the file can back it.
    const qint64 bytesLeft = device.isSequential() ? 0 : device.size() - device.pos();
    const auto reserve = std::size_t(std::min(*count, bytesLeft / kShortestDataLine + 1));
    for (int c = 0; c < data.channels; ++c)
        data.columns[std::size_t(c)].reserve(reserve);

    std::array<float, 4> values{};
    while (data.rowsRead() < data.count) {
        if (!lines.next(line)) {
            load.warning = QStringLiteral("The file %1 claims %2 records but holds only %3; the "
                                          "missing records are drawn as 0.")
                               .arg(name)
                               .arg(data.count)
                               .arg(data.rowsRead());
            break;
        }
        if (!parseDataLine(line, data.channels, unit, values.data())) {
            load.warning = QStringLiteral("Line %1 of the file %2 is not a data line; the %3 "
                                          "records from there on are drawn as 0.")
                               .arg(lines.number())
                               .arg(name)
                               .arg(data.count - data.rowsRead());
            break;
        }
        if (data.rowsRead() == 0)
            data.typeLetter = QChar::fromLatin1(line[kTypePosition - 1]);
        for (int c = 0; c < data.channels; ++c)
            data.columns[std::size_t(c)].push_back(values[std::size_t(c)]);
    }
    if (data.rowsRead() == 0) {
        return refused(lines.number() < 4
                           ? QStringLiteral("The file %1 has no data lines.").arg(name)
                           : QStringLiteral("The file %1 is not a data file: line 4 is not a "
                                            "data line.")
                                 .arg(name));
    }
    if (const auto range = settings::typeRange(data.typeLetter, unit)) {
        data.typeMin = range->min;
        data.typeMax = range->max;
    } else {
        rangeFromData(data);
    }
    return load;
}

PlotLoad loadPlotData(const QString& path, live::TempUnit unit) {
    const QString name = QDir::toNativeSeparators(path);
    // Read only from a regular file: a device never ends (/dev/zero) and a FIFO holds the
    // open until a writer comes.
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return refused(
            QStringLiteral("The file %1 is not a data file: it is not a plain file.").arg(name));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return refused(
            QStringLiteral("Cannot open the file %1: %2.").arg(name, file.errorString()));
    }
    return loadPlotData(file, name, unit);
}

} // namespace plot
