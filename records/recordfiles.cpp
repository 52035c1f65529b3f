// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordfiles.h"

#include "game/numberrules.h"
#include "records/codepage.h"

#include <cerrno>
#include <utility>

namespace zarvoni::records {

namespace {

using LockMode = FileSystem::LockMode;
using Outcome = StoreResult::Outcome;

const QString kReadFailed =
    QStringLiteral("Non riesco a leggere il file dei record.\n%1: %2.\n\nSi gioca lo stesso, "
                   "ma il record non può essere mostrato.");
const QString kStoreFailed =
    QStringLiteral("Non sono riuscito a registrare il tuo record.\n%1: %2.\n\n"
                   "Il record precedente è rimasto com'era.");
// The pending pair is on the disk, flushed, and the directory that names it too.
const QString kStorePending =
    QStringLiteral("Il tuo record è salvato, ma non sono riuscito a copiarlo nei file dei "
                   "record.\n%1: %2.\n\nLo copierà la prossima partita.");
// The pending pair is in the directory, but the disk did not confirm the directory.
const QString kStoreUnsynced = QStringLiteral(
    "Il tuo record è scritto, ma il disco non ha confermato di averlo conservato.\n%1: %2.\n\n"
    "Se il computer si spegne prima che lo conservi, il record può andare perso; "
    "altrimenti lo copierà nei file dei record la prossima partita.");
const QString kPendingDamaged =
    QStringLiteral("Un salvataggio del record rimasto a metà non è stato usato.\n%1: %2.\n\n"
                   "Il record mostrato è quello dei file dei record.");
const QString kPendingSetAside = QStringLiteral("\nIl salvataggio è stato messo da parte in %1.");

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");
// The pending file holds two record lines; one byte more tells a longer file.
constexpr qint64 kMaxPendingBytes = 2 * kMaxRecordFileBytes;

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

// One line as a store writes it: at most a record file's size, ended by CR LF,
// with no other CR or LF.
bool isRecordLine(QByteArrayView line) {
    if (line.size() < kLineEnd.size() || line.size() > kMaxRecordFileBytes ||
        !line.endsWith(kLineEnd))
        return false;
    const QByteArrayView body = line.chopped(kLineEnd.size());
    return !body.contains('\r') && !body.contains('\n');
}

// The two lines of a pending file as a store writes it whole; nothing otherwise.
std::optional<Lines> pendingLines(QByteArrayView bytes) {
    const qsizetype firstEnd = bytes.indexOf(kLineEnd);
    if (firstEnd < 0)
        return std::nullopt;
    const QByteArrayView score = bytes.first(firstEnd + kLineEnd.size());
    const QByteArrayView name = bytes.sliced(firstEnd + kLineEnd.size());
    if (!isRecordLine(score) || !isRecordLine(name))
        return std::nullopt;
    return Lines{score.toByteArray(), name.toByteArray()};
}

// Something a store can rename a file over: a link is replaced, never followed.
bool isPlaceholder(const FileProblem &problem) {
    return problem.is(FileProblem::Kind::Link) || problem.is(FileProblem::Kind::NotRegular);
}

bool isBetter(const QString &score, const QString &stored) {
    return leadingNumber(score) > leadingNumber(stored);
}

std::chrono::milliseconds timeLeft(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return std::max(left, std::chrono::milliseconds::zero());
}

} // namespace

QString withTrailingSeparator(const QString &directory) {
    return directory.endsWith(u'/') ? directory : directory + u'/';
}

QString temporaryName(const QString &fileName) {
    return kTemporaryPrefix + fileName.mid(fileName.startsWith(u'.') ? 1 : 0);
}

std::optional<StoreResult> lineTooLong(const QString &directory, const QString &score,
                                       const QString &name) {
    // A file the game would not read back whole is never written.
    for (const auto &[fileName, text] :
         {std::pair{kScoreFile, &score}, std::pair{kNameFile, &name}}) {
        const qint64 size = recordLine(*text).size();
        if (size > kMaxRecordFileBytes)
            return StoreResult{
                Outcome::Failed,
                kStoreFailed.arg(directory + fileName, FileProblem::tooLarge(size).reason())};
    }
    return std::nullopt;
}

RecordFiles::RecordFiles(QString directory, FileSystem &fileSystem)
    : m_directory(std::move(directory)), m_fileSystem(fileSystem) {}

void RecordFiles::prepare() {
    if (m_fileSystem.makeDirectories(m_directory).isProblem())
        return;
    for (const QString &fileName : {kScoreFile, kNameFile})
        m_fileSystem.createEmpty(path(fileName));
}

ReadResult RecordFiles::read() {
    const auto deadline = std::chrono::steady_clock::now() + kReadLockWait;
    FileProblem problem;
    auto lock = m_fileSystem.lock(path(kLockFile), LockMode::Shared, kReadLockWait, problem);
    if (problem.is(FileProblem::Kind::Busy))
        return {ReadResult::Outcome::Busy, {}, problemText(kReadFailed, {kLockFile, problem})};
    Snapshot now = snapshot(Placeholders::Report);
    if (!lock) {
        // Nobody could take the lock when this game tried (a lock file this pupil
        // may not create, or something else in its place), so no game was storing.
        // One that began since has made the lock usable: read again under it.
        lock = m_fileSystem.lock(path(kLockFile), LockMode::Shared, timeLeft(deadline), problem);
        if (lock)
            now = snapshot(Placeholders::Report);
    }
    lock.reset();

    if (now.problem.isProblem())
        return {ReadResult::Outcome::Failed, {}, problemText(kReadFailed, now.problem)};
    ReadResult record{ReadResult::Outcome::Read, now.pair, {}};
    if (now.pending == Pending::Whole) {
        finishPending();
    } else if (now.pending == Pending::Damaged) {
        record.message = problemText(kPendingDamaged, {kPendingFile, now.damage});
        if (finishPending())
            record.message += kPendingSetAside.arg(path(kDamagedFile));
    }
    return record;
}

StoreResult RecordFiles::store(const QString &score, const QString &name) {
    FileProblem problem;
    const auto lock =
        m_fileSystem.lock(path(kLockFile), LockMode::Exclusive, kStoreLockWait, problem);
    if (!lock) {
        // Only a score that beats the record on disk makes a failure worth telling.
        const Snapshot now = snapshot(Placeholders::Replace);
        if (!now.problem.isProblem() && !isBetter(score, now.pair.score))
            return {Outcome::NotBetter, {}};
        return result(problem.is(FileProblem::Kind::Busy) ? Outcome::Busy : Outcome::Failed,
                      {kLockFile, problem});
    }
    bool setAside = false;
    if (const Problem unfinished = recover(setAside); unfinished.isProblem())
        return result(Outcome::Failed, unfinished);

    // Read the pair again under the lock: another game may have ended meanwhile,
    // and a directory where a file belongs is never replaced blindly.
    const Snapshot now = snapshot(Placeholders::Replace);
    if (now.problem.isProblem())
        return result(Outcome::Failed, now.problem);
    if (!isBetter(score, now.pair.score))
        return {Outcome::NotBetter, {}};
    if (std::optional<StoreResult> refused = lineTooLong(m_directory, score, name))
        return *std::move(refused);

    const Lines lines{recordLine(score), recordLine(name)};
    if (const Problem pending = writeInPlace(kPendingFile, lines.score + lines.name);
        pending.isProblem())
        return result(Outcome::Failed, pending);
    // From here on the new pair is the record: whatever happens next, every reader
    // sees it, and the next game finishes copying it if this one cannot.
    if (problem = m_fileSystem.syncDirectory(m_directory); problem.isProblem())
        return {Outcome::Pending, problemText(kStoreUnsynced, {{}, problem})};
    if (const Problem copy = copyPending(lines.score, lines.name); copy.isProblem())
        return result(Outcome::Pending, copy);
    return {Outcome::Stored, {}};
}

// The pair the disk holds: the pending pair when there is a whole one (the files
// may be half-way through receiving it), otherwise both files. Under a lock.
RecordFiles::Snapshot RecordFiles::snapshot(Placeholders placeholders) {
    Snapshot now;
    QByteArray bytes;
    const FileProblem pending =
        m_fileSystem.readBeginning(path(kPendingFile), kMaxPendingBytes + 1, bytes);
    if (!pending.isProblem()) {
        if (const std::optional<Lines> lines = pendingLines(bytes))
            return {{fromWindows1252(lines->score), fromWindows1252(lines->name)},
                    Pending::Whole,
                    {},
                    {}};
        now.pending = Pending::Damaged;
        now.damage = FileProblem::of(FileProblem::Kind::Damaged);
    } else if (pending.is(FileProblem::Kind::Directory) || isPlaceholder(pending)) {
        now.pending = Pending::Damaged;
        now.damage = pending;
    } else if (!pending.isSystem(ENOENT)) {
        now.problem = {kPendingFile, pending};
        return now;
    }
    for (const auto &[fileName, text] :
         {std::pair{kScoreFile, &now.pair.score}, std::pair{kNameFile, &now.pair.name}}) {
        const FileProblem problem =
            m_fileSystem.readBeginning(path(fileName), kMaxRecordFileBytes, bytes);
        if (problem.isSystem(ENOENT)) // no record stored yet
            continue;
        if (placeholders == Placeholders::Replace && isPlaceholder(problem))
            continue; // holds no record, and the store's rename replaces it
        if (problem.isProblem())
            return {{}, now.pending, now.damage, {fileName, problem}};
        *text = fromWindows1252(bytes);
    }
    return now;
}

// Finishes the store that a killed or failed game left half done, after removing
// the temporary files such a game may have left. A pending file that is not a pair
// a store wrote whole is set aside: no store relies on it. Under the exclusive lock.
RecordFiles::Problem RecordFiles::recover(bool &setAside) {
    for (const QString &fileName : {kPendingFile, kScoreFile, kNameFile})
        m_fileSystem.remove(path(temporaryName(fileName))); // mostly not there
    QByteArray bytes;
    const FileProblem problem =
        m_fileSystem.readBeginning(path(kPendingFile), kMaxPendingBytes + 1, bytes);
    if (problem.isSystem(ENOENT))
        return {};
    if (problem.isProblem() && !problem.is(FileProblem::Kind::Directory) && !isPlaceholder(problem))
        return {kPendingFile, problem};
    if (const std::optional<Lines> lines = problem.isProblem() ? std::nullopt : pendingLines(bytes))
        return copyPending(lines->score, lines->name);
    // The next store's rename replaces a damaged pending file that cannot be moved.
    setAside = !m_fileSystem.rename(path(kPendingFile), path(kDamagedFile)).isProblem();
    return {};
}

// Replaces fileName with bytes: a temporary file of the store's own, flushed, then
// renamed over it.
RecordFiles::Problem RecordFiles::writeInPlace(const QString &fileName, const QByteArray &bytes) {
    const QString temporary = temporaryName(fileName);
    if (const FileProblem problem = m_fileSystem.writeNew(path(temporary), bytes);
        problem.isProblem())
        return {temporary, problem};
    if (const FileProblem problem = m_fileSystem.rename(path(temporary), path(fileName));
        problem.isProblem()) {
        m_fileSystem.remove(path(temporary));
        return {fileName, problem};
    }
    return {};
}

// Copies the pending pair into both files, then lets the pending file go.
RecordFiles::Problem RecordFiles::copyPending(const QByteArray &scoreLine,
                                              const QByteArray &nameLine) {
    for (const auto &[fileName, line] :
         {std::pair{kScoreFile, &scoreLine}, std::pair{kNameFile, &nameLine}}) {
        if (Problem problem = writeInPlace(fileName, *line); problem.isProblem())
            return problem;
    }
    if (const FileProblem problem = m_fileSystem.syncDirectory(m_directory); problem.isProblem())
        return {{}, problem};
    // Both files hold the pair. A pending file that stays is copied again, harmlessly,
    // by the next game.
    if (!m_fileSystem.remove(path(kPendingFile)).isProblem())
        m_fileSystem.syncDirectory(m_directory);
    return {};
}

// A reader that found a pending file finishes it, or sets it aside, when it may
// take the exclusive lock at once; whether it set a damaged one aside.
bool RecordFiles::finishPending() {
    FileProblem problem;
    bool setAside = false;
    if (const auto lock = m_fileSystem.lock(path(kLockFile), LockMode::Exclusive,
                                            std::chrono::milliseconds::zero(), problem))
        recover(setAside);
    return setAside;
}

QString RecordFiles::problemText(const QString &message, const Problem &problem) const {
    return message.arg(path(problem.fileName), problem.problem.reason());
}

StoreResult RecordFiles::result(StoreResult::Outcome outcome, const Problem &problem) const {
    return {outcome,
            problemText(outcome == Outcome::Pending ? kStorePending : kStoreFailed, problem)};
}

} // namespace zarvoni::records
