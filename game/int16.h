// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// 16-bit signed integers, the type of every counter and exercise term.

#include <algorithm>
#include <cstdint>
#include <limits>

namespace zarvoni {

using int16 = std::int16_t;

constexpr int16 kInt16Max = std::numeric_limits<int16>::max();
constexpr int16 kInt16Min = std::numeric_limits<int16>::min();

// Adds without wrapping: a counter that would pass 32767 stays there.
constexpr int16 saturatingAdd(int16 a, int16 b) {
    const int sum = int{a} + int{b};
    return static_cast<int16>(std::clamp(sum, int{kInt16Min}, int{kInt16Max}));
}

} // namespace zarvoni
