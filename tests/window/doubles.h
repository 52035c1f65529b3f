// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Doubles for the window's seams: scripted dialogs, a fixed date, a flag for the
// end of the program, and all the seams of one test or benchmark together.

#include "app/seams.h"
#include "game/scriptedrandom.h"
#include "records/faultyfilesystem.h"
#include "records/machineresults.h"
#include "records/recordfiles.h"

#include <QPointer>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace zarvoni::testing {

struct DialogCall {
    enum class Kind { Input, Message };
    Kind kind;
    QString prompt;
    int buttons;
    QString title;
};

// Answers dialogs from a script and records every call. A message box with only
// an OK button answers OK when nothing is scripted; a question with no scripted
// answer is reported to unscriptedQuestion (a test makes it a failure).
class ScriptedDialogs final : public Dialogs {
public:
    QString inputBox(const QString &prompt, const QString &title) override;
    int messageBox(const QString &prompt, int buttons, const QString &title) override;

    std::deque<QString> inputs;
    std::deque<int> answers;
    std::vector<DialogCall> calls;
    // Runs while a message box is "open", as events would on a real one.
    std::function<void(const DialogCall &)> whileOpen;
    std::function<void(const QString &prompt)> unscriptedQuestion;

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

// Runs the work and its answer at once, on the caller's thread: the record is
// read and stored as if no server could take its time.
class InlineBackground final : public Background {
public:
    void run(std::function<void()> work, QObject *, std::function<void()> done) override {
        work();
        done();
    }
};

// Holds each piece of work until the test lets it run, as a slow server would.
class HeldBackground final : public Background {
public:
    void run(std::function<void()> work, QObject *context, std::function<void()> done) override;
    // Runs the oldest piece held, and its answer if its context is still there.
    void release();
    std::size_t held() const { return m_held.size(); }

private:
    struct Piece {
        std::function<void()> work;
        QPointer<QObject> context;
        std::function<void()> done;
    };
    std::deque<Piece> m_held;
};

// A record that answers as the test says, on a server the test controls through
// HeldBackground.
class ScriptedRecords final : public records::RecordStore {
public:
    records::ReadResult read() override { return readAnswer; }
    records::StoreResult store(const QString &, const QString &) override { return storeAnswer; }
    records::ReadResult readAnswer;
    records::StoreResult storeAnswer;
};

// All the seams of one test, with a temporary record directory.
struct TestSeams : TestRecords {
    TestSeams();

    records::InProcessRecords records{recordDir.path(), fileSystem};
    // The results list beside the record, on the same file system.
    records::MachineResults results{
        recordDir.path(),
        records::Settings{},
        std::shared_ptr<records::FileSystem>(std::shared_ptr<void>(), &fileSystem),
        {}};
    // The lines of this month's results file.
    QList<QByteArray> resultLines() const;
    ScriptedRandom random;
    ScriptedDialogs dialogs;
    FixedTime time;
    FlagProgramEnd end;
    InlineBackground inlineBackground;
    Seams seams;
};

} // namespace zarvoni::testing
