// SPDX-License-Identifier: GPL-3.0-or-later
// The class's record in a lab folder: computers that each write only their own
// folder, a server that is away or slow, two computers with one name.
#include "records/computer.h"
#include "records/faultyfilesystem.h"
#include "records/keptscores.h"
#include "records/labrecords.h"
#include "records/recordfiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <future>

namespace zarvoni::records {
namespace {

using testing::FaultyFileSystem;
using Outcome = StoreResult::Outcome;

// A lab folder and the computers that share it, each with a record directory of
// its own, on one file system that fails or stalls on demand.
class Lab : public ::testing::Test {
protected:
    struct Computer {
        Computer(const QString &directory, const LabPlace &place,
                 const std::shared_ptr<FileSystem> &fileSystem, std::chrono::milliseconds wait)
            : local(directory, *fileSystem), records(place, fileSystem, local, wait) {}
        InProcessRecords local;
        LabRecords records;
    };

    QString lab() const { return root.filePath(QStringLiteral("lab")); }
    QString localOf(const QString &name) const { return root.filePath(name) + u'/'; }
    void put(const QString &path, const QByteArray &bytes) const {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QByteArray bytesOf(const QString &path) const {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<missing>");
    }
    QByteArray pairOf(const QString &computer) const {
        return bytesOf(lab() + u'/' + computer + u'/' + kLabPairFile);
    }
    // A computer named name, whose record directory is directory (by default its name).
    LabRecords &computer(const QString &name, std::chrono::milliseconds wait = kServerWait,
                         const QString &directory = {}) {
        const QString local = localOf(directory.isEmpty() ? name : directory);
        QDir().mkpath(local);
        return computers
            .emplace_back(
                std::make_unique<Computer>(local, LabPlace{lab(), name, local}, fileSystem, wait))
            ->records;
    }

    QTemporaryDir root;
    std::shared_ptr<FaultyFileSystem> fileSystem = std::make_shared<FaultyFileSystem>();
    std::vector<std::unique_ptr<Computer>> computers;
};

TEST_F(Lab, ShowsTheBestPairOfEveryComputerAndStoresOnlyInItsOwnFolder) {
    ASSERT_TRUE(QDir().mkpath(lab()));
    put(lab() + "/pc-1/record.txt", "7\r\nAnna\r\n");
    put(lab() + "/pc-3/record.txt", "9\r\nCarla\r\n");
    put(lab() + "/pc-2/record.txt", "9\r\nBruno\r\n");
    put(lab() + "/pc-4/record.txt", "12\r\nDanilo"); // cut short: no pair
    LabRecords &fifth = computer(QStringLiteral("PC-5"));
    const ReadResult record = fifth.read();
    ASSERT_TRUE(record.ok()) << record.message.toStdString();
    EXPECT_EQ(record.pair.score + record.pair.name, "9\r\nBruno\r\n") << "equal: first by name";
    EXPECT_EQ(fifth.store("9", "Elena").outcome, Outcome::NotBetter);
    EXPECT_EQ(pairOf("pc-5"), "<missing>");
    EXPECT_EQ(fifth.store("10", "Elena").outcome, Outcome::Stored);
    EXPECT_EQ(pairOf("pc-5"), "10\r\nElena\r\n");
    EXPECT_EQ(pairOf("pc-2"), "9\r\nBruno\r\n");
    EXPECT_EQ(computer(QStringLiteral("pc-1")).read().pair.name, "Elena\r\n");
}

TEST_F(Lab, ItsOwnEarlierRecordJoinsOnceAndAResetStays) {
    ASSERT_TRUE(QDir().mkpath(lab()));
    put(localOf("pc-1") + kScoreFile, "5\r\n");
    put(localOf("pc-1") + kNameFile, "Elena\r\n");
    LabRecords &first = computer(QStringLiteral("pc-1"));
    EXPECT_EQ(first.read().pair.name, "Elena\r\n");
    EXPECT_EQ(pairOf("pc-1"), "5\r\nElena\r\n");
    ASSERT_TRUE(QDir(lab()).removeRecursively() && QDir().mkpath(lab())); // a new school year
    EXPECT_EQ(first.read().pair.name, "");
    EXPECT_EQ(pairOf("pc-1"), "<missing>");
}

TEST_F(Lab, ASecondComputerOfTheSameNameIsToldAndKeepsItsScore) {
    ASSERT_TRUE(QDir().mkpath(lab()));
    EXPECT_EQ(computer(QStringLiteral("pc-1")).store("4", "Anna").outcome, Outcome::Stored);
    // Its own record directory, the same computer name.
    LabRecords &clone = computer(QStringLiteral("pc-1"), kServerWait, QStringLiteral("clone"));
    const ReadResult record = clone.read();
    EXPECT_TRUE(record.message.contains(u"si chiama «pc-1»")) << record.message.toStdString();
    const StoreResult stored = clone.store("8", "Bruno");
    EXPECT_EQ(stored.outcome, Outcome::Pending) << stored.message.toStdString();
    EXPECT_EQ(pairOf("pc-1"), "4\r\nAnna\r\n");
}

// A server away or stalled: the bound answers, the score is kept on the computer,
// and the next game that reaches the server delivers it.
TEST_F(Lab, AServerAwayOrStalledCostsABoundedWaitAndLosesNothing) {
    LabRecords &first = computer(QStringLiteral("pc-1"), std::chrono::milliseconds(300));
    EXPECT_EQ(first.read().outcome, ReadResult::Outcome::Unreachable) << "no lab folder";
    EXPECT_EQ(first.store("6", "Anna").outcome, Outcome::Pending);
    std::promise<void> server;
    std::shared_future<void> back = server.get_future().share();
    fileSystem->beforeEach(FaultyFileSystem::Op::List, QStringLiteral("lab"),
                           [back] { back.wait(); });
    const ReadResult stalled = first.read();
    EXPECT_EQ(stalled.outcome, ReadResult::Outcome::Unreachable);
    EXPECT_EQ(stalled.pair.name, "Anna\r\n") << "what the computer keeps meanwhile";
    ASSERT_TRUE(QDir().mkpath(lab()));
    server.set_value();
    EXPECT_EQ(first.read().pair.name, "Anna\r\n");
    EXPECT_EQ(pairOf("pc-1"), "6\r\nAnna\r\n");
}

} // namespace
} // namespace zarvoni::records
