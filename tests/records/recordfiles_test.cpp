// SPDX-License-Identifier: GPL-3.0-or-later
// The record files' tests that hold on every system; recordfiles_posix_test.cpp
// has those that only a POSIX system can set up.
#include "records/legacyrecords.h"
#include "records/recordfilestest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <tuple>

namespace zarvoni::records {
namespace {

using testing::FaultyFileSystem;
using Op = FaultyFileSystem::Op;
using Outcome = StoreResult::Outcome;

const QString kStoreFailedStart = QStringLiteral("Non sono riuscito a registrare il tuo record.");
const QString kStorePendingStart = QStringLiteral("Il tuo record è salvato");
const QString kStoreUnsyncedStart = QStringLiteral("Il tuo record è scritto");
const QString kKeptStart = QStringLiteral("Il tuo record è conservato");

// Starts another game in a process of its own: the store child built beside this
// program (tests/records/storechild.cpp).
void startChild(QProcess &child, const QStringList &arguments) {
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/records_store_child"),
                arguments);
}

TEST(RecordDirectory, EndsInExactlyOneSeparator) {
    EXPECT_EQ(withTrailingSeparator("/var/games/zarvoni"), "/var/games/zarvoni/");
    EXPECT_EQ(withTrailingSeparator("/var/games/zarvoni/"), "/var/games/zarvoni/");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
}

TEST_F(RecordFilesTest, ExistingFilesAreLeftByteForByte) {
    t.write(kScoreFile, "12\r\n");
    t.write(kNameFile, "Anna\r\nextra");
    files.prepare();
    expectPair("12\r\n", "Anna\r\nextra");
    const ReadResult record = files.read();
    EXPECT_EQ(record.pair.score, "12\r\n");
    EXPECT_EQ(record.pair.name, "Anna\r\nextra");
}

TEST_F(RecordFilesTest, StoresOneLineEndedByCrLfInWindows1252) {
    files.prepare();
    EXPECT_EQ(files.store("7", "Anna").outcome, Outcome::Stored);
    expectPair("7\r\n", "Anna\r\n");

    EXPECT_EQ(files.store("8", QStringLiteral("Niccolò Łukasz")).outcome, Outcome::Stored);
    expectPair("8\r\n", "Niccol\xF2 ?ukasz\r\n");
    EXPECT_EQ(files.read().pair.name, QStringLiteral("Niccolò ?ukasz\r\n"));

    EXPECT_EQ(files.store("9", "").outcome, Outcome::Stored);
    expectPair("9\r\n", "\r\n");
    expectNoLeftovers();
}

TEST_F(RecordFilesTest, ControlCharactersOfAPastedNameBecomeQuestionMarks) {
    files.prepare();
    // A line break would split the one line a record file holds.
    // C1 controls too, and the bytes a UTF-8 terminal reads as one (C2 9B is CSI).
    const QString pasted = QStringLiteral("An") + QChar(0x01) + QStringLiteral("na") + QChar(0x7F) +
                           QChar(0) + QStringLiteral("\tB\r\nC") + QChar(0x9D) + QChar(0x9B) +
                           QStringLiteral("Â›€");
    EXPECT_EQ(files.store("7", pasted).outcome, Outcome::Stored);
    expectPair("7\r\n", "An?na??\tB? C??\xC2?\x80\r\n");
    EXPECT_EQ(files.store("8", "Carla").outcome, Outcome::Stored);
    expectPair("8\r\n", "Carla\r\n");
}

TEST_F(RecordFilesTest, StoredScoreIsReadByTheLeadingNumberRule) {
    files.prepare();
    struct Case {
        QByteArray stored;
        const char *score;
        Outcome outcome;
    };
    for (const Case &c :
         {Case{"12\r\n", "12", Outcome::NotBetter}, Case{"12\r\n", "13", Outcome::Stored},
          Case{"1 2", "12", Outcome::NotBetter}, Case{"x12", "1", Outcome::Stored},
          Case{"", "0", Outcome::NotBetter}, Case{"", "1", Outcome::Stored},
          // Too small for a double: it reads as zero, not as an unbeatable record.
          Case{"0." + QByteArray(400, '0') + "1\r\n", "1", Outcome::Stored}}) {
        t.write(kScoreFile, c.stored);
        EXPECT_EQ(files.store(c.score, "Anna").outcome, c.outcome)
            << c.stored.toStdString() << " against " << c.score;
    }
}

TEST_F(RecordFilesTest, AnEqualOrBetterScoreOnDiskIsNeverReplaced) {
    storeOldPair();
    EXPECT_EQ(files.store("5", "Anna").outcome, Outcome::NotBetter);
    EXPECT_EQ(files.store("4", "Anna").outcome, Outcome::NotBetter);
    expectPair("5\r\n", "Bruno\r\n");
}

TEST_F(RecordFilesTest, ComparesAgainWithWhatAnotherGameStoredMeanwhile) {
    storeOldPair();
    // Another game stores 9 while this one waits for the lock.
    t.fileSystem.before(Op::Lock, 1, [this] {
        t.write(kScoreFile, "9\r\n");
        t.write(kNameFile, "Carla\r\n");
    });
    EXPECT_EQ(files.store("6", "Anna").outcome, Outcome::NotBetter);
    expectPair("9\r\n", "Carla\r\n");
}

TEST_F(RecordFilesTest, AGameHoldingTheLockMakesTheStoreFailCleanly) {
    storeOldPair();
    QProcess other;
    startChild(other, {QStringLiteral("hold"), t.recordDir.path()});
    ASSERT_TRUE(other.waitForReadyRead(30'000)) << "the other game took the lock";
    t.fileSystem.lockWait = std::chrono::milliseconds(50);
    // A score that changes nothing does not even ask for the lock.
    EXPECT_EQ(files.store("5", "Anna").outcome, Outcome::NotBetter);
    EXPECT_TRUE(t.fileSystem.calls.empty() || t.fileSystem.calls.back().op != Op::Lock);
    // The better score is kept, shown as the record, and put in by the next game.
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Pending);
    EXPECT_TRUE(result.message.startsWith(kKeptStart)) << result.message.toStdString();
    EXPECT_TRUE(result.message.contains(u"occupato")) << result.message.toStdString();
    expectPair("5\r\n", "Bruno\r\n");
    EXPECT_EQ(files.read().pair.name, "Anna\r\n");
    // Killed, the other game holds up nobody: the system lets its lock go.
    other.kill();
    ASSERT_TRUE(other.waitForFinished(30'000));
    EXPECT_EQ(files.store("7", "Carla").outcome, Outcome::Stored);
    expectPair("7\r\n", "Carla\r\n");
    expectNoLeftovers();
}

// A read takes no lock: a store under way neither delays it nor gives it half a pair.
TEST_F(RecordFilesTest, AReadNeitherWaitsForAStoreNorMixesItsPair) {
    storeOldPair();
    FileProblem problem;
    auto held = t.fileSystem.NativeFileSystem::lock(
        t.path(kLockFile), FileSystem::LockMode::Exclusive, kStoreLockWait, problem);
    ASSERT_TRUE(held);
    EXPECT_EQ(files.read().pair.score, "5\r\n");
    held.reset();
    // Another game stores between this read's score file and its name file.
    NativeFileSystem own;
    RecordFiles other(withTrailingSeparator(t.recordDir.path()), own);
    t.fileSystem.before(Op::Read, 6, [&other] { other.store("9", "Carla"); });
    const ReadResult record = files.read();
    EXPECT_EQ(record.pair.score + record.pair.name, "9\r\nCarla\r\n");
    // A store that goes on for a fifth of a second: the read waits between attempts.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    const auto done = std::ranges::count(t.fileSystem.calls, Op::Read, &FaultyFileSystem::Call::op);
    for (int nth = int(done) + 1; nth <= int(done) + 3 * kReadAttempts; ++nth)
        t.fileSystem.before(Op::Read, nth, [this, until, nth] {
            if (std::chrono::steady_clock::now() < until)
                t.write(kScoreFile, nth % 2 ? "10\r\n" : "9\r\n");
        });
    EXPECT_TRUE(files.read().ok());
}

// A pupil outside the games group reads the record and is told of a failed store
// only when the score beats it.
TEST_F(RecordFilesTest, APupilWhoMayNotWriteStillReadsTheRecord) {
    storeOldPair();
    for (const Op op : {Op::MakeDirectories, Op::CreateEmpty, Op::WriteNew})
        t.fileSystem.failOn(op, EACCES);
    files.prepare();
    const ReadResult record = files.read();
    EXPECT_TRUE(record.ok()) << record.message.toStdString();
    EXPECT_EQ(record.pair.score, "5\r\n");
    EXPECT_EQ(record.pair.name, "Bruno\r\n");
    EXPECT_EQ(files.store("4", "Anna").outcome, Outcome::NotBetter);
    const StoreResult beaten = files.store("6", "Anna");
    EXPECT_EQ(beaten.outcome, Outcome::Failed);
    EXPECT_TRUE(beaten.message.contains(u"permesso negato")) << beaten.message.toStdString();
    expectPair("5\r\n", "Bruno\r\n");
}

struct StoreFault {
    const char *label;
    Op op;
    int errorNumber;
    int nth;
    const char16_t *reason;
    Outcome outcome;
    const QString *messageStart = nullptr; // the message a failed or pending store gives
    bool keeps = true;                     // false: keeping the score fails too
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const StoreFault &f, std::ostream *os) {
    *os << f.label;
}

class StoreFailure : public RecordFilesTest, public ::testing::WithParamInterface<StoreFault> {};

// What the message says is what the disk holds: the old pair after a failure, the
// new one, already the record, when only copying it into the files failed.
TEST_P(StoreFailure, TheMessageMatchesTheDisk) {
    storeOldPair();
    const StoreFault &f = GetParam();
    t.fileSystem.failOn(f.op, f.errorNumber, f.nth);
    if (!f.keeps)
        t.fileSystem.failOn(Op::Lock, EACCES, 1);
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, f.outcome);
    if (f.outcome != Outcome::Stored) {
        EXPECT_TRUE(result.message.startsWith(*f.messageStart)) << result.message.toStdString();
        EXPECT_TRUE(result.message.contains(QString::fromUtf16(f.reason)))
            << result.message.toStdString();
        EXPECT_TRUE(result.message.contains(shown())) << "the message names the path";
    }
    const bool isNew = f.outcome != Outcome::Failed;
    if (!isNew)
        expectPair("5\r\n", "Bruno\r\n");
    const ReadResult record = files.read();
    EXPECT_EQ(record.pair.score, isNew ? "6\r\n" : "5\r\n");
    EXPECT_EQ(record.pair.name, isNew ? "Anna\r\n" : "Bruno\r\n");
    // The read finished what the store could not.
    expectPair(isNew ? "6\r\n" : "5\r\n", isNew ? "Anna\r\n" : "Bruno\r\n");
    expectNoLeftovers();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StoreFailure,
    ::testing::Values(StoreFault{"LockRefused", Op::Lock, EACCES, 0, u"permesso negato",
                                 Outcome::Failed, &kStoreFailedStart},
                      // Kept first, so nothing that fails afterwards loses it.
                      StoreFault{"UnreadableScore", Op::Read, EACCES, 6, u"permesso negato",
                                 Outcome::Pending, &kKeptStart},
                      StoreFault{"DiskFullOnKept", Op::WriteNew, ENOSPC, 1, u"", Outcome::Stored},
                      StoreFault{"DiskFullOnPending", Op::WriteNew, ENOSPC, 2, u"pieno",
                                 Outcome::Pending, &kKeptStart},
                      StoreFault{"PendingRename", Op::Rename, EIO, 1, u"errore del disco",
                                 Outcome::Pending, &kKeptStart},
                      StoreFault{"NothingKeptDiskFull", Op::WriteNew, ENOSPC, 1, u"pieno",
                                 Outcome::Failed, &kStoreFailedStart, false},
                      // The pending pair is in the directory, but a power cut may still lose it.
                      StoreFault{"NothingKeptSyncAfterPending", Op::SyncDirectory, EIO, 1,
                                 u"può andare perso", Outcome::Pending, &kStoreUnsyncedStart,
                                 false},
                      StoreFault{"SyncAfterPending", Op::SyncDirectory, EIO, 2, u"errore del disco",
                                 Outcome::Pending, &kStorePendingStart},
                      StoreFault{"DiskFullOnScore", Op::WriteNew, ENOSPC, 3, u"pieno",
                                 Outcome::Pending, &kStorePendingStart},
                      StoreFault{"ScoreRename", Op::Rename, EIO, 2, u"errore del disco",
                                 Outcome::Pending, &kStorePendingStart},
                      StoreFault{"ReadOnlyOnName", Op::WriteNew, EROFS, 4, u"sola lettura",
                                 Outcome::Pending, &kStorePendingStart},
                      StoreFault{"NameRename", Op::Rename, EIO, 3, u"errore del disco",
                                 Outcome::Pending, &kStorePendingStart},
                      StoreFault{"SyncAfterBoth", Op::SyncDirectory, EIO, 3, u"errore del disco",
                                 Outcome::Pending, &kStorePendingStart},
                      // The three temporary files are cleared first, then the pending file goes.
                      StoreFault{"PendingNotRemoved", Op::Remove, EIO, 4, u"", Outcome::Stored}),
    [](const auto &info) { return std::string(info.param.label); });

struct Kill {
    const char *label;
    Op op;
    int nth;
    bool newPair; // the store had kept the new score, or made the new pair the record
};

void PrintTo(const Kill &k, std::ostream *os) {
    *os << k.label;
}

class KilledStore : public RecordFilesTest, public ::testing::WithParamInterface<Kill> {};

// A game killed (power cut, logout) at any step of a store leaves the old pair or
// the new one, never a mix, and no lock or file that holds up the next game.
TEST_P(KilledStore, LeavesAWholePairAndBlocksNobody) {
    storeOldPair();
    const Kill &k = GetParam();
    QProcess child;
    startChild(child, {QStringLiteral("store"), t.recordDir.path(),
                       QString::number(static_cast<int>(k.op)), QString::number(k.nth)});
    ASSERT_TRUE(child.waitForFinished(30'000)) << child.errorString().toStdString();
    ASSERT_EQ(child.exitCode(), testing::kKilledExitCode) << "the store reached the step";

    const ReadResult record = files.read();
    EXPECT_EQ(record.pair.score, k.newPair ? "6\r\n" : "5\r\n");
    EXPECT_EQ(record.pair.name, k.newPair ? "Anna\r\n" : "Bruno\r\n");
    expectPair(k.newPair ? "6\r\n" : "5\r\n", k.newPair ? "Anna\r\n" : "Bruno\r\n");
    EXPECT_EQ(files.store("7", "Carla").outcome, Outcome::Stored);
    expectPair("7\r\n", "Carla\r\n");
    expectNoLeftovers();
}

INSTANTIATE_TEST_SUITE_P(Steps, KilledStore,
                         ::testing::Values(Kill{"KeepingTheScore", Op::WriteNew, 1, false},
                                           Kill{"HoldingTheLock", Op::Read, 4, true},
                                           Kill{"WritingThePending", Op::WriteNew, 2, true},
                                           Kill{"BeforeThePendingRename", Op::Rename, 1, true},
                                           Kill{"AfterThePendingRename", Op::SyncDirectory, 2,
                                                true},
                                           Kill{"BeforeTheScoreRename", Op::Rename, 2, true},
                                           Kill{"BetweenTheTwoRenames", Op::WriteNew, 4, true},
                                           Kill{"BeforeTheNameRename", Op::Rename, 3, true},
                                           Kill{"BeforeThePendingGoes", Op::Remove, 4, true}),
                         [](const auto &info) { return std::string(info.param.label); });

TEST_F(RecordFilesTest, StoreRefusesToReplaceWhatIsNotARecordFile) {
    t.write(kScoreFile, "5\r\n");
    ASSERT_TRUE(QDir(t.recordDir.path()).mkdir(kNameFile));
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Pending);
    EXPECT_TRUE(result.message.contains(u"cartella")) << result.message.toStdString();
    EXPECT_EQ(t.bytesOf(kScoreFile), "5\r\n");
    EXPECT_TRUE(QFileInfo(t.path(kNameFile)).isDir());
}

TEST_P(BadRecordFile, IsReportedWithItsPathAndReasonWithoutHanging) {
    GetParam().make(t.path(kScoreFile));
    t.write(kNameFile, "Bruno\r\n");
    files.prepare();
    const ReadResult result = files.read();
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.pair.score.isEmpty() && result.pair.name.isEmpty())
        << "never a name without its score";
    EXPECT_TRUE(result.message.contains(shown(kScoreFile))) << result.message.toStdString();
    EXPECT_TRUE(result.message.contains(QString::fromUtf16(GetParam().reason)))
        << result.message.toStdString();
}

// Something other than a lock file where the lock belongs never hangs a game: the
// record is still read, and a store says what stands in the way.
TEST_P(BadRecordFile, InPlaceOfTheLockGivesAClearMessage) {
    storeOldPair();
    GetParam().make(t.path(kLockFile));
    const ReadResult record = files.read();
    EXPECT_TRUE(record.ok()) << record.message.toStdString();
    EXPECT_EQ(record.pair.name, "Bruno\r\n");
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Pending);
    EXPECT_TRUE(result.message.contains(shown(kLockFile))) << result.message.toStdString();
    EXPECT_TRUE(result.message.contains(QString::fromUtf16(GetParam().reason)))
        << result.message.toStdString();
    expectPair("5\r\n", "Bruno\r\n");
}

// Something placed where a record file belongs blocks no store: the store's
// rename replaces it, and only a directory, which no rename replaces, is named.
TEST_P(BadRecordFile, AtARecordNameIsReplacedByTheNextStore) {
    for (const QString &fileName : {kScoreFile, kNameFile}) {
        storeOldPair();
        QFile::remove(t.path(fileName));
        GetParam().make(t.path(fileName));
        const StoreResult result = files.store("6", "Anna");
        if (GetParam().replaceable) {
            EXPECT_EQ(result.outcome, Outcome::Stored) << fileName.toStdString();
            expectPair("6\r\n", "Anna\r\n");
        } else {
            EXPECT_EQ(result.outcome, Outcome::Pending);
            EXPECT_TRUE(result.message.contains(shown(fileName))) << result.message.toStdString();
            EXPECT_TRUE(result.message.contains(QString::fromUtf16(GetParam().reason)));
            QDir(t.path(fileName)).removeRecursively();
            files.read(); // puts the kept score in
        }
    }
}

// Rows that every system can make; recordfiles_posix_test.cpp adds links and FIFOs.
INSTANTIATE_TEST_SUITE_P(Entries, BadRecordFile,
                         ::testing::Values(BadEntry{"Directory",
                                                    [](const QString &path) { QDir().mkdir(path); },
                                                    u"è una cartella", false}),
                         [](const auto &info) { return std::string(info.param.label); });

struct AlteredFile {
    const char *label;
    QByteArray bytes;
    qsizetype shownSize;
};

void PrintTo(const AlteredFile &a, std::ostream *os) {
    *os << a.label;
}

class AlteredScoreFile : public RecordFilesTest,
                         public ::testing::WithParamInterface<AlteredFile> {};

// A regular file is a record file whatever it holds: shown (the beginning of a
// very large one), read by the leading-number rule, and replaced when beaten.
TEST_P(AlteredScoreFile, IsShownAndReplacedWhenBeaten) {
    t.write(kScoreFile, GetParam().bytes);
    t.write(kNameFile, "Bruno\r\n");
    const ReadResult record = files.read();
    EXPECT_TRUE(record.ok()) << record.message.toStdString();
    EXPECT_EQ(record.pair.score.size(), GetParam().shownSize);
    EXPECT_EQ(record.pair.name, "Bruno\r\n");
    EXPECT_EQ(files.store("3", "Anna").outcome, Outcome::NotBetter);
    EXPECT_EQ(files.store("4", "Anna").outcome, Outcome::Stored);
    expectPair("4\r\n", "Anna\r\n");
}

QByteArray threeThenPadding(qint64 size) {
    return "3\r\n" + QByteArray(size - 3, 'x');
}

INSTANTIATE_TEST_SUITE_P(
    Files, AlteredScoreFile,
    ::testing::Values(
        AlteredFile{"ControlBytes", QByteArray("3\x01\0\x7F\r\n", 6), 6},
        AlteredFile{"Binary",
                    QByteArray("3\x7F"
                               "ELF\x02\0",
                               7),
                    7},
        AlteredFile{"ExactlyTheCap", threeThenPadding(kMaxRecordFileBytes), kMaxRecordFileBytes},
        AlteredFile{"OneByteOverTheCap", threeThenPadding(kMaxRecordFileBytes + 1),
                    kMaxRecordFileBytes},
        AlteredFile{"Huge", threeThenPadding(qint64{3} * 1024 * 1024), kMaxRecordFileBytes}),
    [](const auto &info) { return std::string(info.param.label); });

// A line is written only when the game can read it back whole.
TEST_F(RecordFilesTest, LinesOverTheCapAreNeverWritten) {
    storeOldPair();
    const qsizetype room = kMaxRecordFileBytes - 2; // the line ends in CR LF
    const QString fits = QString(room, u'a');
    const QString tooLong = fits + u'a';
    const QString score = QStringLiteral("6");
    for (const auto &[newScore, newName, outcome] :
         {std::tuple{score, tooLong, Outcome::Failed},
          std::tuple{score + QString(room, u' '), QString(), Outcome::Failed},
          std::tuple{score + QString(room - 1, u' '), fits, Outcome::Stored}}) {
        const StoreResult result = files.store(newScore, newName);
        EXPECT_EQ(result.outcome, outcome) << newScore.size() << " " << newName.size();
        if (outcome == Outcome::Failed) {
            EXPECT_TRUE(result.message.contains(u"troppo grande")) << result.message.toStdString();
        }
    }
    EXPECT_EQ(t.bytesOf(kNameFile).size(), kMaxRecordFileBytes);
    EXPECT_EQ(files.read().pair.score.size(), kMaxRecordFileBytes);
}

TEST_F(RecordFilesTest, APathThroughAFileIsNotADirectory) {
    t.write("plain", "x");
    RecordFiles blocked(withTrailingSeparator(t.path("plain/zarvoni")), t.fileSystem);
    blocked.prepare();
    const QString message = blocked.read().message;
    EXPECT_TRUE(message.contains(u"non è una cartella")) << message.toStdString();
}

// Only two whole lines are a pending pair. Anything else there was never written
// whole by a store: the record files hold the record, the game says so, and the
// damaged file is set aside for a teacher, never read again as a record.
TEST_P(DamagedPendingFile, IsReportedAndSetAside) {
    storeOldPair();
    GetParam().make(t);
    const ReadResult record = files.read();
    EXPECT_TRUE(record.ok());
    EXPECT_EQ(record.pair.score, "5\r\n");
    EXPECT_EQ(record.pair.name, "Bruno\r\n");
    EXPECT_TRUE(record.message.contains(shown(kPendingFile))) << record.message.toStdString();
    EXPECT_TRUE(record.message.contains(shown(kDamagedFile))) << record.message.toStdString();
    EXPECT_FALSE(QFileInfo::exists(t.path(kPendingFile)));
    EXPECT_EQ(files.read().message, QString()) << "said once";
    EXPECT_EQ(files.store("6", "Anna").outcome, Outcome::Stored);
    expectPair("6\r\n", "Anna\r\n");
    expectNoLeftovers({kDamagedFile});
}

INSTANTIATE_TEST_SUITE_P(
    Pending, DamagedPendingFile,
    ::testing::Values(
        DamagedPending{"OneLine", [](auto &t) { t.write(kPendingFile, "99\r\n"); }},
        DamagedPending{"NameWithoutItsEnd", [](auto &t) { t.write(kPendingFile, "6\r\nA"); }},
        DamagedPending{"Empty", [](auto &t) { t.write(kPendingFile, ""); }},
        DamagedPending{"ThreeLines", [](auto &t) { t.write(kPendingFile, "6\r\nA\r\nB\r\n"); }},
        DamagedPending{"LoneCarriageReturn",
                       [](auto &t) { t.write(kPendingFile, "6\r\nA\rB\r\n"); }},
        DamagedPending{"NameOverTheCap",
                       [](auto &t) {
                           t.write(kPendingFile,
                                   "6\r\n" + QByteArray(kMaxRecordFileBytes - 1, 'a') + "\r\n");
                       }},
        DamagedPending{"Directory", [](auto &t) { QDir().mkdir(t.path(kPendingFile)); }}),
    [](const auto &info) { return std::string(info.param.label); });

// A store removes only the temporary files of its own prefix: a teacher's copies
// beside the record, whatever their names, stay byte for byte.
TEST_F(RecordFilesTest, ATeachersFilesSurviveAStore) {
    storeOldPair();
    const QStringList teachers = {"eq.txt.backup", "neq.txt.Ab12Cd", ".zarvoni.pending.Xy34Zw",
                                  "eq.txt~"};
    for (const QString &name : teachers)
        t.write(name, name.toUtf8());
    t.write(temporaryName(kScoreFile), "a killed store's");
    EXPECT_EQ(files.store("6", "Anna").outcome, Outcome::Stored);
    for (const QString &name : teachers)
        EXPECT_EQ(t.bytesOf(name), name.toUtf8());
    expectNoLeftovers(teachers);
}

// The new pair is the record only once the directory that names the pending file
// is on the disk, and "stored" only once the directory names both new files.
TEST_F(RecordFilesTest, TheDirectoryIsSyncedAfterTheRenames) {
    storeOldPair();
    files.read();
    t.fileSystem.calls.clear();
    ASSERT_EQ(files.store("6", "Anna").outcome, Outcome::Stored);
    QStringList steps;
    for (const FaultyFileSystem::Call &call : t.fileSystem.calls) {
        if (call.op == Op::WriteNew && call.fileName.startsWith(kKeptPrefix))
            steps << QStringLiteral("write kept");
        else if (call.op == Op::WriteNew)
            steps << QStringLiteral("write ") + call.fileName;
        else if (call.op == Op::Rename)
            steps << QStringLiteral("rename ") + call.fileName;
        else if (call.op == Op::SyncDirectory)
            steps << QStringLiteral("sync");
    }
    EXPECT_EQ(steps, QStringList({"write kept", "sync", "write .zarvoni.tmp.zarvoni.pending",
                                  "rename .zarvoni.pending", "sync", "write .zarvoni.tmp.eq.txt",
                                  "rename eq.txt", "write .zarvoni.tmp.neq.txt", "rename neq.txt",
                                  "sync", "sync"}));
}

struct EarlierPlace {
    const char *label;
    QByteArray current; // the record directory's score beside "Carla", none when empty
    QByteArray earlier; // the earlier directory's score beside "Bruno"
    const char *score;
    QString shown;
    Outcome outcome;
    QByteArray after; // both files of the record directory after the store
};

void PrintTo(const EarlierPlace &e, std::ostream *os) {
    *os << e.label;
}

class EarlierRecord : public RecordFilesTest, public ::testing::WithParamInterface<EarlierPlace> {
protected:
    testing::TestRecords earlier;
    InProcessRecords current{t.recordDir.path(), t.fileSystem};
    LegacyRecords records{current, earlier.recordDir.path(), t.fileSystem};
};

// Shown while the record directory holds none, moved there by the next store as if
// it had always been there, and never written where it was.
TEST_P(EarlierRecord, IsShownThenMovedByTheNextStore) {
    const EarlierPlace &e = GetParam();
    for (const auto &[place, score, name] :
         {std::tuple{&t, e.current, "Carla\r\n"}, std::tuple{&earlier, e.earlier, "Bruno\r\n"}}) {
        if (!score.isEmpty()) {
            place->write(kScoreFile, score);
            place->write(kNameFile, name);
        }
    }
    const ReadResult record = records.read();
    EXPECT_EQ(record.pair.score + record.pair.name, e.shown);
    EXPECT_EQ(records.store(e.score, "Anna").outcome, e.outcome);
    EXPECT_EQ(t.bytesOf(kScoreFile) + t.bytesOf(kNameFile), e.after);
    EXPECT_EQ(QDir(earlier.recordDir.path())
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({kScoreFile, kNameFile}));
    EXPECT_EQ(earlier.bytesOf(kScoreFile), e.earlier);
}

INSTANTIATE_TEST_SUITE_P(
    Places, EarlierRecord,
    ::testing::Values(EarlierPlace{"NotBeaten", "", "5\r\n", "5", "5\r\nBruno\r\n",
                                   Outcome::NotBetter, "5\r\nBruno\r\n"},
                      EarlierPlace{"Beaten", "", "5\r\n", "6", "5\r\nBruno\r\n", Outcome::Stored,
                                   "6\r\nAnna\r\n"},
                      EarlierPlace{"RecordDirectoryFirst", "3\r\n", "5\r\n", "4", "3\r\nCarla\r\n",
                                   Outcome::Stored, "4\r\nAnna\r\n"},
                      // An earlier record of 0 or below moves too, then is compared.
                      EarlierPlace{"ZeroNotBeatenByZero", "", "0\r\n", "0", "0\r\nBruno\r\n",
                                   Outcome::NotBetter, "0\r\nBruno\r\n"},
                      EarlierPlace{"ZeroBeatenByOne", "", "0\r\n", "1", "0\r\nBruno\r\n",
                                   Outcome::Stored, "1\r\nAnna\r\n"},
                      EarlierPlace{"BelowZeroBeatenByZero", "", "-1\r\n", "0", "-1\r\nBruno\r\n",
                                   Outcome::Stored, "0\r\nAnna\r\n"},
                      EarlierPlace{"BelowZeroBeatenByOne", "", "-1\r\n", "1", "-1\r\nBruno\r\n",
                                   Outcome::Stored, "1\r\nAnna\r\n"}),
    [](const auto &info) { return std::string(info.param.label); });

} // namespace
} // namespace zarvoni::records
