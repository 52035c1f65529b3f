// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record files: the best score ("eq.txt") and its holder's name ("neq.txt"),
// one line each ended by CR LF, in Windows-1252, shared by every pupil of the
// machine and always read and replaced as a pair.

#include "records/filesystem.h"

#include <QString>

namespace zarvoni::records {

inline const QString kScoreFile = QStringLiteral("eq.txt");
inline const QString kNameFile = QStringLiteral("neq.txt");
// Locked shared to read the pair, exclusive to replace it; created once, never removed.
inline const QString kLockFile = QStringLiteral(".zarvoni.lock");
// A new pair on its way into the two files: the score line, then the name line.
// Whoever holds the lock and finds it finishes copying it, so a game killed
// half-way never leaves a score beside another pupil's name.
inline const QString kPendingFile = QStringLiteral(".zarvoni.pending");

// No record file written by the game comes near this size; of a larger file only
// this much is read.
constexpr qint64 kMaxRecordFileBytes = qint64{64} * 1024;

// The directory with exactly one "/" at its end.
QString withTrailingSeparator(const QString &directory);

// The text of both record files, line breaks included.
struct RecordPair {
    QString score;
    QString name;
};

struct ReadResult {
    RecordPair pair;
    QString error; // empty when the pair was read
    bool ok() const { return error.isEmpty(); }
};

struct StoreResult {
    enum class Outcome {
        Stored,    // both files hold the new record
        Pending,   // the new record is on disk, but not yet in both files: the next
                   // game that reads or stores the record finishes it; error says why
        NotBetter, // the files already hold an equal or better score: nothing written
        Failed,    // nothing changed; error says why
    };
    Outcome outcome = Outcome::Failed;
    QString error;
};

class RecordFiles {
public:
    // directory ends in "/" (see withTrailingSeparator).
    RecordFiles(QString directory, FileSystem &fileSystem);

    QString path(const QString &fileName) const { return m_directory + fileName; }

    // Creates the directory, both files (empty) and the lock file where they are
    // missing and this account may; files that exist are left byte for byte as
    // they are. Quiet: a pupil who may not write the directory still reads the
    // record, and a store that fails says why.
    void prepare();

    // Both files as one step, under the shared lock: never a score beside the name
    // of another record. Missing files read as empty; an altered file is read as it
    // is (only its beginning, when it is very large).
    ReadResult read();

    // Replaces the pair with score and name, unless the score now on disk is equal
    // or better. Under the exclusive lock, so two games ending together never put a
    // worse score over a better one.
    StoreResult store(const QString &score, const QString &name);

private:
    // What went wrong, and with which file (empty: the directory).
    struct Problem {
        QString fileName;
        FileProblem problem;
        bool isProblem() const { return problem.isProblem(); }
    };
    struct Snapshot {
        RecordPair pair;
        bool pending = false; // the pair comes from a store not yet finished
        Problem problem;
    };

    Snapshot snapshot();
    Problem recover();
    Problem copyPending(const QByteArray &scoreLine, const QByteArray &nameLine);
    void finishPending();
    void removeLeftovers();
    StoreResult result(StoreResult::Outcome outcome, const Problem &problem) const;

    QString m_directory;
    FileSystem &m_fileSystem;
};

} // namespace zarvoni::records
