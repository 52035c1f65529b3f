// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One equation a + b = c + d with one term hidden, and how it is drawn.

#include "game/int16.h"
#include "game/random.h"

#include <QString>

#include <array>

namespace zarvoni {

struct Exercise {
    int16 a = 0, b = 0, c = 0, d = 0;
    // Multiplier that turns a and b into c and d: -2, -1, 1 or 2.
    int16 m = 0;
    // Position of the unknown, 0 to 3 (first to fourth term).
    int k = 0;
    // What the four number boxes show, the unknown included ("X", "3x", "4X", "2X").
    std::array<QString, 4> captions;
    // The value the pupil must find.
    int16 risultato = 0;
    // The "+" between the third and fourth terms is hidden when the fourth term
    // shows its own minus sign.
    bool secondPlusVisible = true;
};

// Builds the exercise for the given multiplier, first two terms and position of
// the unknown.
Exercise composeExercise(int16 m, int16 a, int16 b, int k);

// Draws a new exercise: multiplier magnitude and sign, a reseed, a and b, a
// second reseed, then the position of the unknown.
Exercise drawExercise(Random &random);

struct Rgb {
    int red = 0, green = 0, blue = 0;
    friend bool operator==(const Rgb &, const Rgb &) = default;
};

// The background is painted as this many horizontal bands, top to bottom.
constexpr int kGradientBands = 256;

// Colour of band i (0 at the top) of the background behind an exercise.
Rgb gradientBand(const Exercise &exercise, int i);

} // namespace zarvoni
