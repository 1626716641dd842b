#include "memory/memoryrecords.h"

#include "live/framedecoder.h"

#include <algorithm>

namespace memory {

std::vector<recording::DataRow> decodeRecords(QByteArrayView bytes, int count, QChar typeLetter) {
    const auto available = int(std::min<qsizetype>(bytes.size() / kRecordLength, count));
    std::vector<recording::DataRow> rows;
    rows.reserve(std::size_t(std::max(available, 0)));
    // Code 7 names no type and keeps the one before; when nothing named one yet, the column
    // stays blank, as in a recording: never a type the meter did not report.
    QChar letter = typeLetter.isNull() ? QChar(u' ') : typeLetter;
    int unusedChannelCount = 0;
    const auto* data = reinterpret_cast<const uchar*>(bytes.data());
    for (int i = 0; i < available; ++i) {
        const uchar* record = data + qsizetype(i) * kRecordLength;
        recording::DataRow row;
        row.meterClock = true;
        std::copy_n(record + kClockOffset, row.clock.size(), row.clock.begin());
        live::decodeTypeByte(record[kStatusOffset], letter, unusedChannelCount, true);
        row.type = char(letter.toLatin1());
        for (std::size_t ch = 0; ch < row.raw.size(); ++ch) {
            const uchar* word = record + kReadingsOffset + 2 * ch;
            row.raw[ch] = quint16((word[0] << 8) | word[1]);
        }
        rows.push_back(row);
    }
    return rows;
}

QString progressText(double percent) {
    return QString::number(std::clamp(percent, 0.0, 100.0), 'f', 1) + QStringLiteral("% Completed");
}

} // namespace memory
