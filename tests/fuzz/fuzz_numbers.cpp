// Any typed text through the number rules of the panels.

#include "base/numbers.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const double leading = base::leadingNumber(text, false);
    const double hex = base::leadingNumber(text, true);
    const std::optional<double> whole = base::parseNumber(text);
    // The rules promise a number for any text (NaN only from parseNumber's refusal).
    if (std::isnan(leading) || std::isnan(hex) || (whole && std::isnan(*whole)))
        std::abort();
    const int clamped = base::roundClamp(leading, -1000, 1000);
    if (clamped < -1000 || clamped > 1000)
        std::abort();
    (void)base::roundHalfEven(hex);
    return 0;
}
