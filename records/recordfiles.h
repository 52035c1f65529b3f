// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record files: the best score ("eq.txt") and its holder's name ("neq.txt"),
// one line each ended by CR LF, in Windows-1252, always replaced as a pair.

#include "records/filesystem.h"

#include <QString>

namespace zarvoni::records {

inline const QString kScoreFile = QStringLiteral("eq.txt");
inline const QString kNameFile = QStringLiteral("neq.txt");
inline const QString kLockFile = QStringLiteral(".zarvoni.lock");

// No record file written by the game comes near this size.
constexpr qint64 kMaxRecordFileBytes = qint64{64} * 1024;

// The directory with exactly one "/" at its end.
QString withTrailingSeparator(const QString &directory);

struct ReadResult {
    QString text;
    QString error; // empty when the file was read
    bool ok() const { return error.isEmpty(); }
};

struct StoreResult {
    enum class Outcome {
        Stored,    // both files hold the new record
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

    // Creates the directory and both files, empty, where they are missing; files
    // that exist are left byte for byte as they are. Empty on success, otherwise
    // a message for the pupil.
    QString prepare();

    // The whole content of a record file, line breaks included.
    ReadResult read(const QString &fileName);

    // Replaces the pair with score and name, unless the score now on disk is
    // equal or better. Takes the directory's lock, so two games ending together
    // never put a worse score over a better one.
    StoreResult store(const QString &score, const QString &name);

private:
    QString readError(const QString &fileName, const FileProblem &problem) const;
    StoreResult failure(const QString &fileName, const FileProblem &problem) const;

    QString m_directory;
    FileSystem &m_fileSystem;
};

} // namespace zarvoni::records
