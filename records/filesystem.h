// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few file operations the record files need, passed in so that tests can make
// any of them fail (a full disk, a directory turned read-only) or stop the process
// between any two of them, whoever runs them.

#include "records/fileproblem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

namespace zarvoni::records {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Creates the directory and any missing parent. A record directory it creates
    // is shared like the installed one: group games where that group exists,
    // set-group-id and group-writable, whatever the umask.
    virtual FileProblem makeDirectories(const QString &path) = 0;
    // Creates an empty group-writable file; System(EEXIST) when anything stands
    // under that name.
    virtual FileProblem createEmpty(const QString &path) = 0;
    // Reads at most maxBytes from the beginning of a regular file, never following
    // a link and never waiting on a FIFO or a device.
    virtual FileProblem readBeginning(const QString &path, qint64 maxBytes, QByteArray &bytes) = 0;
    // Writes bytes to a new group-writable temporary file beside path and flushes
    // it to the disk; temporaryPath names it.
    virtual FileProblem writeTemporary(const QString &path, const QByteArray &bytes,
                                       QString &temporaryPath) = 0;
    // Puts from in the place of to, replacing (never writing through) what is there.
    virtual FileProblem rename(const QString &from, const QString &to) = 0;
    virtual FileProblem remove(const QString &path) = 0;
    // Flushes the directory's entries to the disk, so that renames survive a power cut.
    virtual FileProblem syncDirectory(const QString &directory) = 0;
    // The names in the directory, hidden ones included; empty when it cannot be read.
    virtual QStringList entries(const QString &directory) = 0;

    enum class LockMode { Shared, Exclusive };
    class Lock {
    public:
        virtual ~Lock() = default;
    };
    // Holds the lock on the lock file at path, created if missing, until the
    // returned object is destroyed or the process dies; waits a bounded time.
    virtual std::unique_ptr<Lock> lock(const QString &path, LockMode mode,
                                       FileProblem &problem) = 0;
};

} // namespace zarvoni::records
