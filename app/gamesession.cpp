// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/gamesession.h"

#include "app/tavola.h"

namespace zarvoni {

GameSession::GameSession(const Seams &seams) : m_seams(seams) {}

GameSession::~GameSession() = default;

void GameSession::start() {
    // The old window goes, with its controls, timer and state, before the new one loads.
    m_window.reset();
    m_window = std::make_unique<Tavola>(m_seams);
    // Queued: the old window's handler returns before the window is destroyed.
    connect(m_window.get(), &Tavola::restartRequested, this, &GameSession::restart,
            Qt::QueuedConnection);
    m_window->Form_Load();
    m_window->show();
    m_window->activateWindow();
}

void GameSession::restart() {
    start();
}

} // namespace zarvoni
