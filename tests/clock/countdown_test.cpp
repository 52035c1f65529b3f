// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/countdown.h"

#include <gtest/gtest.h>

namespace zarvoni {
namespace {

struct TickCase {
    int ticks;
    const char *display;
    int tempoRestante;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const TickCase &c, std::ostream *os) {
    *os << c.ticks << " ticks";
}

class CountdownTicks : public ::testing::TestWithParam<TickCase> {};

TEST_P(CountdownTicks, ShowTheRemainingTime) {
    Countdown clock;
    clock.start();
    for (int i = 0; i < GetParam().ticks; ++i)
        ASSERT_EQ(clock.tick(), Countdown::Tick::Counted) << "tick " << i + 1;
    EXPECT_EQ(clock.displayText(), QLatin1String(GetParam().display));
    EXPECT_EQ(clock.tempoRestante(), GetParam().tempoRestante);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CountdownTicks,
    ::testing::Values(TickCase{0, "00:15:00", 900}, TickCase{1, "00:14:59", 899},
                      TickCase{60, "00:14:00", 840}, TickCase{61, "00:13:59", 839},
                      TickCase{899, "00:00:01", 1}, TickCase{900, "00:00:00", 0}));

TEST(Countdown, KeepsItsInvariantOnEveryTick) {
    Countdown clock;
    clock.start();
    for (int i = 0; i < 900; ++i) {
        clock.tick();
        EXPECT_EQ(clock.ore(), 0);
        EXPECT_GE(clock.minuti(), 0);
        EXPECT_LE(clock.minuti(), 15);
        EXPECT_GE(clock.secondi(), 0);
        EXPECT_LE(clock.secondi(), 59);
        EXPECT_EQ(clock.tempoRestante(),
                  3600 * clock.ore() + 60 * clock.minuti() + static_cast<int>(clock.secondi()))
            << "after tick " << i + 1;
    }
}

TEST(Countdown, ExpiresOnTheTickAfterZeroAndNeverCountsBelowIt) {
    Countdown clock;
    clock.start();
    for (int i = 0; i < 900; ++i)
        clock.tick();
    for (int extra = 0; extra < 3; ++extra) {
        EXPECT_EQ(clock.tick(), Countdown::Tick::Expired);
        EXPECT_EQ(clock.displayText(), Countdown::kZeroDisplay);
        EXPECT_EQ(clock.tempoRestante(), 0);
    }
}

TEST(Countdown, StartsAgainFromFifteenMinutes) {
    Countdown clock;
    clock.start();
    for (int i = 0; i < 100; ++i)
        clock.tick();
    clock.start();
    EXPECT_EQ(clock.displayText(), "00:15:00");
    EXPECT_EQ(clock.tempoRestante(), 900);
}

} // namespace
} // namespace zarvoni
