// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The class's results: a line for every game that ends, in a list that only the
// teachers read. What the window knows of a finished game, and the one interface
// it hands it to; where the line goes, and when and where it was written, is the
// list's business.

#include <QString>

namespace zarvoni::records {

// How a game ended: the clock ran out, the pupil left, or chose a new game.
enum class GameEnding { TimeUp, Exit, NewGame };

struct GameEnd {
    QString name; // as typed at start
    int correct = 0;
    int wrong = 0;
    int total = 0;
    bool record = false; // its score became the record, or is kept to become it
    GameEnding ending = GameEnding::Exit;
};

class ResultsList {
public:
    virtual ~ResultsList() = default;
    // Adds the game's line. False when it was not written (the list is turned
    // off, the disk is full, the server is away): the game says nothing of it.
    virtual bool append(const GameEnd &game) = 0;
};

} // namespace zarvoni::records
