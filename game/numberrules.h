// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the game turns text into numbers and numbers into text.

#include "game/int16.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace zarvoni {

// The number a text begins with. Blanks, tabs and line feeds are skipped wherever
// they stand; an optional sign, decimal digits and at most one decimal point make
// the number; reading stops at the first character that cannot continue it.
// A text that does not begin with a number gives 0. Never fails; always finite.
double leadingNumber(QStringView text);

// Rounds to the nearest integer, halves to the even neighbour; nothing when the
// result does not fit in 16 bits.
std::optional<int16> roundToInt16(double value);

// At least one digit, no padding, a leading "-" when negative.
QString formatPlain(int value);

} // namespace zarvoni
