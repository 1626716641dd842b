#include "settings/typerange.h"

#include <array>

namespace settings {

namespace {

struct Row {
    char types[3];
    std::array<TypeRange, 3> ranges; // Celsius, Fahrenheit, Kelvin
};

constexpr std::array<Row, 6> kRows{{
    {"K", {{{1375, -200}, {2507, -328}, {1648, 73}}}},
    {"J", {{{1200, -210}, {2192, -346}, {1473, 63}}}},
    {"E", {{{1000, -210}, {1832, -346}, {1273, 63}}}},
    {"T", {{{400, -250}, {752, -418}, {673, 23}}}},
    {"N", {{{1300, -150}, {2372, -238}, {1573, 123}}}},
    {"RS", {{{1770, 0}, {3218, 32}, {2043, 273}}}},
}};

} // namespace

std::optional<TypeRange> typeRange(QChar type, live::TempUnit unit) {
    const char letter = type.toLatin1();
    if (letter == 0)
        return std::nullopt;
    for (const Row& row : kRows) {
        for (const char t : row.types)
            if (t == letter)
                return row.ranges[std::size_t(unit)];
    }
    return std::nullopt;
}

} // namespace settings
