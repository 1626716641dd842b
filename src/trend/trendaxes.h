#pragma once

// Where the trend chart puts its grid: a value axis fitted to the data shown and a time axis
// at round clock times.

#include <QtGlobal>

namespace trend {

struct ValueAxis {
    double low = 0;
    double high = 1;
    double step = 1; // between grid lines, a 1, 2 or 5 times a power of ten
};

// The range [min, max] widened by a small margin to round grid lines, about `lines` of them;
// a flat trace gets a range of at least a degree around it.
ValueAxis fitValueAxis(double min, double max, int lines);

// The round step (1 s ... 1 day) that puts at most `marks` clock times on `spanMs`.
qint64 timeStep(qint64 spanMs, int marks);

} // namespace trend
