// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordfiles.h"

#include "support/scripted.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

namespace zarvoni::records {
namespace {

using testing::FaultyFileSystem;
using Op = FaultyFileSystem::Op;
using Outcome = StoreResult::Outcome;

class RecordFilesTest : public ::testing::Test {
protected:
    testing::TestSeams t;
    RecordFiles files{withTrailingSeparator(t.recordDir.path()), t.fileSystem};

    void expectPair(const QByteArray &score, const QByteArray &name) const {
        EXPECT_EQ(t.bytesOf(kScoreFile), score);
        EXPECT_EQ(t.bytesOf(kNameFile), name);
    }
    void storeOldPair() {
        t.write(kScoreFile, "5\r\n");
        t.write(kNameFile, "Bruno\r\n");
    }
    // Leaves no temporary file or anything else beside the pair and the lock.
    void expectNoLeftovers() const {
        const QStringList names =
            QDir(t.recordDir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString &name : names)
            EXPECT_TRUE(name == kScoreFile || name == kNameFile || name == kLockFile)
                << name.toStdString();
    }
};

TEST(RecordDirectory, EndsInExactlyOneSeparator) {
    EXPECT_EQ(withTrailingSeparator("/var/games/zarvoni"), "/var/games/zarvoni/");
    EXPECT_EQ(withTrailingSeparator("/var/games/zarvoni/"), "/var/games/zarvoni/");
    EXPECT_EQ(withTrailingSeparator("/"), "/");
}

TEST_F(RecordFilesTest, FirstRunCreatesBothFilesEmpty) {
    EXPECT_EQ(files.prepare(), QString());
    expectPair("", "");
    EXPECT_EQ(QFile::permissions(t.path(kScoreFile)) & QFileDevice::WriteGroup,
              QFileDevice::WriteGroup)
        << "every pupil of the games group must be able to replace the record";
    EXPECT_EQ(files.read(kScoreFile).text, QString());
}

TEST_F(RecordFilesTest, CreatesAMissingDirectory) {
    RecordFiles nested(withTrailingSeparator(t.path("a/b")), t.fileSystem);
    EXPECT_EQ(nested.prepare(), QString());
    EXPECT_TRUE(QFile::exists(t.path("a/b/eq.txt")));
}

TEST_F(RecordFilesTest, ExistingFilesAreLeftByteForByte) {
    t.write(kScoreFile, "12\r\n");
    t.write(kNameFile, "Anna\r\nextra");
    EXPECT_EQ(files.prepare(), QString());
    expectPair("12\r\n", "Anna\r\nextra");
    EXPECT_EQ(files.read(kScoreFile).text, "12\r\n");
    EXPECT_EQ(files.read(kNameFile).text, "Anna\r\nextra");
}

TEST_F(RecordFilesTest, StoresOneLineEndedByCrLfInWindows1252) {
    ASSERT_EQ(files.prepare(), QString());
    EXPECT_EQ(files.store("7", "Anna").outcome, Outcome::Stored);
    expectPair("7\r\n", "Anna\r\n");

    EXPECT_EQ(files.store("8", QStringLiteral("Niccolò Łukasz")).outcome, Outcome::Stored);
    expectPair("8\r\n", "Niccol\xF2 ?ukasz\r\n");
    EXPECT_EQ(files.read(kNameFile).text, QStringLiteral("Niccolò ?ukasz\r\n"));

    EXPECT_EQ(files.store("9", "").outcome, Outcome::Stored);
    expectPair("9\r\n", "\r\n");
    expectNoLeftovers();
}

TEST_F(RecordFilesTest, ControlCharactersOfAPastedNameBecomeQuestionMarks) {
    ASSERT_EQ(files.prepare(), QString());
    // Stored as they are, they would make the file unreadable as text, hide the
    // record line and make every later store fail; a line break would split it.
    const QString pasted = QStringLiteral("An") + QChar(0x01) + QStringLiteral("na") + QChar(0x7F) +
                           QChar(0) + QStringLiteral("\tB\r\nC");
    EXPECT_EQ(files.store("7", pasted).outcome, Outcome::Stored);
    expectPair("7\r\n", "An?na??\tB? C\r\n");
    EXPECT_TRUE(files.read(kNameFile).ok());
    EXPECT_EQ(files.store("8", "Carla").outcome, Outcome::Stored);
    expectPair("8\r\n", "Carla\r\n");
}

TEST_F(RecordFilesTest, StoredScoreIsReadByTheLeadingNumberRule) {
    ASSERT_EQ(files.prepare(), QString());
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
    auto held = t.fileSystem.PosixFileSystem::lock(t.path(kLockFile), problem);
    ASSERT_TRUE(held);
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_TRUE(result.error.contains(u"occupato")) << result.error.toStdString();
    expectPair("5\r\n", "Bruno\r\n");
}

struct StoreFault {
    const char *label;
    Op op;
    int errorNumber;
    int nth;
    const char16_t *reason;
};

// Without it, GoogleTest prints a row as its raw bytes, padding (never written) included.
void PrintTo(const StoreFault &f, std::ostream *os) {
    *os << f.label;
}

class StoreFailure : public RecordFilesTest, public ::testing::WithParamInterface<StoreFault> {};

TEST_P(StoreFailure, LeavesTheOldPairAndSaysWhy) {
    storeOldPair();
    const StoreFault &f = GetParam();
    t.fileSystem.failOn(f.op, f.errorNumber, f.nth);
    const StoreResult result = files.store("6", "Anna");
    EXPECT_EQ(result.outcome, Outcome::Failed);
    EXPECT_TRUE(result.error.startsWith(u"Non sono riuscito a registrare il tuo record."));
    EXPECT_TRUE(result.error.contains(QString::fromUtf16(f.reason))) << result.error.toStdString();
    EXPECT_TRUE(result.error.contains(t.recordDir.path())) << "the message names the path";
    expectPair("5\r\n", "Bruno\r\n");
    expectNoLeftovers();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StoreFailure,
    ::testing::Values(StoreFault{"ReadOnlyDirectory", Op::Lock, EACCES, 0, u"permesso negato"},
                      StoreFault{"ReadOnlyDisk", Op::WriteTemporary, EROFS, 1, u"sola lettura"},
                      StoreFault{"DiskFullOnScore", Op::WriteTemporary, ENOSPC, 1, u"pieno"},
                      StoreFault{"DiskFullOnName", Op::WriteTemporary, ENOSPC, 2, u"pieno"},
                      StoreFault{"ScoreRename", Op::Rename, EIO, 1, u"errore del disco"},
                      StoreFault{"NameRename", Op::Rename, EIO, 2, u"errore del disco"},
                      StoreFault{"UnreadableScore", Op::Read, EACCES, 1, u"permesso negato"}),
    [](const auto &info) { return std::string(info.param.label); });

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
    std::function<void(const testing::TestSeams &)> make;
    const char16_t *reason;
};

class BadRecordFile : public RecordFilesTest, public ::testing::WithParamInterface<BadEntry> {};

TEST_P(BadRecordFile, IsReportedWithItsPathAndReasonWithoutHanging) {
    GetParam().make(t);
    EXPECT_EQ(files.prepare(), QString()) << "something stands there already: nothing to create";
    const ReadResult result = files.read(kScoreFile);
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.text.isEmpty());
    EXPECT_TRUE(result.error.contains(t.path(kScoreFile))) << result.error.toStdString();
    EXPECT_TRUE(result.error.contains(QString::fromUtf16(GetParam().reason)))
        << result.error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BadRecordFile,
    ::testing::Values(
        BadEntry{"Directory",
                 [](const testing::TestSeams &t) { QDir(t.recordDir.path()).mkdir(kScoreFile); },
                 u"è una cartella"},
        BadEntry{"LinkToDevZero",
                 [](const testing::TestSeams &t) { QFile::link("/dev/zero", t.path(kScoreFile)); },
                 u"collegamento simbolico"},
        BadEntry{"Fifo",
                 [](const testing::TestSeams &t) {
                     ::mkfifo(QFile::encodeName(t.path(kScoreFile)).constData(), 0644);
                 },
                 u"non è un file normale"},
        BadEntry{"Huge",
                 [](const testing::TestSeams &t) {
                     t.write(kScoreFile, QByteArray(qsizetype{3} * 1024 * 1024, '7'));
                 },
                 u"troppo grande"},
        BadEntry{"Binary",
                 [](const testing::TestSeams &t) {
                     t.write(kScoreFile, QByteArray("\x7F"
                                                    "ELF\x02\x01\x01\0\0",
                                                    9));
                 },
                 u"non contiene testo"}),
    [](const auto &info) { return std::string(info.param.label); });

struct PrepareFault {
    const char *label;
    Op op;
    int errorNumber;
    const char16_t *reason;
};

class PrepareFailure : public RecordFilesTest,
                       public ::testing::WithParamInterface<PrepareFault> {};

TEST_P(PrepareFailure, NamesThePathAndTheReason) {
    t.fileSystem.failOn(GetParam().op, GetParam().errorNumber);
    const QString message = files.prepare();
    EXPECT_TRUE(message.startsWith(u"Non riesco a preparare i file dei record."))
        << message.toStdString();
    EXPECT_TRUE(message.contains(t.recordDir.path())) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromUtf16(GetParam().reason))) << message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, PrepareFailure,
    ::testing::Values(
        PrepareFault{"CannotCreateDirectory", Op::MakeDirectories, EACCES, u"permesso negato"},
        PrepareFault{"DirectoryNotWritable", Op::CheckWritable, EROFS, u"sola lettura"},
        PrepareFault{"CannotCreateFile", Op::CreateEmpty, ENOSPC, u"pieno"}),
    [](const auto &info) { return std::string(info.param.label); });

TEST_F(RecordFilesTest, APathThroughAFileIsNotADirectory) {
    t.write("plain", "x");
    RecordFiles blocked(withTrailingSeparator(t.path("plain/zarvoni")), t.fileSystem);
    const QString message = blocked.prepare();
    EXPECT_TRUE(message.contains(u"non è una cartella")) << message.toStdString();
}

} // namespace
} // namespace zarvoni::records
