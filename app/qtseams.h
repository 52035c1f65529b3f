// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seams as the real program has them: Qt's dialogs, the system clock and
// the end of the event loop.

#include "app/seams.h"

#include <atomic>

namespace zarvoni {

// The title a message box carries when it has none of its own.
inline const QString kProgramName = QStringLiteral("Zarvoni");

class QtDialogs final : public Dialogs {
public:
    QString inputBox(const QString &prompt, const QString &title) override;
    int messageBox(const QString &prompt, int buttons, const QString &title) override;
};

class QtTimeSource final : public TimeSource {
public:
    QString shortDate() const override;
};

class QtProgramEnd final : public ProgramEnd {
public:
    void endProgram() override;
};

// Each piece of work on a thread of its own. A piece still running when this is
// destroyed (a server that has not answered when the program ends) ends the
// program at once: it ends anyway, and nothing may run after its parts are gone.
class ThreadBackground final : public Background {
public:
    ThreadBackground() = default;
    ~ThreadBackground() override;
    ThreadBackground(const ThreadBackground &) = delete;
    ThreadBackground &operator=(const ThreadBackground &) = delete;

    void run(std::function<void()> work, QObject *context, std::function<void()> done) override;

private:
    std::atomic<int> m_running{0};
};

} // namespace zarvoni
