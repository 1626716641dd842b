#include "dataout/rowformat.h"

#include "live/readout.h"

#include <algorithm>
#include <charconv>

namespace dataout {

std::optional<Format> formatOf(const QString& name) {
    const QString key = name.trimmed().toLower();
    if (key == QLatin1String("text"))
        return Format::Text;
    if (key == QLatin1String("csv"))
        return Format::Csv;
    if (key == QLatin1String("jsonl"))
        return Format::Jsonl;
    return std::nullopt;
}

std::optional<live::TempUnit> unitOf(const QString& letter) {
    const QString key = letter.trimmed().toUpper();
    if (key == QLatin1String("C"))
        return live::TempUnit::Celsius;
    if (key == QLatin1String("F"))
        return live::TempUnit::Fahrenheit;
    if (key == QLatin1String("K"))
        return live::TempUnit::Kelvin;
    return std::nullopt;
}

QByteArray csvHeader(int channels) {
    QByteArray header("record,time,type");
    for (int c = 1; c <= channels; ++c) {
        header += ",T";
        header += char('0' + c);
    }
    return header + "\r\n";
}

void appendCsvField(QByteArray& out, QByteArrayView field) {
    const bool quoted =
        field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n');
    if (!quoted) {
        out.append(field);
        return;
    }
    out.append('"');
    for (const char c : field) {
        if (c == '"')
            out.append('"');
        out.append(c);
    }
    out.append('"');
}

bool appendPlainNumber(QByteArray& out, QByteArrayView text) {
    const bool negative = text.startsWith('-');
    const QByteArrayView digits = negative ? text.sliced(1) : text;
    const qsizetype point = digits.indexOf('.');
    const QByteArrayView whole = point < 0 ? digits : digits.first(point);
    const QByteArrayView fraction = point < 0 ? QByteArrayView() : digits.sliced(point + 1);
    const auto allDigits = [](QByteArrayView part) {
        for (const char c : part)
            if (c < '0' || c > '9')
                return false;
        return true;
    };
    if (whole.size() + fraction.size() == 0 || !allDigits(whole) || !allDigits(fraction))
        return false;
    if (negative)
        out.append('-');
    // No leading zeros but one ("007.5" is 7.5, ".5" is 0.5): JSON's grammar for numbers.
    qsizetype first = 0;
    while (first + 1 < whole.size() && whole[first] == '0')
        ++first;
    out.append(whole.isEmpty() ? QByteArrayView("0") : whole.sliced(first));
    if (!fraction.isEmpty()) {
        out.append('.');
        out.append(fraction);
    }
    return true;
}

QByteArray plainNumber(QByteArrayView text) {
    QByteArray number;
    appendPlainNumber(number, text);
    return number;
}

void appendCsvRow(QByteArray& out, const Row& row) {
    char number[24];
    out.append(number, std::to_chars(number, number + sizeof number, row.record).ptr - number);
    out.append(',');
    appendCsvField(out, row.time);
    out.append(',');
    if (row.type != 0)
        appendCsvField(out, QByteArrayView(&row.type, 1));
    for (int c = 0; c < row.channels; ++c) {
        out.append(',');
        appendPlainNumber(out, row.values[std::size_t(c)]);
    }
    out.append("\r\n");
}

namespace {

// A JSON string of Latin-1 text (a file's bytes), escaped where JSON asks.
void appendJsonString(QByteArray& out, QByteArrayView text) {
    out.append('"');
    for (const char c : text) {
        const auto byte = quint8(c);
        if (c == '"' || c == '\\') {
            out.append('\\');
            out.append(c);
        } else if (byte < 0x20) {
            out.append("\\u00");
            out.append("0123456789abcdef"[byte >> 4]);
            out.append("0123456789abcdef"[byte & 0x0F]);
        } else if (byte >= 0x80) {
            out.append(QString(QChar::fromLatin1(c)).toUtf8());
        } else {
            out.append(c);
        }
    }
    out.append('"');
}

} // namespace

void appendJsonLine(QByteArray& out, const Row& row) {
    out.append("{\"time\":");
    appendJsonString(out, row.time);
    out.append(",\"type\":");
    if (row.type != 0)
        appendJsonString(out, QByteArrayView(&row.type, 1));
    else
        out.append("null");
    out.append(",\"unit\":\"");
    out.append(live::unitLetter(row.unit));
    out.append('"');
    for (int c = 0; c < row.channels; ++c) {
        out.append(",\"T");
        out.append(char('1' + c));
        out.append("\":");
        if (!appendPlainNumber(out, row.values[std::size_t(c)]))
            out.append("null");
    }
    if (row.memory) {
        out.append(",\"memory\":");
        out.append(QByteArray::number(*row.memory));
    }
    out.append("}\n");
}

void appendDataRow(QByteArray& out, Format format, qint64 record, const recording::DataRow& data,
                   int channels, live::TempUnit unit, std::optional<int> memory) {
    QByteArray stamp;
    recording::appendRowStamp(stamp, data);
    const QByteArray time = isoFromFileStamp(stamp);
    Row row;
    row.record = record;
    row.time = time;
    row.type = data.type;
    row.channels = std::clamp(channels, 0, live::kChannels);
    row.unit = unit;
    row.memory = memory;
    std::array<QByteArray, live::kChannels> texts;
    for (int c = 0; c < row.channels; ++c) {
        texts[std::size_t(c)] =
            live::formatReading(data.raw[std::size_t(c)], unit, QChar::fromLatin1(data.type))
                .toLatin1();
        row.values[std::size_t(c)] = texts[std::size_t(c)];
    }
    if (format == Format::Jsonl)
        appendJsonLine(out, row);
    else
        appendCsvRow(out, row);
}

QByteArray isoFromFileStamp(QByteArrayView stamp) {
    QByteArray iso = stamp.toByteArray();
    if (iso.size() == 19) {
        iso[4] = '-';
        iso[7] = '-';
        iso[10] = 'T';
    }
    return iso;
}

QByteArray isoWithMilliseconds(const QDateTime& time) {
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")).toLatin1();
}

} // namespace dataout
