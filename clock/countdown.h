// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game's countdown: fifteen displayed minutes, one displayed second a tick.

#include <QString>

#include <cstdint>

namespace zarvoni {

class Countdown {
public:
    static constexpr int kStartMinutes = 15;
    static constexpr std::int16_t kStartSeconds = 900;
    static inline const QString kZeroDisplay = QStringLiteral("00:00:00");

    enum class Tick {
        Counted, // one second came off the display
        Expired, // the display already read 00:00:00: the game is over
    };

    // Back to 00:15:00 with 900 seconds left.
    void start();
    // Takes one second off, or reports that the display had reached zero.
    Tick tick();

    // "hh:mm:ss", each field at least two digits.
    QString displayText() const;

    std::int16_t ore() const { return m_ore; }
    std::int16_t minuti() const { return m_minuti; }
    float secondi() const { return m_secondi; }
    std::int16_t tempoRestante() const { return m_tempoRestante; }

private:
    std::int16_t m_ore = 0;
    std::int16_t m_minuti = 0;
    float m_secondi = 0;
    std::int16_t m_tempoRestante = 0;
};

} // namespace zarvoni
