// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/systemrandom.h"

#include <chrono>

namespace zarvoni {

SystemRandom::SystemRandom() {
    reseed();
}

double SystemRandom::next() {
    return std::generate_canonical<double, 53>(m_engine);
}

void SystemRandom::reseed() {
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    const auto sinceMidnight = duration_cast<nanoseconds>(now % days{1}).count();
    std::seed_seq seq{static_cast<unsigned>(sinceMidnight),
                      static_cast<unsigned>(sinceMidnight >> 32)};
    m_engine.seed(seq);
}

} // namespace zarvoni
