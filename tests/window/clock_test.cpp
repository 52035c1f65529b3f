// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/windowfixture.h"

#include <QAccessible>
#include <QTest>

namespace zarvoni::testing {
namespace {

// What the clock showed each time the watched widget started to show.
class ShowsAt final : public QObject {
public:
    explicit ShowsAt(const CaptionLabel *clock) : m_clock(clock) {}
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Show)
            at << m_clock->caption();
        return false;
    }
    QStringList at;

private:
    const CaptionLabel *m_clock;
};

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

struct WhileTheFarewellIsOpen {
    const char *label;
    void (*arrive)(Tavola &window);
};

// Without it, GoogleTest prints a row as its raw bytes.
void PrintTo(const WhileTheFarewellIsOpen &row, std::ostream *os) {
    *os << row.label;
}

class FarewellOpen : public Clock, public ::testing::WithParamInterface<WhileTheFarewellIsOpen> {};

// The end-of-game routine runs once and to its end, whatever arrives while its
// boxes are open; only then does the program end, once.
TEST_P(FarewellOpen, TheRoutineRunsOnceToItsEnd) {
    load();
    tick(900);
    int endsWhileOpen = -1;
    t.dialogs.whileOpen = [&](const DialogCall &) {
        GetParam().arrive(*window);
        endsWhileOpen = t.end.count;
    };
    tick(1);
    EXPECT_EQ(endsWhileOpen, 0) << "nothing ends the program while the farewell is open";
    EXPECT_EQ(farewells(), 1);
    EXPECT_EQ(t.end.count, 1);
    EXPECT_EQ(caption("lblconto"), "00:00:00");
    EXPECT_TRUE(window->close()) << "once the routine has ended, the window closes";
    EXPECT_EQ(t.end.count, 1);
}

void ticks(Tavola &window) {
    for (int i = 0; i < 3; ++i)
        window.Timer1_Timer();
}

void closing(Tavola &window) {
    EXPECT_FALSE(window.close()) << "refused while the routine runs";
}

INSTANTIATE_TEST_SUITE_P(Arrivals, FarewellOpen,
                         ::testing::Values(WhileTheFarewellIsOpen{"Ticks", &ticks},
                                           WhileTheFarewellIsOpen{"ClosingTheWindow", &closing}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(Clock, TheLastMinuteIsToldToAScreenReaderWithoutMovingTheFocus) {
    start();
    timer()->stop(); // the test drives the ticks
    auto *notice = find<QWidget>("annuncio");
    QAccessibleInterface *spokenNotice = QAccessible::queryAccessibleInterface(notice);
    ASSERT_NE(spokenNotice, nullptr);
    EXPECT_EQ(spokenNotice->role(), QAccessible::Notification);
    // A screen reader speaks a notification each time it starts to show.
    ShowsAt shows(find("lblconto"));
    notice->installEventFilter(&shows);
    while (window->orologio().tempoRestante() > 61)
        tick(1);
    EXPECT_FALSE(notice->isVisible());
    tick(1);
    EXPECT_EQ(caption("lblconto"), "00:01:00");
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(spokenNotice->text(QAccessible::Name), "Attenzione: ultimo minuto di gioco.");
    EXPECT_TRUE(answerBox()->hasFocus());
    EXPECT_EQ(notice->size(), QSize(0, 0)) << "nothing to see";
    tick(60);
    EXPECT_EQ(caption("lblconto"), "00:00:00");
    EXPECT_EQ(shows.at, QStringList{"00:01:00"}) << "said once, as the last minute begins";
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
