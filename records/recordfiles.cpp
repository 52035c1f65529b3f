// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordfiles.h"

#include "game/numberrules.h"
#include "records/codepage.h"
#include "records/recordlines.h"

#include <QDir>

#include <array>
#include <cerrno>
#include <thread>
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
// The score is kept beside the record files, flushed; every read shows it as the record.
const QString kKeptForLater =
    QStringLiteral("Il tuo record è conservato, ma non sono riuscito a scriverlo nei file dei "
                   "record.\n%1: %2.\n\nLo scriverà la prossima partita che potrà farlo.");
const QString kPendingDamaged =
    QStringLiteral("Un salvataggio del record rimasto a metà non è stato usato.\n%1: %2.\n\n"
                   "Il record mostrato è quello dei file dei record.");
const QString kPendingSetAside = QStringLiteral("\nIl salvataggio è stato messo da parte in %1.");

// Something a store can rename a file over: a link is replaced, never followed.
bool isPlaceholder(const FileProblem &problem) {
    return problem.is(FileProblem::Kind::Link) || problem.is(FileProblem::Kind::NotRegular);
}

// A path as the system writes it, in a message a pupil or a teacher reads.
QString shownPath(const QString &path) {
    return QDir::toNativeSeparators(path);
}

bool isBetter(const QString &score, const QString &stored) {
    return leadingNumber(score) > leadingNumber(stored);
}

double scoreOf(const QByteArray &scoreLine) {
    return leadingNumber(fromWindows1252(scoreLine));
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
            return StoreResult{Outcome::Failed,
                               kStoreFailed.arg(shownPath(directory + fileName),
                                                FileProblem::tooLarge(size).reason())};
    }
    return std::nullopt;
}

RecordFiles::RecordFiles(QString directory, FileSystem &fileSystem)
    : m_directory(std::move(directory)), m_fileSystem(fileSystem), m_kept(m_directory, fileSystem) {
}

void RecordFiles::prepare() {
    if (m_fileSystem.makeDirectories(m_directory).isProblem())
        return;
    for (const QString &fileName : {kScoreFile, kNameFile})
        m_fileSystem.createEmpty(path(fileName));
}

ReadResult RecordFiles::read() {
    Snapshot now;
    for (int attempt = 1; !steadySnapshot(Placeholders::Report, now); ++attempt) {
        if (attempt == kReadAttempts)
            return {ReadResult::Outcome::Busy,
                    {},
                    problemText(kReadFailed, {{}, FileProblem::of(FileProblem::Kind::Busy)})};
        std::this_thread::sleep_for(kReadRetryPause);
    }
    if (now.problem.isProblem())
        return {ReadResult::Outcome::Failed, {}, problemText(kReadFailed, now.problem)};
    ReadResult record{ReadResult::Outcome::Read, now.pair, {}};
    // A score kept by a game that could not store it is the record already.
    const std::optional<KeptScores::Entry> kept = m_kept.best();
    const bool keptIsBetter = kept && scoreOf(kept->lines.score) > leadingNumber(now.pair.score);
    if (keptIsBetter)
        record.pair = kept->pair();
    if (now.pending == Pending::Whole || (keptIsBetter && now.pending == Pending::None)) {
        finishPending();
    } else if (now.pending == Pending::Damaged) {
        record.message = problemText(kPendingDamaged, {kPendingFile, now.damage});
        if (finishPending())
            record.message += kPendingSetAside.arg(shownPath(path(kDamagedFile)));
    }
    return record;
}

StoreResult RecordFiles::store(const QString &score, const QString &name) {
    return replace(score, name, Replaces::WorseScore);
}

StoreResult RecordFiles::adopt(const QString &score, const QString &name) {
    return replace(score, name, Replaces::NoRecord);
}

bool RecordFiles::replaces(Replaces what, const QString &score, const RecordPair &now) {
    if (what == Replaces::NoRecord)
        return now.score.isEmpty() && now.name.isEmpty();
    return isBetter(score, now.score);
}

StoreResult RecordFiles::replace(const QString &score, const QString &name, Replaces what) {
    // Most games end without a record: they change nothing, and lock nothing.
    Snapshot before;
    if (steadySnapshot(Placeholders::Replace, before) && !before.problem.isProblem() &&
        !replaces(what, score, before.pair))
        return {Outcome::NotBetter, {}};
    // A pair no record file can hold fails before the lock, so that it never holds
    // up, or waits for, a store that can be written.
    if (std::optional<StoreResult> refused = lineTooLong(m_directory, score, name))
        return *std::move(refused);

    // A better score is kept on the disk before anything can hold it up: a lock
    // held past its bound, a slow disk, a kill. Then whichever game next holds the
    // lock puts it in, and meanwhile every reader shows it.
    FileProblem problem;
    bool kept = false;
    if (what == Replaces::WorseScore) {
        switch (m_kept.keep(score, name, problem)) {
        case KeptScores::Keeping::Covered:
            // An equal or better score is the record already: put it in if nobody
            // is at work on the files, as a read does.
            finishPending();
            return {Outcome::NotBetter, {}};
        case KeptScores::Keeping::Kept:
            kept = true;
            break;
        case KeptScores::Keeping::Failed:
            break; // stored as before, with no copy kept
        }
    }
    const auto failure = [&](Outcome outcome, const Problem &why) {
        return kept ? StoreResult{Outcome::Pending, problemText(kKeptForLater, why)}
                    : result(outcome, why);
    };

    const auto lock =
        m_fileSystem.lock(path(kLockFile), LockMode::Exclusive, kStoreLockWait, problem);
    if (!lock)
        return failure(problem.is(FileProblem::Kind::Busy) ? Outcome::Busy : Outcome::Failed,
                       {kLockFile, problem});
    bool setAside = false;
    if (const Problem unfinished = recover(setAside); unfinished.isProblem())
        return failure(Outcome::Failed, unfinished);

    // Read the pair again under the lock: another game may have ended meanwhile,
    // and a directory where a file belongs is never replaced blindly.
    const Snapshot now = snapshot(Placeholders::Replace);
    if (now.problem.isProblem())
        return failure(Outcome::Failed, now.problem);
    // The best of this score and those kept by games that could not store theirs.
    PairLines lines{recordLine(score), recordLine(name)};
    bool mine = true;
    if (what == Replaces::WorseScore) {
        if (const std::optional<KeptScores::Entry> best = m_kept.best();
            best && scoreOf(best->lines.score) > leadingNumber(score)) {
            lines = best->lines;
            mine = false;
        }
    }
    if (!replaces(what, fromWindows1252(lines.score), now.pair)) {
        m_kept.release(now.pair.score);
        return {Outcome::NotBetter, {}};
    }

    if (const Problem pending = writeInPlace(kPendingFile, lines.score + lines.name);
        pending.isProblem())
        return failure(Outcome::Failed, pending);
    // From here on the new pair is the record: whatever happens next, every reader
    // sees it, and the next game finishes copying it if this one cannot.
    if (problem = m_fileSystem.syncDirectory(m_directory); problem.isProblem())
        return kept ? StoreResult{Outcome::Pending, problemText(kStorePending, {{}, problem})}
                    : StoreResult{Outcome::Pending, problemText(kStoreUnsynced, {{}, problem})};
    if (const Problem copy = copyPending(lines.score, lines.name); copy.isProblem())
        return result(Outcome::Pending, copy);
    m_kept.release(fromWindows1252(lines.score));
    return {mine ? Outcome::Stored : Outcome::NotBetter, {}};
}

// A snapshot that no store changed while it was taken. A store never changes a
// file in place: it writes the pending pair first, renames new files over both
// record files, and removes the pending file last. So when the three names hold
// the same files before and after the reads, what was read stood on disk at one
// moment: the pending pair, or two files with no store half-way through them.
bool RecordFiles::steadySnapshot(Placeholders placeholders, Snapshot &now) {
    struct Stamp {
        FileIdentity identity;
        FileProblem problem;
        bool operator==(const Stamp &other) const {
            return identity == other.identity && problem.kind == other.problem.kind &&
                   problem.errorNumber == other.problem.errorNumber;
        }
    };
    const auto stamps = [this] {
        const std::array<QString, 3> fileNames{kPendingFile, kScoreFile, kNameFile};
        std::array<Stamp, 3> result;
        for (std::size_t i = 0; i < fileNames.size(); ++i)
            result[i].problem = m_fileSystem.identify(path(fileNames[i]), result[i].identity);
        return result;
    };
    const std::array<Stamp, 3> before = stamps();
    now = snapshot(placeholders);
    return stamps() == before;
}

// The pair the disk holds: the pending pair when there is a whole one (the files
// may be half-way through receiving it), otherwise both files.
RecordFiles::Snapshot RecordFiles::snapshot(Placeholders placeholders) {
    Snapshot now;
    QByteArray bytes;
    const FileProblem pending =
        m_fileSystem.readBeginning(path(kPendingFile), kMaxPairBytes + 1, bytes);
    if (!pending.isProblem()) {
        if (const std::optional<PairLines> lines = pairLines(bytes))
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
        m_fileSystem.readBeginning(path(kPendingFile), kMaxPairBytes + 1, bytes);
    if (problem.isSystem(ENOENT))
        return {};
    if (problem.isProblem() && !problem.is(FileProblem::Kind::Directory) && !isPlaceholder(problem))
        return {kPendingFile, problem};
    if (const std::optional<PairLines> lines =
            problem.isProblem() ? std::nullopt : pairLines(bytes))
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

// Puts the best kept score in when it beats the pair on disk, and lets go of the
// kept scores that do not. Under the exclusive lock.
void RecordFiles::applyKept() {
    const std::optional<KeptScores::Entry> best = m_kept.best();
    if (!best)
        return;
    const Snapshot now = snapshot(Placeholders::Replace);
    if (now.problem.isProblem())
        return;
    if (!isBetter(fromWindows1252(best->lines.score), now.pair.score)) {
        m_kept.release(now.pair.score);
        return;
    }
    if (writeInPlace(kPendingFile, best->lines.score + best->lines.name).isProblem() ||
        m_fileSystem.syncDirectory(m_directory).isProblem() ||
        copyPending(best->lines.score, best->lines.name).isProblem())
        return;
    m_kept.release(fromWindows1252(best->lines.score));
}

// A reader that found a pending file finishes it, or sets it aside, when it may
// take the exclusive lock at once; whether it set a damaged one aside.
bool RecordFiles::finishPending() {
    FileProblem problem;
    bool setAside = false;
    if (const auto lock = m_fileSystem.lock(path(kLockFile), LockMode::Exclusive,
                                            std::chrono::milliseconds::zero(), problem)) {
        if (!recover(setAside).isProblem())
            applyKept();
    }
    return setAside;
}

QString RecordFiles::problemText(const QString &message, const Problem &problem) const {
    return message.arg(shownPath(path(problem.fileName)), problem.problem.reason());
}

StoreResult RecordFiles::result(StoreResult::Outcome outcome, const Problem &problem) const {
    return {outcome,
            problemText(outcome == Outcome::Pending ? kStorePending : kStoreFailed, problem)};
}

} // namespace zarvoni::records
