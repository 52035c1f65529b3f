// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Message boxes are described by one number: which buttons, which icon, which
// button is the default. This turns the number into its parts.

#include <vector>

namespace zarvoni {

// The buttons a message box can show; the value is what the box returns.
enum class MessageBoxButton {
    Ok = 1,
    Cancel = 2,
    Abort = 3,
    Retry = 4,
    Ignore = 5,
    Yes = 6,
    No = 7
};

enum class MessageBoxIcon { None, Critical, Question, Exclamation, Information };

namespace MessageBoxCode {
constexpr int Ok = 0;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int SecondButtonDefault = 256;
} // namespace MessageBoxCode

struct MessageBoxStyle {
    std::vector<MessageBoxButton> buttons;
    MessageBoxIcon icon = MessageBoxIcon::None;
    // Index into buttons of the default button.
    int defaultButton = 0;
};

MessageBoxStyle decodeMessageBoxCode(int code);

} // namespace zarvoni
