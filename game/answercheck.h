// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the answer box lets through, and the verdict on a typed answer.

#include "game/gamestate.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace zarvoni {

constexpr int kKeyBackspace = 8;
constexpr int kKeyEnter = 13;

enum class KeyAction {
    Pass,   // the character reaches the box
    Check,  // Enter: check the answer, then let the box have the key
    Cancel, // the box never sees the character
};

// Only "-", digits and backspace reach the answer box; Enter checks the answer.
KeyAction filterKey(int characterCode);

inline const QString kCorrectMessage = QStringLiteral("Esatto. Sei forte!");
inline const QString kWrongMessagePrefix = QStringLiteral("Sbagliato!! ");

struct Verdict {
    bool correct = false;
    QString message;
};

// Checks the typed text against the expected answer and counts it. Each exercise
// is counted once: after its verdict, nothing until the next one is posed.
std::optional<Verdict> checkAnswer(GameState &state, QStringView typed);

} // namespace zarvoni
