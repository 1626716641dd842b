#include "trend/trendaxes.h"

#include <algorithm>
#include <cmath>

namespace trend {

ValueAxis fitValueAxis(double min, double max, int lines) {
    if (max < min)
        std::swap(min, max);
    if (max - min < 1.0) {
        const double middle = (min + max) / 2;
        min = middle - 0.5;
        max = middle + 0.5;
    }
    const double margin = (max - min) * 0.05;
    min -= margin;
    max += margin;
    const double rough = (max - min) / std::max(lines, 1);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    double step = power * 10;
    for (const double m : {1.0, 2.0, 5.0})
        if (rough <= m * power) {
            step = m * power;
            break;
        }
    return {std::floor(min / step) * step, std::ceil(max / step) * step, step};
}

qint64 timeStep(qint64 spanMs, int marks) {
    constexpr qint64 kSecond = 1000;
    constexpr qint64 kMinute = 60 * kSecond;
    constexpr qint64 kHour = 60 * kMinute;
    constexpr qint64 kSteps[] = {
        kSecond, 2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
        kMinute, 2 * kMinute, 5 * kMinute, 10 * kMinute, 15 * kMinute, 30 * kMinute,
        kHour,   2 * kHour,   3 * kHour,   6 * kHour,    12 * kHour,   24 * kHour};
    for (const qint64 step : kSteps)
        if (spanMs / step <= marks)
            return step;
    return 24 * kHour * (spanMs / (24 * kHour * std::max(marks, 1)) + 1);
}

} // namespace trend
