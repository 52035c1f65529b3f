// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The few file operations the record files need, passed in so that tests can make
// any of them fail (a full disk, a directory turned read-only) whoever runs them.

#include "records/fileproblem.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace zarvoni::records {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Creates the directory and any missing parent.
    virtual FileProblem makeDirectories(const QString &path) = 0;
    // Whether this process may create and replace files in the directory.
    virtual FileProblem checkWritable(const QString &directory) = 0;
    // Creates an empty file; System(EEXIST) when anything stands under that name.
    virtual FileProblem createEmpty(const QString &path) = 0;
    // Reads a regular file of at most maxBytes, never following a link and never
    // waiting on a FIFO or a device.
    virtual FileProblem readSmallFile(const QString &path, qint64 maxBytes, QByteArray &bytes) = 0;
    // Writes bytes to a new temporary file beside path and flushes it to the disk;
    // temporaryPath names it.
    virtual FileProblem writeTemporary(const QString &path, const QByteArray &bytes,
                                       QString &temporaryPath) = 0;
    // Puts from in the place of to, replacing (never writing through) what is there.
    virtual FileProblem rename(const QString &from, const QString &to) = 0;
    virtual void remove(const QString &path) = 0;

    class Lock {
    public:
        virtual ~Lock() = default;
    };
    // Holds the lock file at path until the returned object is destroyed.
    virtual std::unique_ptr<Lock> lock(const QString &path, FileProblem &problem) = 0;
};

} // namespace zarvoni::records
