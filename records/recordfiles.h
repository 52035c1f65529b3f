// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record files: the best score ("eq.txt") and its holder's name ("neq.txt"),
// one line each ended by CR LF, in Windows-1252, shared by every pupil of the
// machine and always read and replaced as a pair.

#include "records/filesystem.h"
#include "records/keptscores.h"
#include "records/recordlines.h"
#include "records/recordstore.h"

#include <QString>

#include <chrono>
#include <optional>

namespace zarvoni::records {

inline const QString kScoreFile = QStringLiteral("eq.txt");
inline const QString kNameFile = QStringLiteral("neq.txt");
// Locked shared to read the pair, exclusive to replace it; created once, never removed.
inline const QString kLockFile = QStringLiteral(".zarvoni.lock");
// A new pair on its way into the two files: the score line, then the name line.
// Whoever holds the lock and finds it finishes copying it, so a game killed
// half-way never leaves a score beside another pupil's name.
inline const QString kPendingFile = QStringLiteral(".zarvoni.pending");
// A pending file that did not hold two whole lines, kept aside for a teacher to see.
inline const QString kDamagedFile = QStringLiteral(".zarvoni.damaged");
// The files a store writes before renaming them into place carry this prefix and
// nothing else does: a store removes only what begins with it.
inline const QString kTemporaryPrefix = QStringLiteral(".zarvoni.tmp.");

// How long a store waits for another game's lock. A better score is kept before
// the wait (keptscores.h), so a longer hold costs the pupil nothing but the wait:
// the next game that holds the lock puts the score in.
constexpr std::chrono::milliseconds kStoreLockWait{3'000};
// A read takes no lock: it reads the files again while a store replaces them
// under it, this many times at most (about a second in all), then says so.
constexpr int kReadAttempts = 50;
constexpr std::chrono::milliseconds kReadRetryPause{20};

// The directory with exactly one "/" at its end.
QString withTrailingSeparator(const QString &directory);

// The temporary file a store writes on its way to fileName.
QString temporaryName(const QString &fileName);

// The failure a store of score and name into directory (ending in "/") meets
// before it touches anything: a line longer than a record file may hold.
std::optional<StoreResult> lineTooLong(const QString &directory, const QString &score,
                                       const QString &name);

class RecordFiles {
public:
    // directory ends in "/" (see withTrailingSeparator).
    RecordFiles(QString directory, FileSystem &fileSystem);

    QString path(const QString &fileName) const { return m_directory + fileName; }

    // Creates the directory and both files (empty) where they are missing and this
    // account may; files that exist are left byte for byte as they are. Quiet: a
    // pupil who may not write the directory still reads the record, and a store
    // that fails says why.
    void prepare();

    // Both files as one pair, never a score beside the name of another record,
    // without any lock: a read never waits for a store, nor holds one up. Missing
    // files read as empty; an altered file is read as it is (only its beginning,
    // when it is very large).
    ReadResult read();

    // Replaces the pair with score and name, unless the score now on disk is equal
    // or better. Only a better score takes the exclusive lock, and compares again
    // under it, so two games ending together never put a worse score over a
    // better one, and a score that changes nothing never holds anybody up.
    StoreResult store(const QString &score, const QString &name);

    // Puts score and name in a record directory that holds no record yet (both
    // files empty or missing), whatever the score: an earlier record of 0 or below
    // moves as any other. Not better, and nothing written, once a record is there.
    StoreResult adopt(const QString &score, const QString &name);

private:
    // Which pair on disk a store replaces.
    enum class Replaces { WorseScore, NoRecord };
    // What went wrong, and with which file (empty: the directory).
    struct Problem {
        QString fileName;
        FileProblem problem;
        bool isProblem() const { return problem.isProblem(); }
    };
    enum class Pending { None, Whole, Damaged };
    // What a store does with something other than a regular file at a record name.
    enum class Placeholders { Report, Replace };
    struct Snapshot {
        RecordPair pair;
        Pending pending = Pending::None;
        FileProblem damage; // why a damaged pending file is not a pair
        Problem problem;
    };

    static bool replaces(Replaces what, const QString &score, const RecordPair &now);
    StoreResult replace(const QString &score, const QString &name, Replaces what);
    Snapshot snapshot(Placeholders placeholders);
    bool steadySnapshot(Placeholders placeholders, Snapshot &now);
    Problem recover(bool &setAside);
    Problem writeInPlace(const QString &fileName, const QByteArray &bytes);
    Problem copyPending(const QByteArray &scoreLine, const QByteArray &nameLine);
    bool finishPending();
    void applyKept();
    QString problemText(const QString &message, const Problem &problem) const;
    StoreResult result(StoreResult::Outcome outcome, const Problem &problem) const;

    QString m_directory;
    FileSystem &m_fileSystem;
    KeptScores m_kept;
};

// The record files of a directory, read and stored by this process.
class InProcessRecords final : public RecordStore {
public:
    InProcessRecords(const QString &directory, FileSystem &fileSystem)
        : m_files(withTrailingSeparator(directory), fileSystem) {}
    ReadResult read() override {
        m_files.prepare();
        return m_files.read();
    }
    StoreResult store(const QString &score, const QString &name) override {
        return m_files.store(score, name);
    }
    StoreResult adopt(const QString &score, const QString &name) {
        return m_files.adopt(score, name);
    }

private:
    RecordFiles m_files;
};

} // namespace zarvoni::records
