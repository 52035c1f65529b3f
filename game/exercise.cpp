// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/exercise.h"

#include "game/numberrules.h"

#include <algorithm>
#include <cmath>

namespace zarvoni {

namespace {

// floor(n * r) for a draw r in [0, 1), kept within 0..n-1 whatever the source returns.
int16 drawBelow(Random &random, int n) {
    const double scaled = std::floor(n * random.next());
    return static_cast<int16>(std::clamp(scaled, 0.0, double(n - 1)));
}

// The unknown in position k: the answer before any coefficient, and the
// coefficient form that replaces "X" when the answer divides evenly by it.
struct Unknown {
    int16 answer;
    int coefficient; // 0: this position never shows a coefficient
    const char16_t *coefficientCaption;
};

Unknown unknownAt(int k, int16 a, int16 b, int16 c, int16 d) {
    switch (k) {
    case 0:
        return {int16((c - b) + d), 3, u"3x"};
    case 1:
        return {int16((d - a) + c), 4, u"4X"};
    case 2:
        return {int16((a - d) + b), 2, u"2X"};
    default:
        return {int16((b - c) + a), 0, nullptr};
    }
}

} // namespace

Exercise composeExercise(int16 m, int16 a, int16 b, int k) {
    Exercise e;
    e.m = m;
    e.a = a;
    e.b = b;
    e.c = static_cast<int16>(a * m);
    e.d = static_cast<int16>(b * m);
    e.k = std::clamp(k, 0, 3);
    e.captions = {formatPlain(e.a), formatPlain(e.b), formatPlain(e.c), formatPlain(e.d)};
    e.secondPlusVisible = e.d >= 0;

    const Unknown unknown = unknownAt(e.k, e.a, e.b, e.c, e.d);
    QString &caption = e.captions[static_cast<std::size_t>(e.k)];
    caption = QStringLiteral("X");
    e.risultato = unknown.answer;
    if (unknown.coefficient != 0 && e.risultato % unknown.coefficient == 0) {
        caption = QString::fromUtf16(unknown.coefficientCaption);
        e.risultato = static_cast<int16>(e.risultato / unknown.coefficient);
    }
    if (e.k == 3)
        e.secondPlusVisible = true; // "X" carries no sign of its own
    return e;
}

Exercise drawExercise(Random &random) {
    const auto s = static_cast<int16>(drawBelow(random, 2) + 1);
    const int16 t = drawBelow(random, 2);
    const int16 m = t == 0 ? static_cast<int16>(-s) : s;
    random.reseed();
    const auto a = static_cast<int16>(drawBelow(random, 8) + 1);
    const auto b = static_cast<int16>(drawBelow(random, 9) + 1);
    random.reseed();
    const int k = drawBelow(random, 4);
    return composeExercise(m, a, b, k);
}

Rgb gradientBand(const Exercise &exercise, int i) {
    return {20 * exercise.a, 20 * exercise.b, std::clamp(i, 0, kGradientBands - 1)};
}

} // namespace zarvoni
