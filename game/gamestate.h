// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The state of one game, owned by the window and created zeroed with it.

#include "game/int16.h"

#include <QString>

namespace zarvoni {

struct GameState {
    // The record directory, ending in one separator.
    QString cartella;
    // Expected answer of the exercise on screen.
    int16 risultato = 0;
    // Correct and wrong answers so far.
    int16 esatte = 0;
    int16 errate = 0;
    // Whether the exercise on screen has had its verdict; each exercise counts once.
    bool risposto = false;

    // All answers so far; like every counter it stops at 32767.
    int16 totale() const { return saturatingAdd(esatte, errate); }

    // Puts a new exercise on screen: its answer is expected, not yet given.
    void pose(int16 answer) {
        risultato = answer;
        risposto = false;
    }
};

} // namespace zarvoni
