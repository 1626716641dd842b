#include "recording/statistics.h"

#include "recording/datafile.h"

#include <algorithm>
#include <utility>

namespace recording {

namespace {

// What the ranking needs of one record of one channel.
struct Entry {
    qint32 key = 0;
    bool over = false;
    bool under = false;
    std::size_t index = 0;
};

Entry entryOf(std::span<const DataRow> rows, std::size_t index, int channel) {
    const DataRow& row = rows[index];
    const quint16 raw = row.raw[std::size_t(channel)];
    return {live::celsiusKey(raw, QChar::fromLatin1(row.type)), raw == live::kRawOverRange,
            raw == live::kRawUnderRange, index};
}

// Deliberately not a strict order: an over-range reading beats another one in a Max list
// (an under-range one in a Min list), which is what puts the newest of them first.
bool beats(Ranking ranking, const Entry& x, const Entry& y) {
    const bool numbers = !x.over && !x.under && !y.over && !y.under;
    if (ranking == Ranking::Max)
        return x.over || y.under || (numbers && x.key > y.key);
    return x.under || y.over || (numbers && x.key < y.key);
}

const char* unitName(live::TempUnit unit) {
    switch (unit) {
    case live::TempUnit::Celsius:
        return "Celsius";
    case live::TempUnit::Fahrenheit:
        return "Fahrenheit";
    case live::TempUnit::Kelvin:
        break;
    }
    return "Kelvin";
}

QByteArray blockText(Ranking ranking, int topN, std::span<const DataRow> rows, int channelCount,
                     live::TempUnit unit) {
    if (!isSupportedChannelCount(channelCount))
        return {};
    QByteArray text = separatorRun(channelCount);
    text.append("\r\n");
    if (rows.size() < std::size_t(std::max(topN, 0)))
        return text;
    for (int channel = 0; channel < channelCount; ++channel) {
        text.append(ranking == Ranking::Max ? "Top 5 Max T" : "Top 5 Min T");
        text.append(char('1' + channel));
        text.append(' ');
        text.append(unitName(unit));
        text.append(" Value : \r\n");
        for (std::size_t index : topRecords(ranking, topN, rows, channel)) {
            const DataRow& row = rows[index];
            appendRowStamp(text, row);
            text.append("****");
            text.append(live::formatReading(row.raw[std::size_t(channel)], unit,
                                            QChar::fromLatin1(row.type))
                            .toLatin1());
            text.append("\r\n");
        }
    }
    return text;
}

} // namespace

std::vector<std::size_t> topRecords(Ranking ranking, int topN, std::span<const DataRow> rows,
                                    int channel) {
    if (topN < 0 || rows.size() < std::size_t(topN) || channel < 0 || channel >= live::kChannels)
        return {};
    const auto listed = std::size_t(topN);
    std::vector<Entry> list;
    list.reserve(listed);
    for (std::size_t i = 0; i < listed; ++i)
        list.push_back(entryOf(rows, i, channel));

    // Exchange pass over every (i, j) pair; with the predicate above it leaves the best first.
    for (std::size_t i = 0; i < listed; ++i) {
        for (std::size_t j = 0; j < listed; ++j)
            if (beats(ranking, list[i], list[j]))
                std::swap(list[i], list[j]);
    }

    for (std::size_t i = listed; i < rows.size(); ++i) {
        const Entry candidate = entryOf(rows, i, channel);
        for (std::size_t j = 0; j < listed; ++j) {
            if (beats(ranking, candidate, list[j])) {
                for (std::size_t k = listed - 1; k > j; --k)
                    list[k] = list[k - 1];
                list[j] = candidate;
                break;
            }
        }
    }

    std::vector<std::size_t> indices;
    indices.reserve(listed);
    for (const Entry& entry : list)
        indices.push_back(entry.index);
    return indices;
}

QByteArray topMaxText(int topN, std::span<const DataRow> rows, int channelCount,
                      live::TempUnit unit) {
    return blockText(Ranking::Max, topN, rows, channelCount, unit);
}

QByteArray topMinText(int topN, std::span<const DataRow> rows, int channelCount,
                      live::TempUnit unit) {
    return blockText(Ranking::Min, topN, rows, channelCount, unit);
}

} // namespace recording
