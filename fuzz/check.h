// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a fuzz target does when a property does not hold: say which one and abort,
// so that libFuzzer keeps the input and a seed replay fails.

#include <cstdio>
#include <cstdlib>

namespace zarvoni::fuzz {

inline void check(bool holds, const char *property) {
    if (holds)
        return;
    std::fprintf(stderr, "fuzz check failed: %s\n", property);
    std::abort();
}

} // namespace zarvoni::fuzz
