#include "plot/plotdata.h"

#include "recording/datafilereader.h"
#include "recording/datarow.h"
#include "settings/typerange.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <limits>
#include <optional>

namespace plot {

namespace {

// Reads the date-times of a file quickly: a recording keeps its date for 86400 rows, so the
// day is worked out once per date and only the time of day per row.
class StampReader {
public:
    qint64 read(QByteArrayView text) {
        if (m_hasDate && text.first(11) == QByteArrayView(m_date.data(), 11)) {
            const int h = two(text, 11);
            const int m = two(text, 14);
            const int s = two(text, 17);
            if (text[13] == ':' && text[16] == ':' && h >= 0 && h < 24 && m >= 0 && m < 60 &&
                s >= 0 && s < 60)
                return m_day + h * 3600 + m * 60 + s;
            return kNoStamp;
        }
        const std::optional<qint64> stamp = recording::stampFromText(text);
        if (!stamp)
            return kNoStamp;
        std::copy_n(text.data(), 11, m_date.data());
        m_day = *stamp - (*stamp % 86400 + 86400) % 86400;
        m_hasDate = true;
        return *stamp;
    }

private:
    static int two(QByteArrayView text, int at) {
        const char hi = text[at];
        const char lo = text[at + 1];
        if (hi < '0' || hi > '9' || lo < '0' || lo > '9')
            return -1;
        return (hi - '0') * 10 + (lo - '0');
    }
    std::array<char, 11> m_date{};
    qint64 m_day = 0;
    bool m_hasDate = false;
};

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

QString PlotData::stampText(qint64 index) const {
    if (const std::optional<qint64> at = stamp(index))
        return QString::fromLatin1(recording::stampText(*at));
    const auto odd = std::lower_bound(
        oddStamps.begin(), oddStamps.end(), index,
        [](const std::pair<qint64, QByteArray>& entry, qint64 i) { return entry.first < i; });
    return odd != oddStamps.end() && odd->first == index ? QString::fromLatin1(odd->second)
                                                         : QString();
}

qint64 usualStepOf(const std::vector<qint64>& stamps) {
    // The median of the steps between neighbours with real date-times, from at most 65536 of
    // them spread over the file: the recording interval, whatever pauses it had.
    std::vector<qint64> steps;
    const std::size_t stride = std::max<std::size_t>(1, stamps.size() / 65536);
    for (std::size_t i = 1; i < stamps.size(); i += stride) {
        if (stamps[i] == kNoStamp || stamps[i - 1] == kNoStamp)
            continue;
        const qint64 step =
            stamps[i] > stamps[i - 1] ? stamps[i] - stamps[i - 1] : stamps[i - 1] - stamps[i];
        if (step > 0)
            steps.push_back(step);
    }
    if (steps.empty())
        return 0;
    const auto middle = steps.begin() + std::ptrdiff_t(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

PlotLoad loadPlotData(QIODevice& device, const QString& name, live::TempUnit unit) {
    recording::DataFileReader reader(device, name);
    if (!reader.readHead())
        return refused(reader.error());

    PlotLoad load;
    PlotData& data = load.data;
    data.fileName = name;
    data.count = reader.count();
    data.unit = unit;
    data.channels = reader.channels();

    // Reserved by the count only as far as the file can back it.
    const auto reserve = std::size_t(reader.likelyRows());
    for (int c = 0; c < data.channels; ++c)
        data.columns[std::size_t(c)].reserve(reserve);
    data.stamps.reserve(reserve);

    StampReader stamps;
    while (reader.next(unit)) {
        if (data.rowsRead() == 0)
            data.typeLetter = QChar::fromLatin1(reader.type());
        for (int c = 0; c < data.channels; ++c)
            data.columns[std::size_t(c)].push_back(reader.value(c + 1));
        const qint64 stamp = stamps.read(reader.stampText());
        if (stamp == kNoStamp)
            data.oddStamps.emplace_back(qint64(data.stamps.size()),
                                        reader.stampText().toByteArray());
        data.stamps.push_back(stamp);
    }
    if (const QString error = reader.noDataError(); !error.isEmpty())
        return refused(error);
    if (reader.notADataLine()) {
        load.warning = QStringLiteral("Line %1 of the file %2 is not a data line; the %3 "
                                      "records from there on are drawn as 0.")
                           .arg(reader.lineNumber())
                           .arg(name)
                           .arg(data.count - data.rowsRead());
    } else if (reader.shortOfCount()) {
        load.warning = QStringLiteral("The file %1 claims %2 records but holds only %3; the "
                                      "missing records are drawn as 0.")
                           .arg(name)
                           .arg(data.count)
                           .arg(data.rowsRead());
    }
    data.usualStep = usualStepOf(data.stamps);
    if (const auto range = settings::typeRange(data.typeLetter, unit)) {
        data.typeMin = range->min;
        data.typeMax = range->max;
    } else {
        rangeFromData(data);
    }
    return load;
}

PlotLoad loadPlotData(const QString& path, live::TempUnit unit) {
    QFile file;
    if (const std::optional<QString> error = recording::openDataFile(file, path))
        return refused(*error);
    return loadPlotData(file, QDir::toNativeSeparators(path), unit);
}

} // namespace plot
