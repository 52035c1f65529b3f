// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/numberrules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace zarvoni {

namespace {

bool isSkipped(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

} // namespace

double leadingNumber(QStringView text) {
    std::string number;
    bool signAllowed = true;
    bool pointSeen = false;
    bool digitSeen = false;
    for (const QChar c : text) {
        if (isSkipped(c))
            continue;
        if (signAllowed && (c == u'-' || c == u'+')) {
            if (c == u'-')
                number += '-';
        } else if (isDigit(c)) {
            number += static_cast<char>(c.unicode());
            digitSeen = true;
        } else if (c == u'.' && !pointSeen) {
            number += '.';
            pointSeen = true;
        } else {
            break;
        }
        signAllowed = false;
    }
    if (!digitSeen)
        return 0.0;

    double value = 0.0;
    const char *first = number.data();
    const auto [end, error] = std::from_chars(first, first + number.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        // Out of range either way: hundreds of digits before the point are too large,
        // and the nearest finite value keeps comparisons meaningful; hundreds of zeros
        // after it are too small, and the nearest value is zero.
        const bool negative = number.front() == '-';
        const std::size_t point = std::min(number.find('.'), number.size());
        const bool tooLarge = number.find_first_not_of('0', negative ? 1 : 0) < point;
        const double nearest = tooLarge ? std::numeric_limits<double>::max() : 0.0;
        return negative ? -nearest : nearest;
    }
    return value;
}

std::optional<int16> roundToInt16(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double rounded = std::nearbyint(value); // the default mode rounds halves to even
    if (rounded < kInt16Min || rounded > kInt16Max)
        return std::nullopt;
    return static_cast<int16>(rounded);
}

QString formatPlain(int value) {
    return QString::number(value);
}

} // namespace zarvoni
