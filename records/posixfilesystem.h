// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record files' operations on this machine's file system.

#include "records/filesystem.h"

namespace zarvoni::records {

// Reads at most maxBytes from the descriptor, up to its end.
FileProblem readAtMost(int fd, qint64 maxBytes, QByteArray &bytes);

class PosixFileSystem : public FileSystem {
public:
    FileProblem makeDirectories(const QString &path) override;
    FileProblem makeDirectory(const QString &path) override;
    FileProblem createEmpty(const QString &path) override;
    FileProblem readBeginning(const QString &path, qint64 maxBytes, QByteArray &bytes) override;
    FileProblem identify(const QString &path, FileIdentity &identity) override;
    FileProblem writeNew(const QString &path, const QByteArray &bytes) override;
    FileProblem appendLine(const QString &path, const QByteArray &line) override;
    FileProblem rename(const QString &from, const QString &to) override;
    FileProblem remove(const QString &path) override;
    FileProblem syncDirectory(const QString &directory) override;
    FileProblem listDirectory(const QString &directory, QStringList &names) override;
    std::unique_ptr<Lock> lock(const QString &path, LockMode mode, std::chrono::milliseconds wait,
                               FileProblem &problem) override;
};

} // namespace zarvoni::records
