// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What reading and storing the record give the game, and the one interface through
// which it does both: in its own process, or through the record keeper, with the
// same outcomes and the same messages.

#include <QString>

namespace zarvoni::records {

// The text of both record files, line breaks included.
struct RecordPair {
    QString score;
    QString name;
};

struct ReadResult {
    enum class Outcome {
        Read,   // pair holds the record; message, when there is one, is a notice beside it
        Failed, // the record cannot be shown; message says why
        Busy,   // another game held the lock for too long; message says so
        // The class's record on the school's server cannot be reached now: pair is
        // what this computer keeps and has not delivered yet, if anything; message
        // says why.
        Unreachable,
    };
    Outcome outcome = Outcome::Read;
    RecordPair pair;
    QString message;
    bool ok() const { return outcome == Outcome::Read; }
};

struct StoreResult {
    enum class Outcome {
        Stored,    // both files hold the new record
        Pending,   // the new record is on disk, but not yet in both files: the next
                   // game that reads or stores the record finishes it; message says
                   // why, and whether a power cut could still lose it
        NotBetter, // the files already hold an equal or better score: nothing written
        Failed,    // nothing changed; message says why
        Busy,      // nothing changed: another game held the lock for too long
        Unknown,   // the record keeper stopped before it answered: the pair on disk is
                   // whole, the old one or the new one; message says so
    };
    Outcome outcome = Outcome::Failed;
    QString message;
};

class RecordStore {
public:
    virtual ~RecordStore() = default;
    // Creates the directory and the empty files where they are missing and this
    // account may, then reads both files as one pair.
    virtual ReadResult read() = 0;
    // Replaces the pair with score and name, unless the score on disk is equal or
    // better.
    virtual StoreResult store(const QString &score, const QString &name) = 0;
};

} // namespace zarvoni::records
