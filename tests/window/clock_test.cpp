// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/windowfixture.h"

#include <QAccessible>
#include <QTest>

namespace zarvoni::testing {
namespace {

class Clock : public WindowTest {
protected:
    void tick(int times) {
        for (int i = 0; i < times; ++i)
            window->Timer1_Timer();
    }
    int farewells() const {
        return int(t.dialogs.messagePrompts().filter(QStringLiteral("alla prossima sfida")).size());
    }
};

TEST_F(Clock, TheRealTimerTakesOffOneDisplayedSecondATick) {
    start();
    EXPECT_TRUE(QTest::qWaitFor([this] { return caption("lblconto") == "00:14:58"; }, 5000))
        << caption("lblconto").toStdString();
}

TEST_F(Clock, TicksCountDownTheDisplay) {
    load();
    tick(1);
    EXPECT_EQ(caption("lblconto"), "00:14:59");
    tick(59);
    EXPECT_EQ(caption("lblconto"), "00:14:00");
    tick(1);
    EXPECT_EQ(caption("lblconto"), "00:13:59");
    EXPECT_EQ(window->orologio().tempoRestante(), 839);
}

TEST_F(Clock, TheTickAfterZeroEndsTheGameOnce) {
    load();
    tick(900);
    EXPECT_EQ(caption("lblconto"), "00:00:00");
    EXPECT_EQ(window->orologio().tempoRestante(), 0);
    EXPECT_EQ(farewells(), 0);
    EXPECT_EQ(t.end.count, 0);

    tick(1);
    EXPECT_EQ(farewells(), 1);
    EXPECT_EQ(t.end.count, 1);
    EXPECT_FALSE(timer()->isActive());
    tick(5);
    EXPECT_EQ(farewells(), 1);
    EXPECT_EQ(t.end.count, 1);
    EXPECT_EQ(caption("lblconto"), "00:00:00");
}

TEST_F(Clock, TicksArrivingWhileTheFarewellIsOpenDoNotRunItAgain) {
    load();
    tick(900);
    t.dialogs.whileOpen = [this](const DialogCall &) { tick(3); };
    tick(1);
    EXPECT_EQ(farewells(), 1);
    EXPECT_EQ(t.end.count, 1);
    EXPECT_EQ(caption("lblconto"), "00:00:00");
}

TEST_F(Clock, TheLastMinuteIsToldToAScreenReaderWithoutMovingTheFocus) {
    start();
    timer()->stop(); // the test drives the ticks
    auto *notice = find<QWidget>("annuncio");
    QAccessibleInterface *spokenNotice = QAccessible::queryAccessibleInterface(notice);
    ASSERT_NE(spokenNotice, nullptr);
    EXPECT_EQ(spokenNotice->role(), QAccessible::Notification);
    while (window->orologio().tempoRestante() > 61)
        tick(1);
    EXPECT_FALSE(notice->isVisible());
    tick(1);
    EXPECT_EQ(caption("lblconto"), "00:01:00");
    // A screen reader speaks a notification as it starts to show.
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(spokenNotice->text(QAccessible::Name), "Attenzione: ultimo minuto di gioco.");
    EXPECT_TRUE(answerBox()->hasFocus());
    EXPECT_EQ(notice->size(), QSize(0, 0)) << "nothing to see";
}

TEST_F(Clock, TheMinimisedCaptionFollowsTheRemainingTime) {
    start();
    timer()->stop(); // the test drives the ticks
    tick(1);
    window->showMinimized();
    ASSERT_TRUE(window->isMinimized());
    EXPECT_EQ(window->windowTitle(), "00:14:59");
    tick(1);
    EXPECT_EQ(window->windowTitle(), "00:14:58");
    window->showNormal();
    EXPECT_EQ(window->windowTitle(), "Gioca con le zarvoni di I grado");
    tick(1);
    EXPECT_EQ(window->windowTitle(), "Gioca con le zarvoni di I grado");
}

} // namespace
} // namespace zarvoni::testing
