// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/messageboxcode.h"

#include <algorithm>

namespace zarvoni {

MessageBoxStyle decodeMessageBoxCode(int code) {
    using B = MessageBoxButton;
    MessageBoxStyle style;
    switch (code & 0x0F) {
    case 1:
        style.buttons = {B::Ok, B::Cancel};
        break;
    case 2:
        style.buttons = {B::Abort, B::Retry, B::Ignore};
        break;
    case 3:
        style.buttons = {B::Yes, B::No, B::Cancel};
        break;
    case 4:
        style.buttons = {B::Yes, B::No};
        break;
    case 5:
        style.buttons = {B::Retry, B::Cancel};
        break;
    default:
        style.buttons = {B::Ok};
        break;
    }
    switch (code & 0x70) {
    case MessageBoxCode::Critical:
        style.icon = MessageBoxIcon::Critical;
        break;
    case MessageBoxCode::Question:
        style.icon = MessageBoxIcon::Question;
        break;
    case MessageBoxCode::Exclamation:
        style.icon = MessageBoxIcon::Exclamation;
        break;
    case MessageBoxCode::Information:
        style.icon = MessageBoxIcon::Information;
        break;
    default:
        break;
    }
    const int requested = (code & 0x300) >> 8;
    style.defaultButton = std::min(requested, static_cast<int>(style.buttons.size()) - 1);
    return style;
}

} // namespace zarvoni
