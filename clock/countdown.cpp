// SPDX-License-Identifier: GPL-3.0-or-later
#include "clock/countdown.h"

namespace zarvoni {

namespace {

QString twoDigits(int value) {
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}

} // namespace

void Countdown::start() {
    m_ore = 0;
    m_minuti = kStartMinutes;
    m_secondi = 0;
    m_tempoRestante = kStartSeconds;
}

Countdown::Tick Countdown::tick() {
    if (displayText() == kZeroDisplay)
        return Tick::Expired;
    if (m_secondi == 0) {
        m_minuti = static_cast<std::int16_t>(m_minuti - 1);
        m_secondi = 60;
    }
    m_secondi -= 1;
    m_tempoRestante = static_cast<std::int16_t>(m_tempoRestante - 1);
    return Tick::Counted;
}

QString Countdown::displayText() const {
    return twoDigits(m_ore) + u':' + twoDigits(m_minuti) + u':' +
           twoDigits(static_cast<int>(m_secondi));
}

} // namespace zarvoni
