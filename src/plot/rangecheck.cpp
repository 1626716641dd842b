#include "plot/rangecheck.h"

#include "base/numbers.h"

namespace plot {

bool valueRangeAccepted(double low, double high, const PlotData& data) {
    return low < high && low >= data.typeMin && high <= data.typeMax;
}

bool recordRangeAccepted(double r1, double r2, const PlotData& data) {
    return r1 >= 1 && r1 < r2 && r2 <= double(data.count);
}

std::optional<PlotView> viewFromTexts(const QString& t1, const QString& t2, const QString& r1,
                                      const QString& r2, const PlotData& data) {
    const double low = base::leadingNumber(t1);
    const double high = base::leadingNumber(t2);
    const double first = base::leadingNumber(r1);
    const double last = base::leadingNumber(r2);
    if (!valueRangeAccepted(low, high, data) || !recordRangeAccepted(first, last, data))
        return std::nullopt;
    // Whole records: typed digits are whole already; a pasted fraction starts at its record.
    return PlotView{qint64(first), qint64(last), low, high};
}

} // namespace plot
