#include "recording/datafile.h"

#include "live/readout.h"

#include "recording/statistics.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

namespace recording {

namespace {

constexpr char kCrLf[] = "\r\n";

// One value column of a data line: all channels in Celsius come first, then Fahrenheit,
// then Kelvin.
struct ValueColumn {
    int channel;
    live::TempUnit unit;
};

int channelsPresent(int channelCount) {
    return isSupportedChannelCount(channelCount) ? channelCount : 0;
}

template <typename Fn> void forEachValueColumn(int channelCount, Fn&& fn) {
    const int channels = channelsPresent(channelCount);
    for (live::TempUnit unit :
         {live::TempUnit::Celsius, live::TempUnit::Fahrenheit, live::TempUnit::Kelvin})
        for (int channel = 0; channel < channels; ++channel)
            fn(ValueColumn{channel, unit});
}

// Widest text of one value: formatReading of a 16-bit word gives at most 7 characters
// ("-1234.5"); the room is generous so that no value is ever cut.
constexpr int kMaxValueText = 15;
// Record number (at most 11 characters for an int), the fixed fields and 12 values.
constexpr int kMaxLineLength = 11 + 1 + kStampLength + 1 + 1 + 12 * (1 + kMaxValueText) + 2;

struct Field {
    const char* text;
    int length;
};

// Right-aligns `text` in the value width into `slot` (kMaxValueText characters).
int padValue(const QString& text, char* slot) {
    const QByteArray latin = text.toLatin1();
    Q_ASSERT(latin.size() <= kMaxValueText);
    const int length = int(std::min<qsizetype>(latin.size(), kMaxValueText));
    const int pad = std::max(kValueWidth - length, 0);
    std::fill_n(slot, pad, ' ');
    std::copy_n(latin.constData(), length, slot + pad);
    return pad + length;
}

// Formats each value as it comes; enough for one line per sample.
class DirectFields {
public:
    Field field(quint16 raw, live::TempUnit unit, char type) {
        const int length =
            padValue(live::formatReading(raw, unit, QChar::fromLatin1(type)), m_slot);
        return {m_slot, length};
    }

private:
    char m_slot[kMaxValueText];
};

// Ten days of samples mean ten million value fields, but a thermometer repeats the same few
// hundred readings; formatting each distinct (type, unit, raw) once keeps a whole-file write
// well under a second.
class CachedFields {
public:
    Field field(quint16 raw, live::TempUnit unit, char type) {
        Slot& slot = table(type)[std::size_t(int(unit) * kRawValues + raw)];
        if (slot.length == 0) {
            slot.length = quint8(
                padValue(live::formatReading(raw, unit, QChar::fromLatin1(type)), slot.text));
        }
        return {slot.text, slot.length};
    }

private:
    static constexpr int kRawValues = 65536;
    struct Slot {
        char text[kMaxValueText];
        quint8 length; // 0: not formatted yet
    };
    static_assert(std::is_trivial_v<Slot>);
    struct Free {
        void operator()(Slot* cells) const { std::free(cells); }
    };
    // Zeroed by calloc: fresh pages cost nothing until a reading lands on them, so a short
    // file (a memory download) does not pay for clearing three megabytes first.
    using Table = std::unique_ptr<Slot[], Free>;

    Slot* table(char type) {
        if (m_lastTable != nullptr && m_lastType == type)
            return m_lastTable;
        auto found = std::find_if(m_tables.begin(), m_tables.end(),
                                  [type](const auto& entry) { return entry.first == type; });
        if (found == m_tables.end()) {
            auto* cells =
                static_cast<Slot*>(std::calloc(std::size_t(3 * kRawValues), sizeof(Slot)));
            if (cells == nullptr)
                throw std::bad_alloc();
            m_tables.emplace_back(type, Table(cells));
            found = m_tables.end() - 1;
        }
        m_lastType = type;
        m_lastTable = found->second.get();
        return m_lastTable;
    }

    std::vector<std::pair<char, Table>> m_tables;
    char m_lastType = 0;
    Slot* m_lastTable = nullptr;
};

char* writeRecordNumber(char* at, int recordNumber) {
    char reversed[12];
    int length = 0;
    auto n = qint64(recordNumber);
    const bool negative = n < 0;
    n = negative ? -n : n;
    do {
        reversed[length++] = char('0' + n % 10);
        n /= 10;
    } while (n > 0);
    const int width = length + (negative ? 1 : 0);
    if (negative)
        *at++ = '-';
    while (length > 0)
        *at++ = reversed[--length];
    for (int pad = width; pad < kRecordNumberWidth; ++pad)
        *at++ = ' ';
    return at;
}

// Writes one data line (at most kMaxLineLength characters) at `at`; returns its end. The
// channel count must be a supported one.
template <typename Fields>
char* writeLine(char* at, int recordNumber, const DataRow& row, int channelCount, Fields& fields) {
    at = writeRecordNumber(at, recordNumber);
    *at++ = '\t';
    writeRowStamp(at, row);
    at += kStampLength;
    *at++ = '\t';
    *at++ = row.type;
    forEachValueColumn(channelCount, [&](ValueColumn column) {
        *at++ = '\t';
        const Field field =
            fields.field(row.raw[std::size_t(column.channel)], column.unit, row.type);
        at = std::copy_n(field.text, field.length, at);
    });
    *at++ = '\r';
    *at++ = '\n';
    return at;
}

} // namespace

bool isSupportedChannelCount(int channelCount) {
    return channelCount == 4 || channelCount == 2 || channelCount == 1;
}

int valueColumnCount(int channelCount) {
    return 3 * channelsPresent(channelCount);
}

QByteArray countLine(qint64 n) {
    QByteArray line("Total Records : ");
    line.append(QByteArray::number(n));
    line.append(kCrLf, 2);
    return line;
}

QByteArray headerLine(int channelCount) {
    if (!isSupportedChannelCount(channelCount))
        return {};
    QByteArray line("No.s \t      Date Time    \tType");
    forEachValueColumn(channelCount, [&](ValueColumn column) {
        line.append("\t   T");
        line.append(char('1' + column.channel));
        line.append(live::unitLetter(column.unit));
    });
    line.append(kCrLf, 2);
    return line;
}

QByteArray separatorRun(int channelCount) {
    switch (channelCount) {
    case 4:
        return QByteArray(135, '-');
    case 2:
        return QByteArray(87, '-');
    case 1:
        return QByteArray(63, '-');
    default:
        return {};
    }
}

QByteArray separatorLine(int channelCount) {
    if (!isSupportedChannelCount(channelCount))
        return {};
    return separatorRun(channelCount) + kCrLf;
}

void appendDataLine(QByteArray& out, int recordNumber, const DataRow& row, int channelCount) {
    if (!isSupportedChannelCount(channelCount))
        return;
    DirectFields fields;
    char line[kMaxLineLength];
    const char* end = writeLine(line, recordNumber, row, channelCount, fields);
    out.append(line, end - line);
}

QByteArray dataLine(int recordNumber, const DataRow& row, int channelCount) {
    QByteArray line;
    appendDataLine(line, recordNumber, row, channelCount);
    return line;
}

QByteArray trailerText(std::span<const DataRow> rows, int channelCount, live::TempUnit unit,
                       TrailerLayout layout) {
    constexpr int kTopN = 5;
    QByteArray text = topMaxText(kTopN, rows, channelCount, unit);
    if (layout == TrailerLayout::Recording)
        text.append(kCrLf, 2);
    text.append(topMinText(kTopN, rows, channelCount, unit));
    text.append(kCrLf, 2);
    return text;
}

void appendDataLines(QByteArray& out, std::span<const DataRow> rows, int channelCount,
                     int firstNumber) {
    if (!isSupportedChannelCount(channelCount) || rows.empty())
        return;
    // Lines are written straight into the buffer; it is sized for the usual line length and
    // grows only if values turn out wider.
    const qsizetype usualLine = 30 + 7 * valueColumnCount(channelCount);
    qsizetype used = out.size();
    out.resize(used + qsizetype(rows.size()) * usualLine + kMaxLineLength);
    CachedFields fields;
    int recordNumber = firstNumber;
    for (const DataRow& row : rows) {
        if (out.size() - used < kMaxLineLength)
            out.resize(out.size() + out.size() / 2 + kMaxLineLength);
        char* const start = out.data() + used;
        used += writeLine(start, recordNumber++, row, channelCount, fields) - start;
    }
    out.resize(used);
}

QByteArray fileText(std::span<const DataRow> rows, int channelCount, live::TempUnit unit,
                    TrailerLayout layout) {
    QByteArray text = countLine(qint64(rows.size()));
    text.append(headerLine(channelCount));
    text.append(separatorLine(channelCount));
    appendDataLines(text, rows, channelCount);
    text.append(trailerText(rows, channelCount, unit, layout));
    return text;
}

} // namespace recording
