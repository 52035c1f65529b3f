// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/answercheck.h"

#include "game/numberrules.h"

namespace zarvoni {

KeyAction filterKey(int characterCode) {
    if (characterCode == '-' || (characterCode >= '0' && characterCode <= '9') ||
        characterCode == kKeyBackspace)
        return KeyAction::Pass;
    if (characterCode == kKeyEnter)
        return KeyAction::Check;
    return KeyAction::Cancel;
}

std::optional<Verdict> checkAnswer(GameState &state, QStringView typed) {
    if (state.risposto)
        return std::nullopt;
    state.risposto = true;

    // Four characters of digits and minus signs always fit; a pasted text that
    // does not fit in 16 bits cannot be the answer.
    const std::optional<int16> value = roundToInt16(leadingNumber(typed));
    if (value == state.risultato) {
        state.esatte = saturatingAdd(state.esatte, 1);
        return Verdict{true, kCorrectMessage};
    }
    state.errate = saturatingAdd(state.errate, 1);
    return Verdict{false, kWrongMessagePrefix + formatPlain(state.risultato)};
}

} // namespace zarvoni
