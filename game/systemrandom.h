// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The production random generator: a Mersenne twister seeded from the time of day.

#include "game/random.h"

#include <random>

namespace zarvoni {

class SystemRandom final : public Random {
public:
    SystemRandom();
    double next() override;
    // Seeds from the time of day at the clock's full resolution, so two reseeds
    // in the same second (or the same millisecond) still give different sequences.
    void reseed() override;

private:
    std::mt19937_64 m_engine;
};

} // namespace zarvoni
