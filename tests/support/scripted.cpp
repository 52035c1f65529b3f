// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/scripted.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>

namespace zarvoni::testing {

void ScriptedRandom::script(std::vector<double> values) {
    m_values.insert(m_values.end(), values.begin(), values.end());
}

double ScriptedRandom::next() {
    log << QStringLiteral("r");
    if (!m_values.empty()) {
        const double value = m_values.front();
        m_values.pop_front();
        return value;
    }
    m_state = m_state * 1103515245u + 12345u;
    return double((m_state >> 8) & 0xFFFF) / 65536.0;
}

void ScriptedRandom::reseed() {
    log << QStringLiteral("seed");
}

std::vector<double> drawsFor(int m, int a, int b, int k) {
    const int s = m < 0 ? -m : m;
    return {(s - 1) / 2.0 + 0.25, m < 0 ? 0.25 : 0.75, (a - 1) / 8.0 + 1 / 16.0,
            (b - 1) / 9.0 + 1 / 18.0, k / 4.0 + 1 / 8.0};
}

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
    if ((buttons & 0x0F) != 0)
        ADD_FAILURE() << "unscripted question: " << prompt.toStdString();
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

void FaultyFileSystem::failOn(Op op, int errorNumber, int nth) {
    m_faults.push_back({op, errorNumber, nth});
}

void FaultyFileSystem::before(Op op, int nth, std::function<void()> action) {
    m_hooks.push_back({op, nth, std::move(action)});
}

int FaultyFileSystem::enter(Op op) {
    const int count = ++m_calls[op];
    for (const Hook &hook : m_hooks) {
        if (hook.op == op && hook.nth == count)
            hook.action();
    }
    const auto fault = std::ranges::find_if(
        m_faults, [&](const Fault &f) { return f.op == op && (f.nth == 0 || f.nth == count); });
    return fault == m_faults.end() ? 0 : fault->errorNumber;
}

using records::FileProblem;

FileProblem FaultyFileSystem::makeDirectories(const QString &path) {
    if (const int error = enter(Op::MakeDirectories))
        return FileProblem::system(error);
    return PosixFileSystem::makeDirectories(path);
}

FileProblem FaultyFileSystem::createEmpty(const QString &path) {
    if (const int error = enter(Op::CreateEmpty))
        return FileProblem::system(error);
    return PosixFileSystem::createEmpty(path);
}

FileProblem FaultyFileSystem::readBeginning(const QString &path, qint64 maxBytes,
                                            QByteArray &bytes) {
    if (const int error = enter(Op::Read))
        return FileProblem::system(error);
    return PosixFileSystem::readBeginning(path, maxBytes, bytes);
}

FileProblem FaultyFileSystem::writeTemporary(const QString &path, const QByteArray &bytes,
                                             QString &temporaryPath) {
    if (const int error = enter(Op::WriteTemporary))
        return FileProblem::system(error);
    return PosixFileSystem::writeTemporary(path, bytes, temporaryPath);
}

FileProblem FaultyFileSystem::rename(const QString &from, const QString &to) {
    if (const int error = enter(Op::Rename))
        return FileProblem::system(error);
    return PosixFileSystem::rename(from, to);
}

FileProblem FaultyFileSystem::remove(const QString &path) {
    if (const int error = enter(Op::Remove))
        return FileProblem::system(error);
    return PosixFileSystem::remove(path);
}

FileProblem FaultyFileSystem::syncDirectory(const QString &directory) {
    if (const int error = enter(Op::SyncDirectory))
        return FileProblem::system(error);
    return PosixFileSystem::syncDirectory(directory);
}

std::unique_ptr<FaultyFileSystem::Lock> FaultyFileSystem::lock(const QString &path, LockMode mode,
                                                               FileProblem &problem) {
    if (const int error = enter(Op::Lock)) {
        problem = FileProblem::system(error);
        return nullptr;
    }
    return PosixFileSystem::lock(path, mode, problem);
}

TestSeams::TestSeams() : seams{random, dialogs, time, end, fileSystem, recordDir.path()} {}

QByteArray TestSeams::bytesOf(const QString &fileName) const {
    QFile file(path(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}

void TestSeams::write(const QString &fileName, const QByteArray &bytes) const {
    QFile file(path(fileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

} // namespace zarvoni::testing
