// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/spoken.h"

#include <gtest/gtest.h>

namespace zarvoni {
namespace {

struct Sentence {
    int m, a, b, k;
    const char *spoken; // UTF-8
};

void PrintTo(const Sentence &s, std::ostream *os) {
    *os << "m=" << s.m << " a=" << s.a << " b=" << s.b << " k=" << s.k;
}

class SpokenExercise : public ::testing::TestWithParam<Sentence> {};

TEST_P(SpokenExercise, ReadsTheEquationInWordsThenAsksForTheUnknown) {
    const Sentence &s = GetParam();
    const Exercise e = composeExercise(int16(s.m), int16(s.a), int16(s.b), s.k);
    EXPECT_EQ(spokenExercise(e), QString::fromUtf8(s.spoken));
}

// Each place of the unknown, each of its forms, negative and positive terms, and
// the "+" before the fourth term shown or hidden; the comment gives the screen.
INSTANTIATE_TEST_SUITE_P(Unknowns, SpokenExercise,
                         ::testing::Values(
                             // 3x + 7 = -1 -7
                             Sentence{-1, 1, 7, 0,
                                      "3 x più 7 uguale meno 1 meno 7. Quanto vale x?"},
                             // X + 1 = 1 + 1
                             Sentence{1, 1, 1, 0, "X più 1 uguale 1 più 1. Quanto vale X?"},
                             // X + 4 = -4 -8
                             Sentence{-2, 2, 4, 0, "X più 4 uguale meno 4 meno 8. Quanto vale X?"},
                             // 1 + 4X = 1 + 8
                             Sentence{1, 1, 8, 1, "1 più 4 X uguale 1 più 8. Quanto vale X?"},
                             // 4 + X = -4 -6
                             Sentence{-1, 4, 6, 1, "4 più X uguale meno 4 meno 6. Quanto vale X?"},
                             // 6 + 4 = 2X + 8
                             Sentence{2, 6, 4, 2, "6 più 4 uguale 2 X più 8. Quanto vale X?"},
                             // 2 + 9 = 2X -9
                             Sentence{-1, 2, 9, 2, "2 più 9 uguale 2 X meno 9. Quanto vale X?"},
                             // 3 + 4 = X -8
                             Sentence{-2, 3, 4, 2, "3 più 4 uguale X meno 8. Quanto vale X?"},
                             // 2 + 9 = -2 + X: the "+" comes back, since X carries no sign
                             Sentence{-1, 2, 9, 3, "2 più 9 uguale meno 2 più X. Quanto vale X?"},
                             // 5 + 5 = 10 + X
                             Sentence{2, 5, 5, 3, "5 più 5 uguale 10 più X. Quanto vale X?"}));

struct VerdictRow {
    bool correct;
    int risultato, esatte, errate;
    const char *spoken; // UTF-8
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const VerdictRow &v, std::ostream *os) {
    *os << (v.correct ? "right" : "wrong") << " risultato=" << v.risultato;
}

class SpokenVerdict : public ::testing::TestWithParam<VerdictRow> {};

TEST_P(SpokenVerdict, GivesTheVerdictTheAnswerAndTheCounters) {
    const VerdictRow &v = GetParam();
    GameState state;
    state.risultato = int16(v.risultato);
    state.esatte = int16(v.esatte);
    state.errate = int16(v.errate);
    EXPECT_EQ(spokenVerdict(v.correct, state), QString::fromUtf8(v.spoken));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, SpokenVerdict,
    ::testing::Values(
        VerdictRow{false, 16, 3, 1,
                   "Sbagliato, la risposta giusta era 16. Risposte esatte 3, errate 1, totali 4."},
        VerdictRow{
            false, -6, 0, 1,
            "Sbagliato, la risposta giusta era meno 6. Risposte esatte 0, errate 1, totali 1."},
        VerdictRow{
            true, 0, 1, 0,
            "Esatto, la risposta giusta è 0. Sei forte! Risposte esatte 1, errate 0, totali 1."},
        VerdictRow{
            true, -13, 12, 30,
            "Esatto, la risposta giusta è meno 13. Sei forte! Risposte esatte 12, errate 30, "
            "totali 42."}));

} // namespace
} // namespace zarvoni
