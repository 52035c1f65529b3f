// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The leading-number rule written a second time, as plainly as possible, for the
// fuzz targets to compare against: drop the blanks, tabs and line feeds, take an
// optional sign and the longest run of digits with at most one point, and let the
// C library turn that into a double. It shares no code with game/numberrules.cpp.

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

namespace zarvoni::fuzz {

inline double referenceLeadingNumber(std::u16string_view text) {
    // Every character that cannot be part of a number becomes '#'.
    std::string kept;
    for (const char16_t c : text) {
        if (c == u' ' || c == u'\t' || c == u'\n')
            continue;
        const bool numberCharacter =
            (c >= u'0' && c <= u'9') || c == u'.' || c == u'+' || c == u'-';
        kept += numberCharacter ? static_cast<char>(c) : '#';
    }

    std::string number;
    std::size_t i = 0;
    if (i < kept.size() && (kept[i] == '+' || kept[i] == '-'))
        number += kept[i++];
    bool pointSeen = false;
    bool digitSeen = false;
    for (; i < kept.size(); ++i) {
        const char c = kept[i];
        if (c >= '0' && c <= '9') {
            digitSeen = true;
        } else if (c == '.' && !pointSeen) {
            pointSeen = true;
        } else {
            break;
        }
        number += c;
    }
    if (!digitSeen)
        return 0.0;

    // The fuzz programs never change the C locale, so strtod takes '.' as the point.
    // It rounds correctly, gives infinity for what is too large and zero (or a tiny
    // subnormal) for what is too small.
    const double value = std::strtod(number.c_str(), nullptr);
    if (std::isinf(value))
        return std::copysign(DBL_MAX, value);
    return value;
}

} // namespace zarvoni::fuzz
