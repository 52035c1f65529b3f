// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One computer's results list: a file a month ("2026-12.txt") in a folder of its
// own, to which only that computer appends, one line at a time, under a lock
// kept on the computer. The list stays bounded: months older than a year go
// whole, and past a number of lines or of bytes its oldest lines go first.

#include "records/filesystem.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <chrono>
#include <vector>

namespace zarvoni::records {

// The results folder, beside the record: in the computer's record directory, or
// in its own folder of the lab folder.
inline const QString kResultsFolder = QStringLiteral("risultati");
// In the computer's own record directory: its appends take turns under it.
inline const QString kResultsLockFile = QStringLiteral(".zarvoni.results-lock");

// What a computer's list keeps at most: the months since this one a year ago...
constexpr int kKeptMonths = 12;
// ...and, of those, this many lines and bytes, the newest.
constexpr qint64 kMaxResultsLines = 100'000;
constexpr qint64 kMaxResultsBytes = qint64{16} * 1024 * 1024;

// A month's file as read: where it lies, and its bytes.
struct ResultSegment {
    QString path;
    QByteArray bytes;
};

class ResultFiles {
public:
    // folder: a results folder, ending in "/"; lockFile: the lock on this computer.
    ResultFiles(QString folder, QString lockFile, FileSystem &fileSystem);

    // Adds line (whole, ended by a line feed) to the file of month, then lets go
    // of what the bounds no longer keep. Creates the folder where it is missing.
    FileProblem append(const QByteArray &line, QDate month);

    // Adds the files of the months from first to last (either may be null: no
    // bound) to segments, oldest first; the files it could not read, each as
    // "path: why", are returned. A folder that is not there holds no file.
    QStringList read(QDate first, QDate last, std::vector<ResultSegment> &segments);

    // Removes every month's file, and what a trim cut short left behind.
    FileProblem erase();

    // The month a file's name stands for; a null date for any other name.
    static QDate monthOf(const QString &fileName);
    static QString fileNameOf(QDate month);

private:
    // The months' file names in the folder, oldest first.
    FileProblem months(QStringList &names);
    void trim(QDate month);
    // Keeps only the last lines of a month's file (its last keep bytes, at a line's start).
    void keepEnd(const QString &fileName, const QByteArray &bytes, qsizetype from);

    QString m_folder;
    QString m_lockFile;
    FileSystem &m_fileSystem;
};

// How long an append waits for another game of this computer to finish its own.
constexpr std::chrono::milliseconds kResultsLockWait{1'000};

} // namespace zarvoni::records
