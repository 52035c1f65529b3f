// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a screen reader says of the game, as Italian sentences: the exercise and
// the verdict. Operators and signs are words, since screen readers skip or
// misread "+", "=" and "-" at their usual punctuation level.

#include "game/exercise.h"
#include "game/gamestate.h"

#include <QString>

namespace zarvoni {

// The exercise as it reads on screen, then the question:
// "3 x più 7 uguale meno 1 meno 7. Quanto vale x?"
QString spokenExercise(const Exercise &exercise);

// The verdict on the exercise just checked, with its answer, then the counters:
// "Sbagliato, la risposta giusta era 16. Risposte esatte 3, errate 1, totali 4."
QString spokenVerdict(bool correct, const GameState &state);

} // namespace zarvoni
