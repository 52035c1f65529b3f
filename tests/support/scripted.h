// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Test doubles for the seams: scripted random numbers and dialogs, a fixed date,
// a flag for the end of the program, and a file system that fails on demand.

#include "app/seams.h"
#include "records/posixfilesystem.h"

#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <map>
#include <vector>

namespace zarvoni::testing {

// Plays back the given values, then goes on with a fixed pseudo-random sequence;
// logs each draw ("r") and reseed ("seed") in order.
class ScriptedRandom final : public Random {
public:
    void script(std::vector<double> values);
    double next() override;
    void reseed() override;

    QStringList log;

private:
    std::deque<double> m_values;
    unsigned m_state = 12345;
};

// The five draws that make drawExercise produce exercise (m, a, b, k).
std::vector<double> drawsFor(int m, int a, int b, int k);

struct DialogCall {
    enum class Kind { Input, Message };
    Kind kind;
    QString prompt;
    int buttons;
    QString title;
};

// Answers dialogs from a script and records every call. A message box with only
// an OK button answers OK when nothing is scripted.
class ScriptedDialogs final : public Dialogs {
public:
    QString inputBox(const QString &prompt, const QString &title) override;
    int messageBox(const QString &prompt, int buttons, const QString &title) override;

    std::deque<QString> inputs;
    std::deque<int> answers;
    std::vector<DialogCall> calls;
    // Runs while a message box is "open", as events would on a real one.
    std::function<void(const DialogCall &)> whileOpen;

    QStringList messagePrompts() const;
};

class FixedTime final : public TimeSource {
public:
    QString shortDate() const override { return QStringLiteral("07/12/26"); }
};

class FlagProgramEnd final : public ProgramEnd {
public:
    void endProgram() override { ++count; }
    int count = 0;
};

// The real file system, with chosen operations failing with a chosen error.
class FaultyFileSystem final : public records::PosixFileSystem {
public:
    enum class Op {
        MakeDirectories,
        CreateEmpty,
        Read,
        WriteTemporary,
        Rename,
        Remove,
        SyncDirectory,
        Lock
    };
    // The nth call (from 1) of op fails with errorNumber; nth 0 fails every call.
    void failOn(Op op, int errorNumber, int nth = 0);
    // Runs before the nth call of op, e.g. to let another game change the files.
    void before(Op op, int nth, std::function<void()> action);

    records::FileProblem makeDirectories(const QString &path) override;
    records::FileProblem createEmpty(const QString &path) override;
    records::FileProblem readBeginning(const QString &path, qint64 maxBytes,
                                       QByteArray &bytes) override;
    records::FileProblem writeTemporary(const QString &path, const QByteArray &bytes,
                                        QString &temporaryPath) override;
    records::FileProblem rename(const QString &from, const QString &to) override;
    records::FileProblem remove(const QString &path) override;
    records::FileProblem syncDirectory(const QString &directory) override;
    std::unique_ptr<Lock> lock(const QString &path, LockMode mode,
                               records::FileProblem &problem) override;

private:
    // The error the present call of op must fail with, 0 for none.
    int enter(Op op);

    struct Fault {
        Op op;
        int errorNumber;
        int nth;
    };
    struct Hook {
        Op op;
        int nth;
        std::function<void()> action;
    };
    std::vector<Fault> m_faults;
    std::vector<Hook> m_hooks;
    std::map<Op, int> m_calls;
};

// All the seams of one test, with a temporary record directory.
struct TestSeams {
    TestSeams();

    QString path(const QString &fileName) const { return recordDir.filePath(fileName); }
    QByteArray bytesOf(const QString &fileName) const;
    void write(const QString &fileName, const QByteArray &bytes) const;

    QTemporaryDir recordDir;
    ScriptedRandom random;
    ScriptedDialogs dialogs;
    FixedTime time;
    FlagProgramEnd end;
    FaultyFileSystem fileSystem;
    Seams seams;
};

} // namespace zarvoni::testing
