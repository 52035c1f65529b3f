// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/windowfixture.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QTest>

namespace zarvoni::testing {
namespace {

class Answering : public WindowTest {};

TEST_F(Answering, OnlyMinusAndDigitsReachTheBox) {
    start();
    QTest::keyClicks(static_cast<QWidget *>(nullptr), "a+. 1-2");
    EXPECT_EQ(answerBox()->text(), "1-2");
    QTest::keyClick(static_cast<QWidget *>(nullptr), Qt::Key_Backspace);
    EXPECT_EQ(answerBox()->text(), "1-");
    QTest::keyClicks(static_cast<QWidget *>(nullptr), "xX*/,");
    EXPECT_EQ(answerBox()->text(), "1-");
}

TEST_F(Answering, AFifthCharacterIsRefusedTypedOrPasted) {
    start();
    QTest::keyClicks(static_cast<QWidget *>(nullptr), "12345");
    EXPECT_EQ(answerBox()->text(), "1234");
    answerBox()->clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("987654"));
    answerBox()->paste();
    EXPECT_EQ(answerBox()->text(), "9876");
}

TEST_F(Answering, ARightAnswerIsPraisedAndCounted) {
    t.random.script(drawsFor(-2, 3, 4, 0));
    start();
    EXPECT_EQ(spoken(answerBox(), QAccessible::Description),
              "3 x più 4 uguale meno 6 meno 8. Quanto vale x?");
    const QColor gradient = surfaceColourAt({300, 0});
    answer(QStringLiteral("-6"));
    EXPECT_EQ(caption("lblMessage"), "Esatto. Sei forte!");
    EXPECT_EQ(caption("lblScore"), "1");
    EXPECT_EQ(caption("lblScore1"), "0");
    EXPECT_EQ(caption("lblScore2"), "1");
    EXPECT_EQ(spoken(find("lblScore")), "Risposte esatte: 1");
    EXPECT_TRUE(nextButton()->isEnabled());
    EXPECT_TRUE(nextButton()->hasFocus());
    EXPECT_EQ(spoken(nextButton(), QAccessible::Description),
              "Esatto, la risposta giusta è meno 6. Sei forte! "
              "Risposte esatte 1, errate 0, totali 1.");
    EXPECT_EQ(nextButton()->toolTip(), "Go");
    EXPECT_EQ(surfaceColourAt({300, 0}), gradient) << "a right answer keeps the gradient";
}

TEST_F(Answering, AWrongAnswerShowsTheSolutionOnBlack) {
    t.random.script(drawsFor(-2, 3, 4, 0));
    start();
    answer(QStringLiteral("6"));
    EXPECT_EQ(caption("lblMessage"), "Sbagliato!! -6");
    EXPECT_EQ(caption("lblScore"), "0");
    EXPECT_EQ(caption("lblScore1"), "1");
    EXPECT_EQ(caption("lblScore2"), "1");
    EXPECT_TRUE(nextButton()->isEnabled());
    EXPECT_TRUE(nextButton()->hasFocus());
    EXPECT_EQ(spoken(nextButton(), QAccessible::Description),
              "Sbagliato, la risposta giusta era meno 6. Risposte esatte 0, errate 1, totali 1.");
    EXPECT_EQ(surfaceColourAt({300, 0}), QColor(Qt::black));
    EXPECT_EQ(surfaceColourAt({300, 553}), QColor(Qt::black));
}

struct EmptyCase {
    int m, a, b, k;
    const char *message;
};

class EmptyAnswer : public WindowTest, public ::testing::WithParamInterface<EmptyCase> {};

TEST_P(EmptyAnswer, CountsAsZero) {
    const EmptyCase &c = GetParam();
    t.random.script(drawsFor(c.m, c.a, c.b, c.k));
    start();
    answer(QString());
    EXPECT_EQ(caption("lblMessage"), QLatin1String(c.message));
}

INSTANTIATE_TEST_SUITE_P(Enter, EmptyAnswer,
                         ::testing::Values(EmptyCase{2, 5, 5, 2, "Esatto. Sei forte!"},
                                           EmptyCase{2, 5, 5, 3, "Esatto. Sei forte!"},
                                           EmptyCase{1, 5, 7, 1, "Sbagliato!! 7"}));

TEST_F(Answering, ASecondEnterOnTheSameExerciseChangesNothing) {
    t.random.script(drawsFor(-2, 3, 4, 0));
    start();
    answer(QStringLiteral("6"));
    answerBox()->setFocus();
    answerBox()->clear();
    answer(QStringLiteral("-6"));
    EXPECT_EQ(caption("lblMessage"), "Sbagliato!! -6");
    EXPECT_EQ(caption("lblScore"), "0");
    EXPECT_EQ(caption("lblScore1"), "1");
    EXPECT_EQ(caption("lblScore2"), "1");
}

TEST_F(Answering, CorrectAnswersLeaveTheWrongCounterAsItWas) {
    start();
    answerWrong();
    nextExercise();
    answerRight();
    nextExercise();
    answerRight();
    EXPECT_EQ(caption("lblScore"), "2");
    EXPECT_EQ(caption("lblScore1"), "1");
    EXPECT_EQ(caption("lblScore2"), "3");
}

struct NextKey {
    const char *label;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool fromTheAnswerBox = false; // the pupil went back to the box before the key
};

// Without it, GoogleTest prints the row's bytes, padding included.
void PrintTo(const NextKey &k, std::ostream *os) {
    *os << k.label;
}

class NextExerciseKey : public WindowTest, public ::testing::WithParamInterface<NextKey> {};

TEST_P(NextExerciseKey, PosesTheNextExercise) {
    start();
    answerWrong();
    t.random.script(drawsFor(2, 6, 4, 2));
    if (GetParam().fromTheAnswerBox)
        answerBox()->setFocus();
    auto *notice = find<QWidget>("annuncio");
    QTest::keyClick(static_cast<QWidget *>(nullptr), GetParam().key, GetParam().modifiers);
    // An access key clicks the button a moment later, as it shows it pressed.
    ASSERT_TRUE(QTest::qWaitFor([this] { return !nextButton()->isEnabled(); }));
    EXPECT_EQ(caption("lblNum3"), "2X");
    EXPECT_EQ(window->stato().risultato, 1);
    EXPECT_TRUE(answerBox()->hasFocus());
    EXPECT_EQ(spoken(answerBox(), QAccessible::Description),
              "6 più 4 uguale 2 X più 8. Quanto vale X?");
    // The focus arriving says the exercise; a focus that stays gets it announced.
    EXPECT_EQ(notice->isVisible(), GetParam().fromTheAnswerBox);
    if (GetParam().fromTheAnswerBox) {
        EXPECT_EQ(spoken(notice), "6 più 4 uguale 2 X più 8. Quanto vale X?");
    }
    EXPECT_FALSE(nextButton()->isEnabled());
    EXPECT_EQ(spoken(nextButton(), QAccessible::Description), "Go") << "no verdict yet";
    EXPECT_EQ(surfaceColourAt({300, 0}), QColor(120, 80, 0)) << "the gradient paints over black";
}

INSTANTIATE_TEST_SUITE_P(Keys, NextExerciseKey,
                         ::testing::Values(NextKey{"Enter", Qt::Key_Return, Qt::NoModifier},
                                           NextKey{"Space", Qt::Key_Space, Qt::NoModifier},
                                           NextKey{"AltN", Qt::Key_N, Qt::AltModifier},
                                           NextKey{"AltNFromTheAnswerBox", Qt::Key_N,
                                                   Qt::AltModifier, true}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(Answering, TheFocusArrivesInABoxAlreadyEmptiedAndHoldingTheNextExercise) {
    start();
    answer(QStringLiteral("12"));
    t.random.script(drawsFor(2, 6, 4, 2));
    QString describedOnFocus;
    QString textOnFocus = QStringLiteral("(no focus)");
    bool focusedWhenEmptied = true;
    QLineEdit *box = answerBox();
    // Gone before the variables the watching writes to: no watching outlives the test.
    QObject watcher;
    QObject::connect(qApp, &QApplication::focusChanged, &watcher, [&](QWidget *, QWidget *now) {
        if (now == box) {
            describedOnFocus = spoken(box, QAccessible::Description);
            textOnFocus = box->text();
        }
    });
    QObject::connect(box, &QLineEdit::textChanged, &watcher, [&](const QString &text) {
        if (text.isEmpty())
            focusedWhenEmptied = box->hasFocus();
    });
    nextExercise();
    // A screen reader reads the box as the focus arrives: it must be empty and hold
    // the new exercise by then. Emptied once it has the focus, the box would tell a
    // screen reader of its text and caret too, and each report costs queries.
    EXPECT_EQ(describedOnFocus, "6 più 4 uguale 2 X più 8. Quanto vale X?");
    EXPECT_EQ(textOnFocus, "");
    EXPECT_FALSE(focusedWhenEmptied);
}

TEST_F(Answering, AClickOnNextPosesTheNextExercise) {
    start();
    answerRight();
    t.random.script(drawsFor(1, 5, 7, 1));
    QTest::mouseClick(nextButton(), Qt::LeftButton);
    EXPECT_EQ(caption("lblNum2"), "X");
    EXPECT_EQ(window->stato().risultato, 7);
}

} // namespace
} // namespace zarvoni::testing
