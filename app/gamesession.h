// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Keeps the one window of the game: shows it at start and replaces it with a fresh
// one when the pupil starts a new game.

#include "app/seams.h"

#include <QObject>

#include <memory>

namespace zarvoni {

class Tavola;

class GameSession : public QObject {
    Q_OBJECT
public:
    explicit GameSession(const Seams &seams);
    ~GameSession() override;

    // Creates the window, runs its start-up and shows it.
    void start();
    Tavola *window() const { return m_window.get(); }

private:
    void restart();

    Seams m_seams;
    std::unique_ptr<Tavola> m_window;
};

} // namespace zarvoni
