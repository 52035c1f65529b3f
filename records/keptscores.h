// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Better scores kept on this computer until they are in the record. A store keeps
// its score here before it takes any lock or reaches any server, so that a store
// held up, cut short or cut off from the server loses nothing: whichever game next
// holds the record's lock, or next reaches the lab folder, puts the best one in.
// Each kept score is a file of its own, written once and never changed, so that
// keeping one takes no lock that another game could hold for long.

#include "records/filesystem.h"
#include "records/recordlines.h"
#include "records/recordstore.h"

#include <QString>

#include <optional>
#include <vector>

namespace zarvoni::records {

// A kept score: ".zarvoni.kept." and a random number...
inline const QString kKeptPrefix = QStringLiteral(".zarvoni.kept.");
// ...or, kept for the class's record in a lab folder, ".zarvoni.lab-kept." and one.
inline const QString kLabKeptPrefix = QStringLiteral(".zarvoni.lab-kept.");
// Held shared while a score is being kept, exclusive to remove what a game killed
// half-way through keeping one left behind.
inline const QString kKeptLock = QStringLiteral(".zarvoni.kept-lock");

class KeptScores {
public:
    // directory ends in "/"; prefix begins the names of its files there.
    KeptScores(QString directory, FileSystem &fileSystem, QString prefix = kKeptPrefix);

    struct Entry {
        QString fileName;
        PairLines lines;
        RecordPair pair() const;
    };
    enum class Keeping {
        Kept,    // on the disk, flushed: a power cut no longer loses it
        Covered, // an equal or better score is kept already: nothing written
        Failed,  // nothing kept; problem says why
    };
    // Keeps score and name, unless an equal or better score is kept already.
    Keeping keep(const QString &score, const QString &name, FileProblem &problem);

    // The best score kept, if any (the first kept of equal ones is not told
    // apart: either may go in).
    std::optional<Entry> best();

    // Lets go of every kept score that is not better than score: the record
    // holds score, or better, now.
    void release(QStringView score);

private:
    struct Found {
        std::vector<Entry> whole;
        QStringList damaged; // being written, or left half-written by a killed game
    };
    Found entries();
    void removeDamaged(const QStringList &fileNames);

    QString m_directory;
    FileSystem &m_fileSystem;
    QString m_prefix;
};

} // namespace zarvoni::records
