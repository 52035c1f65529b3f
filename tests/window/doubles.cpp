// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/doubles.h"

#include "records/resultfiles.h"

namespace zarvoni::testing {

QString ScriptedDialogs::inputBox(const QString &prompt, const QString &title) {
    calls.push_back({DialogCall::Kind::Input, prompt, 0, title});
    if (inputs.empty())
        return {};
    QString text = inputs.front();
    inputs.pop_front();
    return text;
}

int ScriptedDialogs::messageBox(const QString &prompt, int buttons, const QString &title) {
    calls.push_back({DialogCall::Kind::Message, prompt, buttons, title});
    const DialogCall call = calls.back();
    if (whileOpen)
        whileOpen(call);
    if (!answers.empty()) {
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    if ((buttons & 0x0F) != 0 && unscriptedQuestion)
        unscriptedQuestion(prompt);
    return 1; // OK
}

QStringList ScriptedDialogs::messagePrompts() const {
    QStringList prompts;
    for (const DialogCall &call : calls) {
        if (call.kind == DialogCall::Kind::Message)
            prompts << call.prompt;
    }
    return prompts;
}

void HeldBackground::run(std::function<void()> work, QObject *context, std::function<void()> done) {
    m_held.push_back({std::move(work), context, std::move(done)});
}

void HeldBackground::release() {
    Piece piece = std::move(m_held.front());
    m_held.pop_front();
    piece.work();
    if (piece.context)
        piece.done();
}

TestSeams::TestSeams()
    : seams{random, dialogs, time, end, records, recordDir.path(), inlineBackground, results} {}

QList<QByteArray> TestSeams::resultLines() const {
    const QString month = records::ResultFiles::fileNameOf(QDate::currentDate());
    QByteArray lines = bytesOf(records::kResultsFolder + u'/' + month);
    return lines == "<missing>" ? QList<QByteArray>() : lines.chopped(1).split('\n');
}

} // namespace zarvoni::testing
