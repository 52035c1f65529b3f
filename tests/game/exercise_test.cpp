// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/exercise.h"

#include "game/scriptedrandom.h"

#include <gtest/gtest.h>

#include <map>

namespace zarvoni {
namespace {

using testing::drawsFor;
using testing::ScriptedRandom;

Exercise drawn(int m, int a, int b, int k) {
    ScriptedRandom random;
    random.script(drawsFor(m, a, b, k));
    return drawExercise(random);
}

struct Worked {
    int m, a, b, k;
    std::array<const char *, 4> captions;
    int risultato;
    bool secondPlusVisible;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const Worked &w, std::ostream *os) {
    *os << "m=" << w.m << " a=" << w.a << " b=" << w.b << " k=" << w.k;
}

class WorkedExample : public ::testing::TestWithParam<Worked> {};

TEST_P(WorkedExample, ShowsTheEquationAndExpectsItsSolution) {
    const Worked &w = GetParam();
    const Exercise e = drawn(w.m, w.a, w.b, w.k);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(e.captions[i], QLatin1String(w.captions[i])) << "term " << i;
    EXPECT_EQ(e.risultato, w.risultato);
    EXPECT_EQ(e.secondPlusVisible, w.secondPlusVisible);
}

INSTANTIATE_TEST_SUITE_P(
    Generator, WorkedExample,
    ::testing::Values(Worked{-2, 3, 4, 0, {"3x", "4", "-6", "-8"}, -6, false},
                      Worked{1, 5, 7, 1, {"5", "X", "5", "7"}, 7, true},
                      Worked{2, 6, 4, 2, {"6", "4", "2X", "8"}, 1, true},
                      Worked{-1, 2, 9, 3, {"2", "9", "-2", "X"}, 13, true},
                      // zero answers: "2X" and a plain X in fourth place
                      Worked{2, 5, 5, 2, {"5", "5", "2X", "10"}, 0, true},
                      Worked{2, 5, 5, 3, {"5", "5", "10", "X"}, 0, true},
                      // an even value in fourth place keeps its plain X
                      Worked{1, 2, 4, 3, {"2", "4", "2", "X"}, 4, true},
                      // a negative fourth term hides the "+" unless it is the unknown
                      Worked{-1, 4, 6, 1, {"4", "X", "-4", "-6"}, -14, false}));

TEST(Generator, DrawsAndReseedsInOrder) {
    ScriptedRandom random;
    random.script(drawsFor(1, 1, 1, 0));
    drawExercise(random);
    EXPECT_EQ(random.log, QStringList({"r", "r", "seed", "r", "r", "seed", "r"}));
}

TEST(Generator, EveryDrawLandsOnItsValueRange) {
    // The lowest and highest values of each draw map to the ends of the ranges.
    ScriptedRandom low;
    low.script({0.0, 0.0, 0.0, 0.0, 0.0});
    const Exercise first = drawExercise(low);
    EXPECT_EQ(first.m, -1);
    EXPECT_EQ(first.a, 1);
    EXPECT_EQ(first.b, 1);
    EXPECT_EQ(first.k, 0);

    ScriptedRandom high;
    const double top = 0.9999999;
    high.script({top, top, top, top, top});
    const Exercise last = drawExercise(high);
    EXPECT_EQ(last.m, 2);
    EXPECT_EQ(last.a, 8);
    EXPECT_EQ(last.b, 9);
    EXPECT_EQ(last.k, 3);
}

struct Range {
    int low = 1000, high = -1000;
    void add(int v) {
        low = std::min(low, v);
        high = std::max(high, v);
    }
};

TEST(Generator, AllCombinationsGiveTheDocumentedCountsAndRanges) {
    std::array<int, 4> coefficientForms{};
    // (k, m, coefficient form?) -> range of answers
    std::map<std::tuple<int, int, bool>, Range> ranges;
    for (const int m : {-2, -1, 1, 2}) {
        for (int a = 1; a <= 8; ++a) {
            for (int b = 1; b <= 9; ++b) {
                for (int k = 0; k < 4; ++k) {
                    const Exercise e = composeExercise(int16(m), int16(a), int16(b), k);
                    const QString &unknown = e.captions[std::size_t(k)];
                    const bool coefficient = unknown != QLatin1String("X");
                    coefficientForms[std::size_t(k)] += coefficient ? 1 : 0;
                    ranges[{k, m, coefficient}].add(e.risultato);
                    // The answer solves the equation on screen.
                    const int factor = coefficient ? unknown.left(1).toInt() : 1;
                    std::array<int, 4> terms{e.a, e.b, e.c, e.d};
                    terms[std::size_t(k)] = factor * e.risultato;
                    EXPECT_EQ(terms[0] + terms[1], terms[2] + terms[3]);
                }
            }
        }
    }
    EXPECT_EQ(coefficientForms, (std::array<int, 4>{84, 68, 144, 0}));

    const auto expect = [&](int k, int m, bool coefficient, int low, int high) {
        const Range r = ranges[{k, m, coefficient}];
        EXPECT_EQ(r.low, low) << "k=" << k << " m=" << m << " coefficient=" << coefficient;
        EXPECT_EQ(r.high, high) << "k=" << k << " m=" << m << " coefficient=" << coefficient;
    };
    expect(0, -2, false, -43, -5), expect(0, -2, true, -13, -3);
    expect(0, -1, false, -26, -4), expect(0, -1, true, -8, -1);
    expect(0, 1, false, 1, 8), expect(0, 1, true, 1, 2);
    expect(0, 2, false, 4, 25), expect(0, 2, true, 1, 8);
    expect(1, -2, false, -42, -5), expect(1, -2, true, -10, -2);
    expect(1, -1, false, -25, -3), expect(1, -1, true, -6, -1);
    expect(1, 1, false, 1, 9), expect(1, 1, true, 1, 2);
    expect(1, 2, false, 3, 26), expect(1, 2, true, 1, 6);
    expect(2, -2, false, 5, 35), expect(2, -2, true, 2, 17);
    expect(2, -1, false, 3, 25), expect(2, -1, true, 2, 13);
    expect(2, 1, false, 1, 7), expect(2, 1, true, 1, 4);
    expect(2, 2, false, -7, 7), expect(2, 2, true, -4, 3);
    expect(3, -2, false, 4, 33);
    expect(3, -1, false, 3, 25);
    expect(3, 1, false, 1, 9);
    expect(3, 2, false, -7, 8);
}

TEST(Generator, CoefficientFormsAreSpelledExactly) {
    EXPECT_EQ(composeExercise(-2, 3, 4, 0).captions[0], "3x");
    EXPECT_EQ(composeExercise(1, 1, 8, 1).captions[1], "4X"); // (8 - 1) + 1 = 8
    EXPECT_EQ(composeExercise(2, 6, 4, 2).captions[2], "2X");
}

TEST(Gradient, RunsFromNoBlueAtTheTopToFullBlueAtTheBottom) {
    const Exercise e = composeExercise(1, 8, 9, 0);
    EXPECT_EQ(gradientBand(e, 0), (Rgb{160, 180, 0}));
    EXPECT_EQ(gradientBand(e, 128), (Rgb{160, 180, 128}));
    EXPECT_EQ(gradientBand(e, kGradientBands - 1), (Rgb{160, 180, 255}));
    EXPECT_EQ(gradientBand(composeExercise(-1, 1, 1, 0), 0), (Rgb{20, 20, 0}));
}

} // namespace
} // namespace zarvoni
