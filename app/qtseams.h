// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The seams as the real program has them: Qt's dialogs, the system clock and
// the end of the event loop.

#include "app/seams.h"

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

} // namespace zarvoni
