// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/labrecords.h"

#include "game/numberrules.h"
#include "records/bounded.h"
#include "records/codepage.h"
#include "records/computer.h"
#include "records/keptscores.h"
#include "records/recordfiles.h"
#include "records/recordlines.h"

#include <QDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <future>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace zarvoni::records {

namespace {

using Outcome = StoreResult::Outcome;
using LockMode = FileSystem::LockMode;

const QString kNoAnswer = QStringLiteral("La cartella del laboratorio %1 non risponde ora.");
const QString kNotUsable =
    QStringLiteral("Non riesco a usare la cartella del laboratorio %1.\n%2: %3.");
const QString kKeptForServer =
    QStringLiteral("\n\nIl tuo punteggio è conservato su questo computer: entrerà nel record "
                   "della classe appena il server del laboratorio risponderà.");
const QString kNotKept = QStringLiteral("\n\nIl tuo punteggio non è stato registrato.\n%1: %2.");
const QString kSameName = QStringLiteral(
    "Questo computer si chiama «%1», come un altro computer del laboratorio, che registra già "
    "i suoi record nella cartella %2.\n\nFinché hanno lo stesso nome, i record di questo "
    "computer restano conservati qui e non entrano nel record della classe: chi cura il "
    "laboratorio dia a ogni computer un nome diverso (succede ai computer copiati da una "
    "stessa immagine del disco). Se invece questo computer è stato reinstallato, basta "
    "cancellare il file %3.");

// This computer's writers to its folder take turns for a moment each.
constexpr std::chrono::milliseconds kLabLockWait{1'000};
// The other computers' pairs are read this many at a time: a room's worth, since
// each read is a few round trips to the server, spent waiting.
constexpr int kReaders = 32;
constexpr qint64 kMaxOwnerBytes = 256;
// How long a folder's owner may take to write its line: as a read's retries.
constexpr int kOwnerReadAttempts = kReadAttempts;

double scoreOf(const QByteArray &scoreLine) {
    return leadingNumber(fromWindows1252(scoreLine));
}

QString shownPath(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// A computer's pair, and whose folder holds it.
struct FolderPair {
    QString folder;
    PairLines lines;
};

// The higher score; of equal ones the folder first by name, so that every
// computer shows the same holder.
bool beats(const FolderPair &one, const FolderPair &other) {
    const double a = scoreOf(one.lines.score);
    const double b = scoreOf(other.lines.score);
    return a > b || (a == b && one.folder < other.folder);
}

// A pair as a record file holds it, from the text of one read.
PairLines linesOf(const RecordPair &pair) {
    const auto line = [](QString text) {
        while (text.endsWith(u'\n') || text.endsWith(u'\r'))
            text.chop(1);
        return recordLine(text);
    };
    return {line(pair.score), line(pair.name)};
}

// The pairs in the computers' folders, read a few at a time: nothing when a
// folder holds no whole pair.
std::vector<std::optional<PairLines>> readPairs(FileSystem &fileSystem, const QString &lab,
                                                const QStringList &folders) {
    std::vector<std::optional<PairLines>> pairs(std::size_t(folders.size()));
    std::atomic<qsizetype> next{0};
    const auto reader = [&] {
        for (qsizetype i = next++; i < folders.size(); i = next++) {
            QByteArray bytes;
            if (!fileSystem
                     .readBeginning(lab + folders[i] + u'/' + kLabPairFile, kMaxPairBytes + 1,
                                    bytes)
                     .isProblem())
                pairs[std::size_t(i)] = pairLines(bytes);
        }
    };
    std::vector<std::thread> helpers;
    for (qsizetype n = 1; n < std::min<qsizetype>(kReaders, folders.size()); ++n)
        helpers.emplace_back(reader);
    reader();
    for (std::thread &helper : helpers)
        helper.join();
    return pairs;
}

// Makes own this computer's folder, unless another computer of the same name
// made it first: then otherOwner is set, and nothing is written.
FileProblem claim(FileSystem &fileSystem, const QString &own, const QString &identity,
                  bool &otherOwner) {
    const QString owner = own + kLabOwnerFile;
    const QByteArray mine = identity.toLatin1();
    QByteArray bytes;
    FileProblem problem = fileSystem.readBeginning(owner, kMaxOwnerBytes, bytes);
    if (problem.isSystem(ENOENT)) {
        if (problem = fileSystem.makeDirectory(own);
            problem.isProblem() && !problem.isSystem(EEXIST))
            return problem;
        problem = fileSystem.writeNew(owner, mine + "\r\n");
        if (!problem.isProblem())
            return fileSystem.syncDirectory(own);
        if (!problem.isSystem(EEXIST))
            return problem;
        problem = fileSystem.readBeginning(owner, kMaxOwnerBytes, bytes);
    }
    // Another game may be writing it this very moment: its line is whole, ended by
    // CR LF, once written.
    for (int attempt = 0;
         !problem.isProblem() && !bytes.endsWith("\r\n") && attempt < kOwnerReadAttempts;
         ++attempt) {
        std::this_thread::sleep_for(kReadRetryPause);
        problem = fileSystem.readBeginning(owner, kMaxOwnerBytes, bytes);
    }
    if (problem.isProblem())
        return problem;
    otherOwner = bytes.trimmed() != mine;
    return {};
}

// Replaces this computer's pair with lines, as one file renamed into place.
FileProblem deliver(FileSystem &fileSystem, const QString &own, const PairLines &lines) {
    const QString temporary = own + temporaryName(kLabPairFile);
    FileProblem problem = fileSystem.writeNew(temporary, lines.score + lines.name);
    if (problem.isSystem(EEXIST)) { // a killed delivery's: each call costs a round trip
        fileSystem.remove(temporary);
        problem = fileSystem.writeNew(temporary, lines.score + lines.name);
    }
    if (problem.isProblem())
        return problem;
    if (problem = fileSystem.rename(temporary, own + kLabPairFile); problem.isProblem()) {
        fileSystem.remove(temporary);
        return problem;
    }
    return fileSystem.syncDirectory(own);
}

// Notes in the computer's own directory that its earlier record joined lab.
void noteJoined(FileSystem &fileSystem, const QString &local, const QString &lab) {
    const QString temporary = local + temporaryName(kJoinedFile);
    fileSystem.remove(temporary);
    if (!fileSystem.writeNew(temporary, lab.toUtf8() + "\n").isProblem() &&
        !fileSystem.rename(temporary, local + kJoinedFile).isProblem())
        fileSystem.syncDirectory(local);
}

} // namespace

// What a visit to the lab folder is asked to do, and what it found.
struct LabRecords::Visit {
    LabPlace place;
    std::shared_ptr<FileSystem> fileSystem;
    QString identity;                 // empty: this computer cannot claim a folder...
    FileProblem identityProblem;      // ...for this reason
    std::optional<PairLines> joining; // this computer's own earlier record, not yet joined
    std::optional<PairLines> mine;    // a store's score, when it could not be kept

    enum class End { Done, SameName, Failed };
    End end = End::Done;
    QString failedPath; // with problem, when the visit failed
    FileProblem problem;
    std::optional<FolderPair> before; // the class's best before this visit delivered anything
    std::optional<FolderPair> best;   // and after
    std::optional<PairLines> delivered;
    QString deliveryPath; // with deliveryProblem, when what waits could not be delivered
    FileProblem deliveryProblem;
};

LabRecords::LabRecords(LabPlace place, std::shared_ptr<FileSystem> fileSystem, RecordStore &local,
                       std::chrono::milliseconds serverWait)
    : m_place(std::move(place)), m_fileSystem(std::move(fileSystem)), m_local(local),
      m_serverWait(serverWait) {}

LabRecords::Visit LabRecords::prepareVisit() {
    Visit asked;
    asked.place = m_place;
    asked.fileSystem = m_fileSystem;
    FileSystem &fileSystem = *m_fileSystem;
    QByteArray joined;
    const bool hasJoined =
        !fileSystem.readBeginning(m_place.localDirectory + kJoinedFile, kMaxRecordFileBytes, joined)
             .isProblem() &&
        QString::fromUtf8(joined.trimmed()) == m_place.folder;
    if (!hasJoined) {
        // Also makes the computer's own directory, where it keeps its identity.
        const ReadResult own = m_local.read();
        if (own.ok() && !(own.pair.score.isEmpty() && own.pair.name.isEmpty()))
            asked.joining = linesOf(own.pair);
    }
    asked.identityProblem = computerIdentity(fileSystem, m_place.localDirectory, asked.identity);
    if (asked.identityProblem.isProblem())
        asked.identity.clear();
    return asked;
}

LabRecords::Visit LabRecords::visit(const Visit &asked) {
    Visit found = asked;
    FileSystem &fileSystem = *found.fileSystem;
    const QString lab = withTrailingSeparator(found.place.folder);
    const QString local = found.place.localDirectory;
    const QString folderName = folderNameFor(found.place.computer);
    const QString own = lab + folderName + u'/';
    const auto failed = [&found](const QString &path, const FileProblem &problem) {
        found.end = Visit::End::Failed;
        found.failedPath = path;
        found.problem = problem;
        return found;
    };

    // Each call to the server is a round trip: this computer claims its folder
    // while the class's pairs are listed and read.
    bool otherOwner = found.identity.isEmpty();
    std::future<FileProblem> claimed;
    if (!found.identity.isEmpty())
        claimed = std::async(std::launch::async,
                             [&] { return claim(fileSystem, own, found.identity, otherOwner); });
    QStringList names;
    const FileProblem listProblem = fileSystem.listDirectory(lab, names);
    names.removeIf([](const QString &name) { return name.startsWith(u'.'); });
    if (!listProblem.isProblem() && !names.contains(folderName))
        names.append(folderName); // made by the claim, or by another computer of its name
    const std::vector<std::optional<PairLines>> pairs =
        listProblem.isProblem() ? std::vector<std::optional<PairLines>>{}
                                : readPairs(fileSystem, lab, names);
    const FileProblem claimProblem = claimed.valid() ? claimed.get() : FileProblem{};
    if (listProblem.isProblem())
        return failed(lab, listProblem);
    if (claimProblem.isProblem())
        return failed(own + kLabOwnerFile, claimProblem);
    if (otherOwner && !found.identity.isEmpty())
        found.end = Visit::End::SameName;

    std::optional<PairLines> ownPair;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const std::optional<PairLines> &pair = pairs[std::size_t(i)];
        if (!pair)
            continue;
        const FolderPair candidate{names[i], *pair};
        if (!found.before || beats(candidate, *found.before))
            found.before = candidate;
        if (names[i] == folderName)
            ownPair = pair;
    }
    found.best = found.before;
    if (found.identity.isEmpty()) {
        found.deliveryPath = local + kComputerIdFile;
        found.deliveryProblem = found.identityProblem;
        return found;
    }
    if (otherOwner)
        return found;

    // What this computer kept and the class does not beat, and its own earlier
    // record, go into its folder when they beat what is there.
    KeptScores kept(local, fileSystem, kLabKeptPrefix);
    if (found.before)
        kept.release(fromWindows1252(found.before->lines.score));
    std::optional<PairLines> waiting = found.joining;
    const auto consider = [&waiting](const std::optional<PairLines> &lines) {
        if (lines && (!waiting || scoreOf(lines->score) > scoreOf(waiting->score)))
            waiting = lines;
    };
    if (const std::optional<KeptScores::Entry> best = kept.best())
        consider(best->lines);
    if (found.mine &&
        (!found.before || scoreOf(found.mine->score) > scoreOf(found.before->lines.score)))
        consider(found.mine);
    const bool joins = found.joining.has_value();
    const bool better = waiting && (!ownPair || scoreOf(waiting->score) > scoreOf(ownPair->score));
    if (!better) {
        if (joins)
            noteJoined(fileSystem, local, found.place.folder);
        return found;
    }
    FileProblem problem;
    const auto turn =
        fileSystem.lock(local + kLabLockFile, LockMode::Exclusive, kLabLockWait, problem);
    if (!turn) {
        found.deliveryPath = local + kLabLockFile;
        found.deliveryProblem = problem;
        return found;
    }
    if (problem = deliver(fileSystem, own, *waiting); problem.isProblem()) {
        found.deliveryPath = own + kLabPairFile;
        found.deliveryProblem = problem;
        return found;
    }
    found.delivered = waiting;
    kept.release(fromWindows1252(waiting->score));
    if (joins)
        noteJoined(fileSystem, local, found.place.folder);
    const FolderPair mine{folderName, *waiting};
    if (!found.best || beats(mine, *found.best))
        found.best = mine;
    return found;
}

QString LabRecords::unreached(const std::optional<Visit> &found) const {
    if (!found)
        return kNoAnswer.arg(shownPath(m_place.folder));
    return kNotUsable.arg(shownPath(m_place.folder), shownPath(found->failedPath),
                          found->problem.reason());
}

QString LabRecords::sameName() const {
    const QString own =
        withTrailingSeparator(m_place.folder) + folderNameFor(m_place.computer) + u'/';
    return kSameName.arg(m_place.computer, shownPath(own), shownPath(own + kLabOwnerFile));
}

ReadResult LabRecords::read() {
    const Visit asked = prepareVisit();
    const std::optional<Visit> found =
        withinBound<Visit>(m_serverWait, [asked] { return visit(asked); });
    // What this computer keeps and has not delivered is its record meanwhile.
    KeptScores kept(m_place.localDirectory, *m_fileSystem, kLabKeptPrefix);
    const std::optional<KeptScores::Entry> waiting = kept.best();
    if (!found || found->end == Visit::End::Failed) {
        const QString why = unreached(found);
        return {ReadResult::Outcome::Unreachable, waiting ? waiting->pair() : RecordPair{}, why};
    }
    ReadResult record{ReadResult::Outcome::Read, {}, {}};
    if (found->best)
        record.pair = {fromWindows1252(found->best->lines.score),
                       fromWindows1252(found->best->lines.name)};
    if (waiting && scoreOf(waiting->lines.score) > leadingNumber(record.pair.score))
        record.pair = waiting->pair();
    if (found->end == Visit::End::SameName)
        record.message = sameName();
    return record;
}

StoreResult LabRecords::store(const QString &score, const QString &name) {
    if (std::optional<StoreResult> refused = lineTooLong(m_place.localDirectory, score, name))
        return *std::move(refused);
    // Kept on this computer first: whatever the server does next loses nothing.
    FileProblem keepProblem;
    KeptScores kept(m_place.localDirectory, *m_fileSystem, kLabKeptPrefix);
    const KeptScores::Keeping keeping = kept.keep(score, name, keepProblem);
    const bool isKept = keeping != KeptScores::Keeping::Failed;
    const QString notKept =
        kNotKept.arg(shownPath(m_place.localDirectory + kLabKeptPrefix), keepProblem.reason());

    Visit asked = prepareVisit();
    if (!isKept)
        asked.mine = PairLines{recordLine(score), recordLine(name)};
    const std::optional<Visit> found =
        withinBound<Visit>(m_serverWait, [asked] { return visit(asked); });
    if (!found || found->end == Visit::End::Failed) {
        const QString why = unreached(found);
        return isKept ? StoreResult{Outcome::Pending, why + kKeptForServer}
                      : StoreResult{Outcome::Failed, why + notKept};
    }
    if (found->end == Visit::End::SameName) {
        const QString why = sameName();
        return isKept ? StoreResult{Outcome::Pending, why}
                      : StoreResult{Outcome::Failed, why + notKept};
    }
    const double value = leadingNumber(score);
    const PairLines mine{recordLine(score), recordLine(name)};
    // Another game of this computer may have delivered this very pair, kept a
    // moment ago, before this visit read the class's record.
    if (found->before && found->before->folder == folderNameFor(m_place.computer) &&
        found->before->lines.score == mine.score && found->before->lines.name == mine.name)
        return {Outcome::Stored, {}};
    if (found->before && value <= scoreOf(found->before->lines.score))
        return {Outcome::NotBetter, {}};
    if (found->delivered) {
        if (found->delivered->score == mine.score && found->delivered->name == mine.name)
            return {Outcome::Stored, {}};
        if (scoreOf(found->delivered->score) >= value)
            return {Outcome::NotBetter, {}};
    }
    const QString why = kNotUsable.arg(shownPath(m_place.folder), shownPath(found->deliveryPath),
                                       found->deliveryProblem.reason());
    return isKept ? StoreResult{Outcome::Pending, why + kKeptForServer}
                  : StoreResult{Outcome::Failed, why + notKept};
}

} // namespace zarvoni::records
