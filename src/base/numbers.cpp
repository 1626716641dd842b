#include "base/numbers.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace base {

double roundHalfEven(double value) {
    if (!std::isfinite(value))
        return value;
    const double lower = std::floor(value);
    const double fraction = value - lower;
    if (fraction < 0.5)
        return lower;
    if (fraction > 0.5)
        return lower + 1;
    return std::fmod(lower, 2.0) == 0 ? lower : lower + 1;
}

int roundClamp(double value, int lo, int hi) {
    if (std::isnan(value))
        return lo;
    const double rounded = roundHalfEven(std::clamp(value, double(lo) - 1, double(hi) + 1));
    return std::clamp(int(rounded), lo, hi);
}

std::optional<double> parseNumber(const QString& text) {
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = c.toDouble(text.trimmed(), &ok);
    if (!ok || std::isnan(value))
        return std::nullopt;
    return value;
}

double leadingNumber(const QString& text, bool allowHex) {
    int i = 0;
    const int n = int(text.size());
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    if (allowHex && i + 1 < n &&
        ((text[i] == u'&' && (text[i + 1] == u'H' || text[i + 1] == u'h')) ||
         (text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')))) {
        double value = 0;
        for (int j = i + 2; j < n; ++j) {
            const char c = text[j].toLatin1();
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                              : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                     : -1;
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        return value;
    }
    const auto isDigit = [&](int k) { return k < n && text[k] >= u'0' && text[k] <= u'9'; };
    const int start = i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    bool digits = false;
    while (isDigit(i)) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (isDigit(i)) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    int end = i;
    // An exponent counts only when digits follow it: "1e" is 1, "1e3" is 1000.
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        int j = i + 1;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            ++j;
        if (isDigit(j)) {
            while (isDigit(j))
                ++j;
            end = j;
        }
    }
    // The slice is a number by construction, so the conversion fails only out of range: then
    // it gives an infinity (or 0 when too small), which every range check refuses, where 0
    // would pass as a typed value ("1e999" sent as a limit of 0).
    return QLocale::c().toDouble(QStringView(text).mid(start, end - start));
}

} // namespace base
