// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordfiles.h"

#include "game/numberrules.h"
#include "records/codepage.h"

#include <cerrno>
#include <optional>
#include <utility>

namespace zarvoni::records {

namespace {

using LockMode = FileSystem::LockMode;

const QString kReadFailed =
    QStringLiteral("Non riesco a leggere il file dei record.\n%1: %2.\n\nSi gioca lo stesso, "
                   "ma il record non può essere mostrato.");
const QString kStoreFailed =
    QStringLiteral("Non sono riuscito a registrare il tuo record.\n%1: %2.\n\n"
                   "Il record precedente è rimasto com'era.");
const QString kStorePending =
    QStringLiteral("Il tuo record è salvato, ma non sono riuscito a copiarlo nei file dei "
                   "record.\n%1: %2.\n\nLo copierà la prossima partita.");

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
// The pending file holds two record lines.
constexpr qint64 kMaxPendingBytes = 2 * kMaxRecordFileBytes;
// mkstemp's suffix: a dot and six letters or digits.
constexpr qsizetype kTemporarySuffixLength = 7;

// A control character that a pasted name may bring along would make the line
// hard to read, or end it early.
bool isControlByte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return (value < 0x20 && value != '\t') || value == 0x7F;
}

// The one line a record file holds for text. A line feed becomes a blank, which the
// number rule skips as it skipped the line feed, and which reads naturally in a
// name. A carriage return, any other control character and a character
// Windows-1252 lacks become "?", which ends a number where the carriage return
// ended it.
QByteArray recordLine(QStringView text) {
    QByteArray bytes = toWindows1252(text);
    for (char &byte : bytes) {
        if (byte == '\n')
            byte = ' ';
        else if (isControlByte(byte))
            byte = '?';
    }
    return bytes + kLineEnd;
}

struct Lines {
    QByteArray score;
    QByteArray name;
};

// The two lines of a pending file as a store writes it whole; nothing otherwise.
std::optional<Lines> pendingLines(const QByteArray &bytes) {
    const qsizetype firstEnd = bytes.indexOf(kLineEnd);
    if (firstEnd < 0)
        return std::nullopt;
    Lines lines{bytes.first(firstEnd + kLineEnd.size()), bytes.sliced(firstEnd + kLineEnd.size())};
    for (const QByteArray &line : {lines.score, lines.name}) {
        const QByteArrayView body = QByteArrayView(line).chopped(kLineEnd.size());
        if (!line.endsWith(kLineEnd) || body.contains('\r') || body.contains('\n') ||
            line.size() > kMaxRecordFileBytes)
            return std::nullopt;
    }
    return lines;
}

bool isBetter(const QString &score, const QString &stored) {
    return leadingNumber(score) > leadingNumber(stored);
}

} // namespace

QString withTrailingSeparator(const QString &directory) {
    return directory.endsWith(u'/') ? directory : directory + u'/';
}

RecordFiles::RecordFiles(QString directory, FileSystem &fileSystem)
    : m_directory(std::move(directory)), m_fileSystem(fileSystem) {}

void RecordFiles::prepare() {
    if (m_fileSystem.makeDirectories(m_directory).isProblem())
        return;
    for (const QString &fileName : {kScoreFile, kNameFile, kLockFile})
        m_fileSystem.createEmpty(path(fileName));
}

ReadResult RecordFiles::read() {
    FileProblem problem;
    auto lock = m_fileSystem.lock(path(kLockFile), LockMode::Shared, problem);
    Snapshot now = snapshot();
    if (!lock && !problem.is(FileProblem::Kind::Busy)) {
        // Nobody could take the lock when this game tried (a lock file this pupil
        // may not create, or something else in its place), so no game was storing.
        // One that began since has made the lock usable: read again under it.
        lock = m_fileSystem.lock(path(kLockFile), LockMode::Shared, problem);
        if (lock)
            now = snapshot();
    }
    if (problem.is(FileProblem::Kind::Busy))
        now = {{}, false, {kLockFile, problem}};
    lock.reset();

    if (now.problem.isProblem())
        return {{}, kReadFailed.arg(path(now.problem.fileName), now.problem.problem.reason())};
    if (now.pending)
        finishPending();
    return {now.pair, {}};
}

StoreResult RecordFiles::store(const QString &score, const QString &name) {
    using Outcome = StoreResult::Outcome;
    FileProblem problem;
    const auto lock = m_fileSystem.lock(path(kLockFile), LockMode::Exclusive, problem);
    if (!lock) {
        // Only a score that beats the record on disk makes a failure worth telling.
        const Snapshot now = snapshot();
        if (!now.problem.isProblem() && !isBetter(score, now.pair.score))
            return {Outcome::NotBetter, {}};
        return result(Outcome::Failed, {kLockFile, problem});
    }
    if (const Problem unfinished = recover(); unfinished.isProblem())
        return result(Outcome::Failed, unfinished);

    // Read the pair again under the lock: another game may have ended meanwhile,
    // and a file that cannot be read (a link, a directory) is never replaced blindly.
    const Snapshot now = snapshot();
    if (now.problem.isProblem())
        return result(Outcome::Failed, now.problem);
    if (!isBetter(score, now.pair.score))
        return {Outcome::NotBetter, {}};

    // Both lines are checked before anything is written: a file the game would not
    // read back whole is never written.
    const Lines lines{recordLine(score), recordLine(name)};
    for (const auto &[fileName, line] :
         {std::pair{kScoreFile, &lines.score}, {kNameFile, &lines.name}}) {
        if (line->size() > kMaxRecordFileBytes)
            return result(Outcome::Failed, {fileName, FileProblem::tooLarge(line->size())});
    }

    QString temporary;
    problem = m_fileSystem.writeTemporary(path(kPendingFile), lines.score + lines.name, temporary);
    if (problem.isProblem())
        return result(Outcome::Failed, {kPendingFile, problem});
    problem = m_fileSystem.rename(temporary, path(kPendingFile));
    if (problem.isProblem()) {
        m_fileSystem.remove(temporary);
        return result(Outcome::Failed, {kPendingFile, problem});
    }
    // From here on the new pair is the record: whatever happens next, every reader
    // sees it, and the next game finishes copying it if this one cannot.
    problem = m_fileSystem.syncDirectory(m_directory);
    if (problem.isProblem())
        return result(Outcome::Pending, {{}, problem});
    if (const Problem copy = copyPending(lines.score, lines.name); copy.isProblem())
        return result(Outcome::Pending, copy);
    return {Outcome::Stored, {}};
}

// The pair the disk holds: the pending pair when there is one (the files may be
// half-way through receiving it), otherwise both files. Under a lock.
RecordFiles::Snapshot RecordFiles::snapshot() {
    QByteArray bytes;
    if (!m_fileSystem.readBeginning(path(kPendingFile), kMaxPendingBytes, bytes).isProblem()) {
        if (const std::optional<Lines> lines = pendingLines(bytes))
            return {{fromWindows1252(lines->score), fromWindows1252(lines->name)}, true, {}};
    }
    Snapshot now;
    for (const auto &[fileName, text] :
         {std::pair{kScoreFile, &now.pair.score}, {kNameFile, &now.pair.name}}) {
        const FileProblem problem =
            m_fileSystem.readBeginning(path(fileName), kMaxRecordFileBytes, bytes);
        if (problem.isSystem(ENOENT)) // no record stored yet
            continue;
        if (problem.isProblem())
            return {{}, false, {fileName, problem}};
        *text = fromWindows1252(bytes);
    }
    return now;
}

// Finishes the store that a killed or failed game left half done, and removes the
// temporary files that such games left behind. Under the exclusive lock.
RecordFiles::Problem RecordFiles::recover() {
    removeLeftovers();
    QByteArray bytes;
    const FileProblem problem =
        m_fileSystem.readBeginning(path(kPendingFile), kMaxPendingBytes, bytes);
    if (problem.isSystem(ENOENT))
        return {};
    if (problem.isProblem())
        return {kPendingFile, problem};
    const std::optional<Lines> lines = pendingLines(bytes);
    if (!lines) {
        // Not a pair that a store wrote whole: no store relies on it.
        m_fileSystem.remove(path(kPendingFile));
        return {};
    }
    return copyPending(lines->score, lines->name);
}

// Copies the pending pair into both files, then lets the pending file go.
RecordFiles::Problem RecordFiles::copyPending(const QByteArray &scoreLine,
                                              const QByteArray &nameLine) {
    for (const auto &[fileName, line] :
         {std::pair{kScoreFile, &scoreLine}, {kNameFile, &nameLine}}) {
        QString temporary;
        FileProblem problem = m_fileSystem.writeTemporary(path(fileName), *line, temporary);
        if (problem.isProblem())
            return {fileName, problem};
        problem = m_fileSystem.rename(temporary, path(fileName));
        if (problem.isProblem()) {
            m_fileSystem.remove(temporary);
            return {fileName, problem};
        }
    }
    if (const FileProblem problem = m_fileSystem.syncDirectory(m_directory); problem.isProblem())
        return {{}, problem};
    // Both files hold the pair. A pending file that stays is copied again, harmlessly,
    // by the next game.
    if (!m_fileSystem.remove(path(kPendingFile)).isProblem())
        m_fileSystem.syncDirectory(m_directory);
    return {};
}

// A reader that found a pending pair copies it into the files when it may.
void RecordFiles::finishPending() {
    FileProblem problem;
    if (const auto lock = m_fileSystem.lock(path(kLockFile), LockMode::Exclusive, problem))
        recover();
}

// Under the exclusive lock, a temporary file can only be a killed store's.
void RecordFiles::removeLeftovers() {
    for (const QString &entry : m_fileSystem.entries(m_directory)) {
        for (const QString &fileName : {kScoreFile, kNameFile, kPendingFile}) {
            if (entry.size() == fileName.size() + kTemporarySuffixLength &&
                entry.startsWith(fileName + u'.'))
                m_fileSystem.remove(path(entry));
        }
    }
}

StoreResult RecordFiles::result(StoreResult::Outcome outcome, const Problem &problem) const {
    const QString &message =
        outcome == StoreResult::Outcome::Pending ? kStorePending : kStoreFailed;
    return {outcome, message.arg(path(problem.fileName), problem.problem.reason())};
}

} // namespace zarvoni::records
