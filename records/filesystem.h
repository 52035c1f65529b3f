// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few file operations the record files need, passed in so that tests can make
// any of them fail (a full disk, a directory turned read-only) or stop the process
// between any two of them, whoever runs them.

#include "records/fileproblem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

namespace zarvoni::records {

// What tells a file from another that later takes its name: where it lies, its
// number there, and when its contents or its entry last changed. A store never
// changes a record file in place, it renames a new one over it; so a file whose
// identity is the same before and after a read was not replaced meanwhile.
struct FileIdentity {
    quint64 device = 0;
    quint64 file = 0;
    qint64 size = 0;
    qint64 modified = 0; // nanoseconds, or the system's own unit
    qint64 changed = 0;
    bool operator==(const FileIdentity &) const = default;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Creates the directory and any missing parent. A record directory it creates
    // is shared like the installed one: group games where that group exists,
    // set-group-id, open to the group and closed to others, whatever the umask.
    virtual FileProblem makeDirectories(const QString &path) = 0;
    // Creates one directory, whose parent must exist, with the rights its parent
    // hands down (a computer's folder in a lab folder on a server, whose rights the
    // technician set there); System(EEXIST) when anything stands under that name.
    virtual FileProblem makeDirectory(const QString &path) = 0;
    // Creates an empty file for the group, closed to others; System(EEXIST) when
    // anything stands under that name.
    virtual FileProblem createEmpty(const QString &path) = 0;
    // Reads at most maxBytes from the beginning of a regular file, never following
    // a link and never opening a FIFO or a device.
    virtual FileProblem readBeginning(const QString &path, qint64 maxBytes, QByteArray &bytes) = 0;
    // The identity of what stands at path, never following a link; System(ENOENT)
    // when nothing does.
    virtual FileProblem identify(const QString &path, FileIdentity &identity) = 0;
    // Creates path, which must not exist, as a file for the group closed to others,
    // writes bytes into it and flushes it to the disk. On failure nothing stays.
    virtual FileProblem writeNew(const QString &path, const QByteArray &bytes) = 0;
    // Adds line at the end of the regular file at path, created for the group and
    // closed to others where missing, never through a link, and flushes it to the
    // disk. The line starts a line of its own: after a line feed when the file does
    // not end with one (a line cut short stays cut, and nothing joins it), or when
    // its end cannot be read.
    virtual FileProblem appendLine(const QString &path, const QByteArray &line) = 0;
    // Puts from in the place of to, replacing (never writing through) what is there.
    virtual FileProblem rename(const QString &from, const QString &to) = 0;
    virtual FileProblem remove(const QString &path) = 0;
    // Flushes the directory's entries to the disk, so that renames survive a power cut.
    virtual FileProblem syncDirectory(const QString &directory) = 0;
    // The names of what a directory holds, but "." and "..", in no particular order.
    virtual FileProblem listDirectory(const QString &directory, QStringList &names) = 0;

    enum class LockMode { Shared, Exclusive };
    class Lock {
    public:
        virtual ~Lock() = default;
    };
    // Holds the lock on the lock file at path, created if missing, until the
    // returned object is destroyed or the process dies. Waits at most wait for
    // another holder (then Busy). The file locked is the one at path when the lock
    // is taken: one removed or replaced meanwhile is locked again under its name.
    virtual std::unique_ptr<Lock> lock(const QString &path, LockMode mode,
                                       std::chrono::milliseconds wait, FileProblem &problem) = 0;
};

} // namespace zarvoni::records
