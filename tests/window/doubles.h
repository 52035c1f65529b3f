// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Doubles for the window's seams: scripted dialogs, a fixed date, a flag for the
// end of the program, and all the seams of one test or benchmark together.

#include "app/seams.h"
#include "game/scriptedrandom.h"
#include "records/faultyfilesystem.h"
#include "records/recordfiles.h"

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

// All the seams of one test, with a temporary record directory.
struct TestSeams : TestRecords {
    TestSeams();

    records::InProcessRecords records{recordDir.path(), fileSystem};
    ScriptedRandom random;
    ScriptedDialogs dialogs;
    FixedTime time;
    FlagProgramEnd end;
    Seams seams;
};

} // namespace zarvoni::testing
