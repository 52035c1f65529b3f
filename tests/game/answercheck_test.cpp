// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/answercheck.h"

#include <gtest/gtest.h>

namespace zarvoni {
namespace {

TEST(KeyFilter, LetsThroughOnlyMinusDigitsAndBackspaceAndChecksOnEnter) {
    for (int code = 0; code < 256; ++code) {
        const bool passes = code == '-' || (code >= '0' && code <= '9') || code == 8;
        const KeyAction expected = passes       ? KeyAction::Pass
                                   : code == 13 ? KeyAction::Check
                                                : KeyAction::Cancel;
        EXPECT_EQ(filterKey(code), expected) << "code " << code;
    }
    EXPECT_EQ(filterKey(0x20AC), KeyAction::Cancel); // beyond a byte too
}

GameState posed(int risultato) {
    GameState state;
    state.pose(int16(risultato));
    return state;
}

struct VerdictCase {
    int risultato;
    const char16_t *typed;
    bool correct;
    const char *message;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const VerdictCase &c, std::ostream *os) {
    *os << "risultato=" << c.risultato << " typed=" << QString::fromUtf16(c.typed).toStdString();
}

class Verdicts : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(Verdicts, CountTheAnswerAndSayWhatWasExpected) {
    const VerdictCase &c = GetParam();
    GameState state = posed(c.risultato);
    const auto verdict = checkAnswer(state, QString::fromUtf16(c.typed));
    ASSERT_TRUE(verdict);
    EXPECT_EQ(verdict->correct, c.correct);
    EXPECT_EQ(verdict->message, QString::fromUtf8(c.message));
    EXPECT_EQ(state.esatte, c.correct ? 1 : 0);
    EXPECT_EQ(state.errate, c.correct ? 0 : 1);
}

INSTANTIATE_TEST_SUITE_P(Check, Verdicts,
                         ::testing::Values(VerdictCase{-6, u"-6", true, "Esatto. Sei forte!"},
                                           VerdictCase{-6, u"6", false, "Sbagliato!! -6"},
                                           VerdictCase{7, u"007", true, "Esatto. Sei forte!"},
                                           VerdictCase{12, u"12-3", true, "Esatto. Sei forte!"},
                                           VerdictCase{0, u"", true, "Esatto. Sei forte!"},
                                           VerdictCase{3, u"", false, "Sbagliato!! 3"},
                                           VerdictCase{0, u"-", true, "Esatto. Sei forte!"},
                                           VerdictCase{-3, u"--3", false, "Sbagliato!! -3"},
                                           // pasted fractions round halves to even
                                           VerdictCase{2, u"2.5", true, "Esatto. Sei forte!"},
                                           VerdictCase{4, u"3.5", true, "Esatto. Sei forte!"},
                                           VerdictCase{35, u"9999", false, "Sbagliato!! 35"}));

TEST(Verdicts, EachExerciseCountsOnce) {
    GameState state = posed(3);
    ASSERT_TRUE(checkAnswer(state, u"3"));
    EXPECT_FALSE(checkAnswer(state, u"5")) << "a second Enter must not score";
    state.pose(-6);
    ASSERT_TRUE(checkAnswer(state, u"5"));
    EXPECT_FALSE(checkAnswer(state, u"-6"));
    EXPECT_EQ(state.esatte, 1);
    EXPECT_EQ(state.errate, 1) << "one right answer, then one wrong";
    EXPECT_EQ(state.totale(), 2);
}

TEST(Verdicts, CountersStopAt32767) {
    GameState state = posed(1);
    state.esatte = 32766;
    state.errate = 32767;
    ASSERT_TRUE(checkAnswer(state, u"1"));
    EXPECT_EQ(state.esatte, 32767);
    EXPECT_EQ(state.totale(), 32767);
    state.pose(1);
    ASSERT_TRUE(checkAnswer(state, u"1"));
    EXPECT_EQ(state.esatte, 32767);
    state.pose(1);
    const auto wrong = checkAnswer(state, u"2");
    ASSERT_TRUE(wrong);
    EXPECT_EQ(state.errate, 32767);
    EXPECT_EQ(wrong->message, "Sbagliato!! 1");
}

} // namespace
} // namespace zarvoni
