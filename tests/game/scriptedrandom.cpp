// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/scriptedrandom.h"

namespace zarvoni::testing {

void ScriptedRandom::script(std::vector<double> values) {
    m_values.insert(m_values.end(), values.begin(), values.end());
}

double ScriptedRandom::next() {
    log << QStringLiteral("r");
    if (!m_values.empty()) {
        const double value = m_values.front();
        m_values.pop_front();
        return value;
    }
    m_state = m_state * 1103515245u + 12345u;
    return double((m_state >> 8) & 0xFFFF) / 65536.0;
}

void ScriptedRandom::reseed() {
    log << QStringLiteral("seed");
}

std::vector<double> drawsFor(int m, int a, int b, int k) {
    const int s = m < 0 ? -m : m;
    return {(s - 1) / 2.0 + 0.25, m < 0 ? 0.25 : 0.75, (a - 1) / 8.0 + 1 / 16.0,
            (b - 1) / 9.0 + 1 / 18.0, k / 4.0 + 1 / 8.0};
}

} // namespace zarvoni::testing
