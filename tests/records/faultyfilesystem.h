// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record files' doubles: the real file system with chosen operations failing
// or a chosen action before them, and a temporary record directory.

#include "records/nativefilesystem.h"

#include <QTemporaryDir>

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

namespace zarvoni::testing {

// How the store child (storechild.cpp) ends at the step it is told: at once, with
// no destructor run, so that the system closes its files and lets its lock go as
// it does for a killed process.
constexpr int kKilledExitCode = 137;

// The real file system, with chosen operations failing with a chosen error.
class FaultyFileSystem final : public records::NativeFileSystem {
public:
    enum class Op {
        MakeDirectories,
        CreateEmpty,
        Read,
        WriteNew,
        Append,
        Rename,
        Remove,
        SyncDirectory,
        Lock,
        List
    };
    // The nth call (from 1) of op fails with errorNumber; nth 0 fails every call.
    void failOn(Op op, int errorNumber, int nth = 0);
    // Runs before the nth call of op, e.g. to let another game change the files.
    void before(Op op, int nth, std::function<void()> action);
    // Runs before every call of op on a file or directory of that name, from any
    // thread, e.g. to stall a server.
    void beforeEach(Op op, const QString &fileName, std::function<void()> action);

    records::FileProblem makeDirectories(const QString &path) override;
    records::FileProblem makeDirectory(const QString &path) override;
    records::FileProblem createEmpty(const QString &path) override;
    records::FileProblem readBeginning(const QString &path, qint64 maxBytes,
                                       QByteArray &bytes) override;
    records::FileProblem writeNew(const QString &path, const QByteArray &bytes) override;
    records::FileProblem appendLine(const QString &path, const QByteArray &line) override;
    records::FileProblem rename(const QString &from, const QString &to) override;
    records::FileProblem remove(const QString &path) override;
    records::FileProblem syncDirectory(const QString &directory) override;
    records::FileProblem listDirectory(const QString &directory, QStringList &names) override;
    std::unique_ptr<Lock> lock(const QString &path, LockMode mode, std::chrono::milliseconds wait,
                               records::FileProblem &problem) override;

    // Every call made, in order: which operation, on which file name.
    struct Call {
        Op op;
        QString fileName;
    };
    std::vector<Call> calls;
    // When set, no lock waits longer for another holder, so that a test of a
    // held lock takes no longer than it needs.
    std::optional<std::chrono::milliseconds> lockWait;

private:
    // Records the call; the error it must fail with, 0 for none.
    int enter(Op op, const QString &path);

    struct Fault {
        Op op;
        int errorNumber;
        int nth;
    };
    struct Hook {
        Op op;
        int nth; // 0: every call on fileName
        std::function<void()> action;
        QString fileName;
    };
    std::vector<Fault> m_faults;
    std::vector<Hook> m_hooks;
    std::map<Op, int> m_calls;
    std::mutex m_mutex; // a lab folder is read by several threads at once
};

// A temporary record directory, the files in it as bytes, and a file system
// that fails on demand.
struct TestRecords {
    QString path(const QString &fileName) const { return recordDir.filePath(fileName); }
    // The bytes of a file, "<missing>" when it cannot be opened.
    QByteArray bytesOf(const QString &fileName) const;
    // Puts bytes in a file; a test cannot go on without it, so a failure aborts.
    void write(const QString &fileName, const QByteArray &bytes) const;

    QTemporaryDir recordDir;
    FaultyFileSystem fileSystem;
};

} // namespace zarvoni::testing
