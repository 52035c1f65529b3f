// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Random numbers that a test chooses, for the game's rules and for the window.

#include "game/random.h"

#include <QStringList>

#include <deque>
#include <vector>

namespace zarvoni::testing {

// Plays back the given values, then goes on with a fixed pseudo-random sequence;
// logs each draw ("r") and reseed ("seed") in order.
class ScriptedRandom final : public Random {
public:
    void script(std::vector<double> values);
    double next() override;
    void reseed() override;

    QStringList log;

private:
    std::deque<double> m_values;
    unsigned m_state = 12345;
};

// The five draws that make drawExercise produce exercise (m, a, b, k).
std::vector<double> drawsFor(int m, int a, int b, int k);

} // namespace zarvoni::testing
