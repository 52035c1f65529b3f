// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordfiles.h"

#include "records/faultyfilesystem.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace zarvoni::records {
namespace {

using testing::FaultyFileSystem;
using Op = FaultyFileSystem::Op;
using Outcome = StoreResult::Outcome;

const QString kStoreFailedStart = QStringLiteral("Non sono riuscito a registrare il tuo record.");
const QString kStorePendingStart = QStringLiteral("Il tuo record è salvato");

class RecordFilesTest : public ::testing::Test {
protected:
    testing::TestRecords t;
    RecordFiles files{withTrailingSeparator(t.recordDir.path()), t.fileSystem};

    void expectPair(const QByteArray &score, const QByteArray &name) const {
        EXPECT_EQ(t.bytesOf(kScoreFile), score);
        EXPECT_EQ(t.bytesOf(kNameFile), name);
    }
    void storeOldPair() {
        t.write(kScoreFile, "5\r\n");
        t.write(kNameFile, "Bruno\r\n");
    }
    // Leaves no temporary or pending file beside the pair and the lock.
    void expectNoLeftovers() const {
        const QStringList names =
            QDir(t.recordDir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : names)
            EXPECT_TRUE(name == kScoreFile || name == kNameFile || name == kLockFile)
                << name.toStdString();
    }
    mode_t modeOf(const QString &fileName) const {
        struct stat info {};
        EXPECT_EQ(::lstat(QFile::encodeName(t.path(fileName)).constData(), &info), 0);
        return info.st_mode & 07777;
    }
};

// Waits for a child process; its exit status, or 128 + the signal that killed it.
int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

TEST(RecordDirectory, EndsInExactlyOneSeparator) {
    EXPECT_EQ(withTrailingSeparator("/var/games/zarvoni"), "/var/games/zarvoni/");
    EXPECT_EQ(withTrailingSeparator("/var/games/zarvoni/"), "/var/games/zarvoni/");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
}

TEST_F(RecordFilesTest, FirstRunCreatesBothFilesEmptyAndShared) {
    const mode_t umask = ::umask(077);
    files.prepare();
    RecordFiles nested(withTrailingSeparator(t.path("a/b")), t.fileSystem);
    nested.prepare();
    ::umask(umask);

    expectPair("", "");
    // Every pupil of the games group must be able to read the record, take the lock
    // and replace the files, whatever the first pupil's umask.
    for (const QString &fileName : {kScoreFile, kNameFile, kLockFile})
        EXPECT_EQ(modeOf(fileName), 0664u) << fileName.toStdString();
    EXPECT_EQ(modeOf("a/b"), 02775u) << "a record directory the game made";
    EXPECT_TRUE(QFile::exists(t.path("a/b/eq.txt")));
    const ReadResult record = files.read();
    EXPECT_TRUE(record.ok());
    EXPECT_EQ(record.pair.score, QString());
    EXPECT_EQ(record.pair.name, QString());
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
    EXPECT_EQ(modeOf(kScoreFile), 0664u) << "a replaced file stays readable and group-writable";
    EXPECT_EQ(modeOf(kNameFile), 0664u);

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
    const QString pasted = QStringLiteral("An") + QChar(0x01) + QStringLiteral("na") + QChar(0x7F) +
                           QChar(0) + QStringLiteral("\tB\r\nC");
    EXPECT_EQ(files.store("7", pasted).outcome, Outcome::Stored);
    expectPair("7\r\n", "An?na??\tB? C\r\n");
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
    FileProblem problem;
    auto held = t.fileSystem.PosixFileSystem::lock(t.path(kLockFile), FileSystem::LockMode::Shared,
                                                   problem);
    ASSERT_TRUE(held);
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_TRUE(result.error.contains(u"occupato")) << result.error.toStdString();
    expectPair("5\r\n", "Bruno\r\n");
}

// A pupil outside the games group reads the record and is told of a failed store
// only when the score beats it.
TEST_F(RecordFilesTest, APupilWhoMayNotWriteStillReadsTheRecord) {
    storeOldPair();
    for (const Op op : {Op::MakeDirectories, Op::CreateEmpty, Op::WriteTemporary})
        t.fileSystem.failOn(op, EACCES);
    files.prepare();
    const ReadResult record = files.read();
    EXPECT_TRUE(record.ok()) << record.error.toStdString();
    EXPECT_EQ(record.pair.score, "5\r\n");
    EXPECT_EQ(record.pair.name, "Bruno\r\n");
    EXPECT_EQ(files.store("4", "Anna").outcome, Outcome::NotBetter);
    const StoreResult beaten = files.store("6", "Anna");
    EXPECT_EQ(beaten.outcome, Outcome::Failed);
    EXPECT_TRUE(beaten.error.contains(u"permesso negato")) << beaten.error.toStdString();
    expectPair("5\r\n", "Bruno\r\n");
}

struct StoreFault {
    const char *label;
    Op op;
    int errorNumber;
    int nth;
    const char16_t *reason;
    Outcome outcome;
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
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, f.outcome);
    if (f.outcome != Outcome::Stored) {
        EXPECT_TRUE(result.error.startsWith(f.outcome == Outcome::Failed ? kStoreFailedStart
                                                                         : kStorePendingStart))
            << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(QString::fromUtf16(f.reason)))
            << result.error.toStdString();
        EXPECT_TRUE(result.error.contains(t.recordDir.path())) << "the message names the path";
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
    ::testing::Values(
        StoreFault{"LockRefused", Op::Lock, EACCES, 0, u"permesso negato", Outcome::Failed},
        StoreFault{"UnreadableScore", Op::Read, EACCES, 3, u"permesso negato", Outcome::Failed},
        StoreFault{"DiskFullOnPending", Op::WriteTemporary, ENOSPC, 1, u"pieno", Outcome::Failed},
        StoreFault{"PendingRename", Op::Rename, EIO, 1, u"errore del disco", Outcome::Failed},
        StoreFault{"SyncAfterPending", Op::SyncDirectory, EIO, 1, u"errore del disco",
                   Outcome::Pending},
        StoreFault{"DiskFullOnScore", Op::WriteTemporary, ENOSPC, 2, u"pieno", Outcome::Pending},
        StoreFault{"ScoreRename", Op::Rename, EIO, 2, u"errore del disco", Outcome::Pending},
        StoreFault{"ReadOnlyOnName", Op::WriteTemporary, EROFS, 3, u"sola lettura",
                   Outcome::Pending},
        StoreFault{"NameRename", Op::Rename, EIO, 3, u"errore del disco", Outcome::Pending},
        StoreFault{"SyncAfterBoth", Op::SyncDirectory, EIO, 2, u"errore del disco",
                   Outcome::Pending},
        StoreFault{"PendingNotRemoved", Op::Remove, EIO, 1, u"", Outcome::Stored}),
    [](const auto &info) { return std::string(info.param.label); });

struct Kill {
    const char *label;
    Op op;
    int nth;
    bool newPair; // the store had made the new pair the record
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
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        t.fileSystem.before(k.op, k.nth, [] { ::raise(SIGKILL); });
        (void)files.store("6", "Anna");
        ::_exit(0);
    }
    ASSERT_EQ(waitFor(child), 128 + SIGKILL) << "the store reached the step";

    const ReadResult record = files.read();
    EXPECT_EQ(record.pair.score, k.newPair ? "6\r\n" : "5\r\n");
    EXPECT_EQ(record.pair.name, k.newPair ? "Anna\r\n" : "Bruno\r\n");
    expectPair(k.newPair ? "6\r\n" : "5\r\n", k.newPair ? "Anna\r\n" : "Bruno\r\n");
    EXPECT_EQ(files.store("7", "Carla").outcome, Outcome::Stored);
    expectPair("7\r\n", "Carla\r\n");
    expectNoLeftovers();
}

INSTANTIATE_TEST_SUITE_P(
    Steps, KilledStore,
    ::testing::Values(Kill{"HoldingTheLock", Op::Read, 1, false},
                      Kill{"WritingThePending", Op::WriteTemporary, 1, false},
                      Kill{"BeforeThePendingRename", Op::Rename, 1, false},
                      Kill{"AfterThePendingRename", Op::SyncDirectory, 1, true},
                      Kill{"BeforeTheScoreRename", Op::Rename, 2, true},
                      Kill{"BetweenTheTwoRenames", Op::WriteTemporary, 3, true},
                      Kill{"BeforeTheNameRename", Op::Rename, 3, true},
                      Kill{"BeforeThePendingGoes", Op::Remove, 1, true}),
    [](const auto &info) { return std::string(info.param.label); });

// Games ending together: every pair read meanwhile is whole, and the best score
// offered is the one on disk, with its own name.
TEST_F(RecordFilesTest, GamesEndingTogetherNeverMixAPair) {
    t.write(kScoreFile, "5\r\n");
    t.write(kNameFile, "P5\r\n");
    constexpr int kGames = 3;
    constexpr int kStoresEach = 12;
    std::vector<pid_t> games;
    for (int game = 0; game < kGames; ++game) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            PosixFileSystem own;
            RecordFiles mine(withTrailingSeparator(t.recordDir.path()), own);
            for (int i = 0; i < kStoresEach; ++i) {
                const QString score = QString::number(10 + i * kGames + game);
                if (mine.store(score, u'P' + score).outcome == Outcome::Failed)
                    ::_exit(1);
            }
            ::_exit(0);
        }
        games.push_back(child);
    }
    std::vector<pid_t> running = games;
    for (int reads = 0; !running.empty(); ++reads) {
        const ReadResult record = files.read();
        ASSERT_TRUE(record.ok()) << record.error.toStdString();
        ASSERT_EQ((u'P' + record.pair.score).toStdString(), record.pair.name.toStdString())
            << "after " << reads << " reads";
        std::erase_if(running, [](pid_t game) {
            int status = 0;
            if (::waitpid(game, &status, WNOHANG) != game)
                return false;
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a store failed";
            return true;
        });
    }
    const QByteArray best = QByteArray::number(10 + (kStoresEach - 1) * kGames + kGames - 1);
    expectPair(best + "\r\n", 'P' + best + "\r\n");
}

// Run as two pupils of the games group: A is killed while it holds the lock, and B
// stores at once.
TEST_F(RecordFilesTest, APupilKilledHoldingTheLockBlocksNoOtherPupil) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "skipped: only root can run as two pupils of the games group";
    const group *games = ::getgrnam("games");
    const gid_t gamesGroup = games ? games->gr_gid : 60;
    const QByteArray dir = QFile::encodeName(t.recordDir.path());
    ASSERT_EQ(::chown(dir.constData(), 0, gamesGroup), 0);
    ASSERT_EQ(::chmod(dir.constData(), 02775), 0);
    storeOldPair();
    const auto becomePupil = [gamesGroup](uid_t pupil) {
        if (::setgroups(1, &gamesGroup) != 0 || ::setgid(gamesGroup) != 0 || ::setuid(pupil) != 0)
            ::_exit(2);
        ::umask(022);
    };

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pupilA = ::fork();
    ASSERT_GE(pupilA, 0);
    if (pupilA == 0) {
        becomePupil(64001);
        PosixFileSystem own;
        FileProblem problem;
        const auto held = own.lock(t.path(kLockFile), FileSystem::LockMode::Exclusive, problem);
        const char got = held ? 'y' : 'n';
        if (::write(ready[1], &got, 1) == 1)
            ::pause();
        ::_exit(0);
    }
    char got = 0;
    ASSERT_EQ(::read(ready[0], &got, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_EQ(got, 'y') << "pupil A took the lock";
    ::kill(pupilA, SIGKILL);
    ASSERT_EQ(waitFor(pupilA), 128 + SIGKILL);

    const pid_t pupilB = ::fork();
    ASSERT_GE(pupilB, 0);
    if (pupilB == 0) {
        becomePupil(64002);
        PosixFileSystem own;
        RecordFiles theirs(withTrailingSeparator(t.recordDir.path()), own);
        ::_exit(theirs.store("6", "Anna").outcome == Outcome::Stored ? 0 : 1);
    }
    EXPECT_EQ(waitFor(pupilB), 0) << "pupil B stored the record";
    expectPair("6\r\n", "Anna\r\n");
}

TEST_F(RecordFilesTest, StoreRefusesToReplaceWhatIsNotARecordFile) {
    t.write(kScoreFile, "5\r\n");
    ASSERT_TRUE(QDir(t.recordDir.path()).mkdir(kNameFile));
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_TRUE(result.error.contains(u"cartella")) << result.error.toStdString();
    EXPECT_EQ(t.bytesOf(kScoreFile), "5\r\n");
    EXPECT_TRUE(QFileInfo(t.path(kNameFile)).isDir());
}

TEST_F(RecordFilesTest, NeverWritesThroughASymbolicLink) {
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath("precious.txt");
    {
        QFile precious(target);
        ASSERT_TRUE(precious.open(QIODevice::WriteOnly));
        precious.write("keep me");
    }
    t.write(kScoreFile, "1\r\n");
    ASSERT_TRUE(QFile::link(target, t.path(kNameFile)));
    EXPECT_EQ(files.store("6", "Anna").outcome, Outcome::Failed);
    QFile precious(target);
    ASSERT_TRUE(precious.open(QIODevice::ReadOnly));
    EXPECT_EQ(precious.readAll(), "keep me");
}

struct BadEntry {
    const char *label;
    std::function<void(const QString &path)> make;
    const char16_t *reason;
};

void makeFifo(const QString &path) {
    ::mkfifo(QFile::encodeName(path).constData(), 0644);
}

class BadRecordFile : public RecordFilesTest, public ::testing::WithParamInterface<BadEntry> {};

TEST_P(BadRecordFile, IsReportedWithItsPathAndReasonWithoutHanging) {
    GetParam().make(t.path(kScoreFile));
    t.write(kNameFile, "Bruno\r\n");
    files.prepare();
    const ReadResult result = files.read();
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.pair.score.isEmpty() && result.pair.name.isEmpty())
        << "never a name without its score";
    EXPECT_TRUE(result.error.contains(t.path(kScoreFile))) << result.error.toStdString();
    EXPECT_TRUE(result.error.contains(QString::fromUtf16(GetParam().reason)))
        << result.error.toStdString();
}

// Something other than a lock file where the lock belongs never hangs a game: the
// record is still read, and a store says what stands in the way.
TEST_P(BadRecordFile, InPlaceOfTheLockGivesAClearMessage) {
    storeOldPair();
    GetParam().make(t.path(kLockFile));
    const ReadResult record = files.read();
    EXPECT_TRUE(record.ok()) << record.error.toStdString();
    EXPECT_EQ(record.pair.name, "Bruno\r\n");
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_TRUE(result.error.contains(t.path(kLockFile))) << result.error.toStdString();
    EXPECT_TRUE(result.error.contains(QString::fromUtf16(GetParam().reason)))
        << result.error.toStdString();
    expectPair("5\r\n", "Bruno\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BadRecordFile,
    ::testing::Values(
        BadEntry{"Directory", [](const QString &path) { QDir().mkdir(path); }, u"è una cartella"},
        BadEntry{"LinkToDevZero", [](const QString &path) { QFile::link("/dev/zero", path); },
                 u"collegamento simbolico"},
        BadEntry{"Fifo", makeFifo, u"non è un file normale"},
        BadEntry{"LinkToFifo",
                 [](const QString &path) {
                     makeFifo(path + ".fifo");
                     QFile::link(path + ".fifo", path);
                 },
                 u"collegamento simbolico"}),
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
    EXPECT_TRUE(record.ok()) << record.error.toStdString();
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
            EXPECT_TRUE(result.error.contains(u"troppo grande")) << result.error.toStdString();
        }
    }
    EXPECT_EQ(t.bytesOf(kNameFile).size(), kMaxRecordFileBytes);
    EXPECT_EQ(files.read().pair.score.size(), kMaxRecordFileBytes);
}

TEST_F(RecordFilesTest, APathThroughAFileIsNotADirectory) {
    t.write("plain", "x");
    RecordFiles blocked(withTrailingSeparator(t.path("plain/zarvoni")), t.fileSystem);
    blocked.prepare();
    const QString message = blocked.read().error;
    EXPECT_TRUE(message.contains(u"non è una cartella")) << message.toStdString();
}

} // namespace
} // namespace zarvoni::records
