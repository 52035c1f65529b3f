// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's one source of random numbers, passed in so that tests can script it.

namespace zarvoni {

class Random {
public:
    virtual ~Random() = default;
    // The next value, uniform in [0, 1).
    virtual double next() = 0;
    // Starts a new sequence seeded from the time of day.
    virtual void reseed() = 0;
};

} // namespace zarvoni
