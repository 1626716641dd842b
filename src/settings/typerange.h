#pragma once

// The measuring range of each thermocouple type in each unit, in whole degrees. The alarm
// limits are checked against it and the plot window opens on it.

#include "live/framedecoder.h"

#include <QChar>

#include <optional>

namespace settings {

struct TypeRange {
    int max = 0;
    int min = 0;
};

// R and S share one row. Nothing for a letter that is not a thermocouple type.
std::optional<TypeRange> typeRange(QChar type, live::TempUnit unit);

} // namespace settings
