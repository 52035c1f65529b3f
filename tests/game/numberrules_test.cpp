// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/numberrules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zarvoni {
namespace {

struct LeadingCase {
    const char16_t *text;
    double value;
};

class LeadingNumber : public ::testing::TestWithParam<LeadingCase> {};

TEST_P(LeadingNumber, ReadsTheNumberATextBeginsWith) {
    const LeadingCase &c = GetParam();
    EXPECT_DOUBLE_EQ(leadingNumber(QString::fromUtf16(c.text)), c.value)
        << QString::fromUtf16(c.text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Rule, LeadingNumber,
    ::testing::Values(LeadingCase{u"", 0}, LeadingCase{u"-", 0}, LeadingCase{u"--3", 0},
                      LeadingCase{u"12-3", 12}, LeadingCase{u"007", 7}, LeadingCase{u"1 2", 12},
                      LeadingCase{u"\t-4", -4}, LeadingCase{u"12\r\n", 12},
                      LeadingCase{u"1\n2", 12}, LeadingCase{u"2.5", 2.5},
                      LeadingCase{u"1.2.3", 1.2}, LeadingCase{u"1e3", 1}, LeadingCase{u"&H10", 0},
                      LeadingCase{u"abc", 0}, LeadingCase{u"x12", 0}, LeadingCase{u"+5", 5},
                      LeadingCase{u"- 7", -7}, LeadingCase{u".5", 0.5}, LeadingCase{u"-.", 0},
                      LeadingCase{u"3-", 3}, LeadingCase{u"5+3", 5}, LeadingCase{u"+-5", 0},
                      LeadingCase{u"\r12", 0}, LeadingCase{u"١٢", 0}));

TEST(LeadingNumber, StaysFiniteForHundredsOfDigits) {
    const QString huge = QString(400, u'9');
    EXPECT_TRUE(std::isfinite(leadingNumber(huge)));
    EXPECT_GT(leadingNumber(huge), 1e300);
    EXPECT_LT(leadingNumber(u'-' + huge), -1e300);
}

TEST(LeadingNumber, HundredsOfZerosAfterThePointReadAsZero) {
    // Too small for a double: the nearest value is zero, not the largest number.
    const QString tiny = QStringLiteral("0.") + QString(400, u'0') + u'1';
    EXPECT_EQ(leadingNumber(tiny), 0.0);
    EXPECT_EQ(leadingNumber(u'-' + tiny), 0.0);
    EXPECT_EQ(leadingNumber(u'.' + QString(400, u'0') + u'7'), 0.0);
    EXPECT_GT(leadingNumber(QStringLiteral("0.") + QString(300, u'0') + u'1'), 0.0)
        << "still within range";
    EXPECT_GT(leadingNumber(QStringLiteral("1.") + QString(400, u'0') + u'1'), 0.99);
}

struct RoundCase {
    double value;
    std::optional<int16> rounded;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const RoundCase &c, std::ostream *os) {
    *os << c.value;
}

class RoundToInt16 : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundToInt16, RoundsHalvesToEvenAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(roundToInt16(GetParam().value), GetParam().rounded) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Rule, RoundToInt16,
    ::testing::Values(RoundCase{2.5, 2}, RoundCase{3.5, 4}, RoundCase{-2.5, -2},
                      RoundCase{-3.5, -4}, RoundCase{0.49, 0}, RoundCase{32767, 32767},
                      RoundCase{32767.5, std::nullopt}, RoundCase{-32768, -32768},
                      RoundCase{-32768.6, std::nullopt}, RoundCase{1e308, std::nullopt},
                      RoundCase{NAN, std::nullopt}));

TEST(Formats, PlainNumbersAreNotPadded) {
    EXPECT_EQ(formatPlain(0), "0");
    EXPECT_EQ(formatPlain(-6), "-6");
    EXPECT_EQ(formatPlain(32767), "32767");
}

} // namespace
} // namespace zarvoni
