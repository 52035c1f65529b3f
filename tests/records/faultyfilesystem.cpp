// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/faultyfilesystem.h"

#include <QFile>

#include <algorithm>

namespace zarvoni::testing {

void FaultyFileSystem::failOn(Op op, int errorNumber, int nth) {
    m_faults.push_back({op, errorNumber, nth});
}

void FaultyFileSystem::before(Op op, int nth, std::function<void()> action) {
    m_hooks.push_back({op, nth, std::move(action), {}});
}

void FaultyFileSystem::beforeEach(Op op, const QString &fileName, std::function<void()> action) {
    m_hooks.push_back({op, 0, std::move(action), fileName});
}

int FaultyFileSystem::enter(Op op, const QString &path) {
    std::vector<std::function<void()>> actions;
    std::unique_lock guard(m_mutex);
    const QString fileName = path.section(u'/', -1, -1, QString::SectionSkipEmpty);
    calls.push_back({op, fileName});
    const int count = ++m_calls[op];
    for (const Hook &hook : m_hooks) {
        if (hook.op == op && (hook.nth == 0 ? hook.fileName == fileName : hook.nth == count))
            actions.push_back(hook.action);
    }
    guard.unlock();
    // Outside the lock: an action may stall this call, never the others.
    for (const std::function<void()> &action : actions)
        action();
    guard.lock();
    const auto fault = std::ranges::find_if(
        m_faults, [&](const Fault &f) { return f.op == op && (f.nth == 0 || f.nth == count); });
    return fault == m_faults.end() ? 0 : fault->errorNumber;
}

using records::FileProblem;

FileProblem FaultyFileSystem::makeDirectories(const QString &path) {
    if (const int error = enter(Op::MakeDirectories, path))
        return FileProblem::system(error);
    return records::NativeFileSystem::makeDirectories(path);
}

FileProblem FaultyFileSystem::makeDirectory(const QString &path) {
    if (const int error = enter(Op::MakeDirectories, path))
        return FileProblem::system(error);
    return records::NativeFileSystem::makeDirectory(path);
}

FileProblem FaultyFileSystem::createEmpty(const QString &path) {
    if (const int error = enter(Op::CreateEmpty, path))
        return FileProblem::system(error);
    return records::NativeFileSystem::createEmpty(path);
}

FileProblem FaultyFileSystem::readBeginning(const QString &path, qint64 maxBytes,
                                            QByteArray &bytes) {
    if (const int error = enter(Op::Read, path))
        return FileProblem::system(error);
    return records::NativeFileSystem::readBeginning(path, maxBytes, bytes);
}

FileProblem FaultyFileSystem::writeNew(const QString &path, const QByteArray &bytes) {
    if (const int error = enter(Op::WriteNew, path))
        return FileProblem::system(error);
    return records::NativeFileSystem::writeNew(path, bytes);
}

FileProblem FaultyFileSystem::appendLine(const QString &path, const QByteArray &line) {
    if (const int error = enter(Op::Append, path))
        return FileProblem::system(error);
    return records::NativeFileSystem::appendLine(path, line);
}

FileProblem FaultyFileSystem::rename(const QString &from, const QString &to) {
    if (const int error = enter(Op::Rename, to))
        return FileProblem::system(error);
    return records::NativeFileSystem::rename(from, to);
}

FileProblem FaultyFileSystem::remove(const QString &path) {
    if (const int error = enter(Op::Remove, path))
        return FileProblem::system(error);
    return records::NativeFileSystem::remove(path);
}

FileProblem FaultyFileSystem::syncDirectory(const QString &directory) {
    if (const int error = enter(Op::SyncDirectory, directory))
        return FileProblem::system(error);
    return records::NativeFileSystem::syncDirectory(directory);
}

FileProblem FaultyFileSystem::listDirectory(const QString &directory, QStringList &names) {
    if (const int error = enter(Op::List, directory))
        return FileProblem::system(error);
    return records::NativeFileSystem::listDirectory(directory, names);
}

std::unique_ptr<FaultyFileSystem::Lock> FaultyFileSystem::lock(const QString &path, LockMode mode,
                                                               std::chrono::milliseconds wait,
                                                               FileProblem &problem) {
    if (const int error = enter(Op::Lock, path)) {
        problem = FileProblem::system(error);
        return nullptr;
    }
    return records::NativeFileSystem::lock(path, mode, lockWait ? std::min(wait, *lockWait) : wait,
                                           problem);
}

QByteArray TestRecords::bytesOf(const QString &fileName) const {
    QFile file(path(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArrayLiteral("<missing>");
    return file.readAll();
}

void TestRecords::write(const QString &fileName, const QByteArray &bytes) const {
    QFile file(path(fileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write the test file %s", qPrintable(file.fileName()));
}

} // namespace zarvoni::testing
