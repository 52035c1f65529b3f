// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/keptscores.h"

#include "game/numberrules.h"
#include "records/codepage.h"

#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <utility>

namespace zarvoni::records {

namespace {

using LockMode = FileSystem::LockMode;

// Keeping a score holds its lock for a write and a flush; a cleaner holds it a
// moment. Longer than that, something is wrong, and the store goes on without.
constexpr std::chrono::milliseconds kKeepLockWait{1'000};

double scoreOf(const QByteArray &scoreLine) {
    return leadingNumber(fromWindows1252(scoreLine));
}

} // namespace

RecordPair KeptScores::Entry::pair() const {
    return {fromWindows1252(lines.score), fromWindows1252(lines.name)};
}

KeptScores::KeptScores(QString directory, FileSystem &fileSystem, QString prefix)
    : m_directory(std::move(directory)), m_fileSystem(fileSystem), m_prefix(std::move(prefix)) {}

KeptScores::Keeping KeptScores::keep(const QString &score, const QString &name,
                                     FileProblem &problem) {
    const auto writing =
        m_fileSystem.lock(m_directory + kKeptLock, LockMode::Shared, kKeepLockWait, problem);
    if (!writing)
        return Keeping::Failed;
    const PairLines lines{recordLine(score), recordLine(name)};
    const double value = scoreOf(lines.score);
    const Found found = entries();
    if (std::ranges::any_of(
            found.whole, [&](const Entry &entry) { return scoreOf(entry.lines.score) >= value; }))
        return Keeping::Covered;
    const QString fileName =
        m_prefix + QString::number(QRandomGenerator::system()->generate64(), 16);
    if (problem = m_fileSystem.writeNew(m_directory + fileName, lines.score + lines.name);
        problem.isProblem())
        return Keeping::Failed;
    if (problem = m_fileSystem.syncDirectory(m_directory); problem.isProblem()) {
        m_fileSystem.remove(m_directory + fileName);
        return Keeping::Failed;
    }
    // What this score beats is no longer needed: the kept scores stay few.
    for (const Entry &entry : found.whole) {
        if (scoreOf(entry.lines.score) < value)
            m_fileSystem.remove(m_directory + entry.fileName);
    }
    return Keeping::Kept;
}

std::optional<KeptScores::Entry> KeptScores::best() {
    Found found = entries();
    if (!found.damaged.isEmpty())
        removeDamaged(found.damaged);
    const auto best = std::ranges::max_element(
        found.whole, {}, [](const Entry &entry) { return scoreOf(entry.lines.score); });
    if (best == found.whole.end())
        return std::nullopt;
    return *best;
}

void KeptScores::release(QStringView score) {
    const double value = leadingNumber(score);
    const Found found = entries();
    for (const Entry &entry : found.whole) {
        if (scoreOf(entry.lines.score) <= value)
            m_fileSystem.remove(m_directory + entry.fileName);
    }
}

KeptScores::Found KeptScores::entries() {
    Found found;
    QStringList names;
    if (m_fileSystem.listDirectory(m_directory, names).isProblem())
        return found;
    for (const QString &fileName : std::as_const(names)) {
        if (!fileName.startsWith(m_prefix))
            continue;
        QByteArray bytes;
        if (m_fileSystem.readBeginning(m_directory + fileName, kMaxPairBytes + 1, bytes)
                .isProblem())
            continue; // gone meanwhile, or not a file: nothing to apply
        if (std::optional<PairLines> lines = pairLines(bytes))
            found.whole.push_back({fileName, *std::move(lines)});
        else
            found.damaged.append(fileName);
    }
    return found;
}

// A kept score is written whole before its lock is let go, so one that is not
// whole while nobody holds the lock was left by a game killed as it wrote it.
void KeptScores::removeDamaged(const QStringList &fileNames) {
    FileProblem problem;
    const auto nobodyWriting = m_fileSystem.lock(m_directory + kKeptLock, LockMode::Exclusive,
                                                 std::chrono::milliseconds::zero(), problem);
    if (!nobodyWriting)
        return;
    for (const QString &fileName : fileNames) {
        // It may have been finished between the look and the lock.
        QByteArray bytes;
        if (!m_fileSystem.readBeginning(m_directory + fileName, kMaxPairBytes + 1, bytes)
                 .isProblem() &&
            !pairLines(bytes))
            m_fileSystem.remove(m_directory + fileName);
    }
}

} // namespace zarvoni::records
