// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Everything the window cannot control itself, bundled and handed to each new
// window (and on to the next one after a restart), so tests can script it.

#include "game/random.h"
#include "records/recordstore.h"
#include "records/resultslist.h"

#include <QString>

#include <functional>

class QObject;

namespace zarvoni {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A modal input box; the text typed, empty when cancelled.
    virtual QString inputBox(const QString &prompt, const QString &title) = 0;
    // A modal message box; buttons is a MessageBoxCode, the result a MessageBoxButton.
    // An empty title means the box has no title of its own.
    virtual int messageBox(const QString &prompt, int buttons, const QString &title) = 0;
};

class TimeSource {
public:
    virtual ~TimeSource() = default;
    // Today's date in the user's short date form.
    virtual QString shortDate() const = 0;
};

class ProgramEnd {
public:
    virtual ~ProgramEnd() = default;
    // Ends the program at once with status 0.
    virtual void endProgram() = 0;
};

class Background {
public:
    virtual ~Background() = default;
    // Runs work away from the window's thread, since the record may lie on a
    // school's server that takes its time; then done on context's thread, unless
    // context is gone by then.
    virtual void run(std::function<void()> work, QObject *context, std::function<void()> done) = 0;
};

struct Seams {
    Random &random;
    Dialogs &dialogs;
    TimeSource &time;
    ProgramEnd &end;
    // Where the record is read and stored: through the record keeper when it is
    // installed, otherwise in the game's own process.
    records::RecordStore &records;
    // The one directory that holds the record files.
    QString recordDirectory;
    // Where reads and stores of the record run.
    Background &background;
    // Where every finished game leaves its line for the teachers.
    records::ResultsList &results;
};

} // namespace zarvoni
