// SPDX-License-Identifier: GPL-3.0-or-later
// The record files' tests that only a POSIX system can set up: modes and the
// umask, FIFOs and links, pupils of the games group, and games as forked processes.
#include "records/posixfilesystem.h"
#include "records/recordfilestest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zarvoni::records {
namespace {

using Outcome = StoreResult::Outcome;

mode_t modeOf(const QString &path) {
    struct stat info {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
    return info.st_mode & 07777;
}

// Waits for a child process; its exit status, or 128 + the signal that killed it.
int waitFor(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status);
}

TEST_F(RecordFilesTest, FirstRunCreatesBothFilesEmptyForTheGroupOnly) {
    for (const mode_t mask : {mode_t{077}, mode_t{022}}) {
        const QString directory = QStringLiteral("umask%1/records").arg(mask, 0, 8);
        RecordFiles nested(withTrailingSeparator(t.path(directory)), t.fileSystem);
        const mode_t umask = ::umask(mask);
        nested.prepare();
        const ReadResult record = nested.read(); // the first read creates the lock
        EXPECT_EQ(nested.store("1", "Anna").outcome, Outcome::Stored);
        ::umask(umask);

        EXPECT_TRUE(record.ok());
        EXPECT_EQ(record.pair.score, QString());
        EXPECT_EQ(record.pair.name, QString());
        // The games group reads and replaces the files and takes the lock, whatever
        // the umask; nobody else may even enter the directory.
        for (const QString &fileName : {kScoreFile, kNameFile, kLockFile})
            EXPECT_EQ(modeOf(t.path(directory + u'/' + fileName)), 0660u) << fileName.toStdString();
        EXPECT_EQ(modeOf(t.path(directory)), 02770u) << "a record directory the game made";
    }
    files.prepare();
    expectPair("", "");
}

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
        ASSERT_TRUE(record.ok()) << record.message.toStdString();
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
    ASSERT_EQ(::chmod(dir.constData(), 02770), 0);
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
        const auto held =
            own.lock(t.path(kLockFile), FileSystem::LockMode::Exclusive, kStoreLockWait, problem);
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
    EXPECT_EQ(files.store("6", "Anna").outcome, Outcome::Stored) << "the link is replaced";
    expectPair("6\r\n", "Anna\r\n");
    EXPECT_FALSE(QFileInfo(t.path(kNameFile)).isSymLink());
    QFile precious(target);
    ASSERT_TRUE(precious.open(QIODevice::ReadOnly));
    EXPECT_EQ(precious.readAll(), "keep me");
}

void makeFifo(const QString &path) {
    ::mkfifo(QFile::encodeName(path).constData(), 0644);
}

INSTANTIATE_TEST_SUITE_P(
    PosixEntries, BadRecordFile,
    ::testing::Values(BadEntry{"LinkToDevZero",
                               [](const QString &path) { QFile::link("/dev/zero", path); },
                               u"collegamento simbolico", true},
                      BadEntry{"Fifo", makeFifo, u"non è un file normale", true},
                      BadEntry{"LinkToFifo",
                               [](const QString &path) {
                                   makeFifo(path + ".fifo");
                                   QFile::link(path + ".fifo", path);
                               },
                               u"collegamento simbolico", true}),
    [](const auto &info) { return std::string(info.param.label); });

INSTANTIATE_TEST_SUITE_P(PosixPending, DamagedPendingFile,
                         ::testing::Values(DamagedPending{
                             "Fifo", [](auto &t) { makeFifo(t.path(kPendingFile)); }}),
                         [](const auto &info) { return std::string(info.param.label); });

// A lock file that is another file's hard link is locked as it is: its mode, which
// is the other file's too, never changes.
TEST_F(RecordFilesTest, AHardLinkedLockFileKeepsItsMode) {
    storeOldPair();
    QTemporaryDir elsewhere;
    const QByteArray other = QFile::encodeName(elsewhere.filePath("other"));
    t.write(QStringLiteral("other"), "x");
    ASSERT_EQ(::rename(QFile::encodeName(t.path("other")).constData(), other.constData()), 0);
    ASSERT_EQ(::chmod(other.constData(), 0604), 0);
    ASSERT_EQ(::link(other.constData(), QFile::encodeName(t.path(kLockFile)).constData()), 0);
    EXPECT_EQ(files.store("6", "Anna").outcome, Outcome::Stored);
    struct stat info {};
    ASSERT_EQ(::stat(other.constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0604u);
}

// Waits, a few seconds at most, until process pid has the file at path open.
bool opens(pid_t pid, const QString &path) {
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (int tries = 0; tries < 500; ++tries) {
        const QStringList open =
            QDir(fds).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        if (std::ranges::any_of(open, [&](const QString &fd) {
                return QFile::symLinkTarget(fds + u'/' + fd) == path;
            }))
            return true;
        ::usleep(10'000);
    }
    return false;
}

// A lock file removed while a store waits for it: the store that then locks the
// old file must see that it no longer excludes anybody, and lock the new one.
TEST_F(RecordFilesTest, ALockFileRemovedMidStoreIsTakenAgain) {
    storeOldPair();
    int go[2];
    int done[2];
    ASSERT_EQ(::pipe(go), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t store = ::fork();
    ASSERT_GE(store, 0);
    if (store == 0) {
        char byte = 0;
        if (::read(go[0], &byte, 1) != 1)
            ::_exit(2);
        PosixFileSystem theirs;
        RecordFiles mine(withTrailingSeparator(t.recordDir.path()), theirs);
        const char got = mine.store("6", "Anna").outcome == Outcome::Stored ? 'y' : 'n';
        ::_exit(::write(done[1], &got, 1) == 1 ? 0 : 1);
    }
    ::close(go[0]);
    ::close(done[1]);
    PosixFileSystem own;
    FileProblem problem;
    auto old =
        own.lock(t.path(kLockFile), FileSystem::LockMode::Exclusive, kStoreLockWait, problem);
    ASSERT_TRUE(old);
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    ASSERT_TRUE(opens(store, t.path(kLockFile))) << "the store waits on the old lock file";
    // Another game removes the lock file and takes a new one under its name, then
    // the first holder lets the old one go.
    ASSERT_TRUE(QFile::remove(t.path(kLockFile)));
    auto fresh =
        own.lock(t.path(kLockFile), FileSystem::LockMode::Exclusive, kStoreLockWait, problem);
    ASSERT_TRUE(fresh);
    old.reset();
    pollfd wait{done[0], POLLIN, 0};
    EXPECT_EQ(::poll(&wait, 1, 500), 0) << "the store went on while the new lock was held";
    expectPair("5\r\n", "Bruno\r\n");
    fresh.reset();
    char got = 0;
    EXPECT_EQ(::read(done[0], &got, 1), 1);
    EXPECT_EQ(got, 'y');
    ::close(go[1]);
    ::close(done[0]);
    EXPECT_EQ(waitFor(store), 0);
    expectPair("6\r\n", "Anna\r\n");
}

} // namespace
} // namespace zarvoni::records
