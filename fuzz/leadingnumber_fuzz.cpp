// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the leading-number rule, the rule that reads every typed answer
// and the stored score. The input is read twice: byte by byte as Latin-1, and as
// UTF-16 code units (pairs of bytes, little end first), which brings in any
// character, lone surrogates included.

#include "check.h"
#include "referencenumber.h"

#include "game/numberrules.h"

#include <QString>

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using zarvoni::fuzz::check;

void checkText(const std::u16string &text) {
    const QStringView view(text.data(), static_cast<qsizetype>(text.size()));
    const double value = zarvoni::leadingNumber(view);
    check(std::isfinite(value), "leadingNumber is finite");

    const double expected = zarvoni::fuzz::referenceLeadingNumber(text);
    check(std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(expected),
          "leadingNumber agrees with the reference, sign of zero included");

    // An answer is the value rounded to 16 bits, halves to even: -32768.5 still fits,
    // 32767.5 no longer does.
    const std::optional<zarvoni::int16> rounded = zarvoni::roundToInt16(value);
    check(rounded.has_value() == (value >= -32768.5 && value < 32767.5),
          "roundToInt16 refuses exactly what does not fit in 16 bits");
    if (rounded)
        check(std::abs(*rounded - value) <= 0.5, "roundToInt16 gives the nearest integer");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    std::u16string latin1;
    for (std::size_t i = 0; i < size; ++i)
        latin1 += static_cast<char16_t>(data[i]);
    checkText(latin1);

    std::u16string utf16;
    for (std::size_t i = 0; i + 1 < size; i += 2)
        utf16 += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    checkText(utf16);
    return 0;
}
