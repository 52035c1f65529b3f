// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/client.h"

#include "records/recordfiles.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string_view>

namespace zarvoni::keeper {
namespace {

using records::ReadResult;
using records::StoreResult;

// Short, so that a keeper that hangs costs the test little; long for one that ends
// by itself, however slowly a loaded machine or valgrind runs it.
constexpr Timeouts kShort{std::chrono::milliseconds(400), std::chrono::milliseconds(400)};
constexpr Timeouts kEndsByItself{std::chrono::seconds(60), std::chrono::seconds(60)};

// A stand-in for the installed keeper: a shell script in a temporary directory.
struct FakeKeeper {
    explicit FakeKeeper(const QByteArray &body, bool executable = true) {
        QFile script(path());
        if (!script.open(QIODevice::WriteOnly) || script.write("#!/bin/sh\n" + body) < 0)
            qFatal("cannot write the fake keeper");
        script.setPermissions(executable ? QFile::ReadOwner | QFile::ExeOwner : QFile::ReadOwner);
    }
    QString path() const { return dir.filePath(QStringLiteral("keeper")); }
    QByteArray bytesOf(const char *name) const {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArrayLiteral("<missing>");
    }
    QTemporaryDir dir;
};

struct Misbehaviour {
    const char *label;
    QByteArray body; // empty: no program at all
    bool executable;
    const char16_t *readSays;
    StoreResult::Outcome stored;
    const char16_t *storeSays;
};

void PrintTo(const Misbehaviour &m, std::ostream *os) {
    *os << m.label;
}

class BrokenKeeper : public ::testing::TestWithParam<Misbehaviour> {};

// Whatever goes wrong with the keeper, the game says what it knows: the record
// not shown, the record not stored, or the record whole but perhaps not the new
// one, when the keeper stopped without saying which.
TEST_P(BrokenKeeper, GivesAClearMessageAndTheGameGoesOn) {
    const Misbehaviour &m = GetParam();
    FakeKeeper fake(m.body, m.executable);
    if (m.body.isEmpty())
        QFile::remove(fake.path());
    KeeperRecords keeper(fake.path(), QStringLiteral("/records"),
                         std::string_view(m.label) == "Hangs" ? kShort : kEndsByItself);

    const ReadResult read = keeper.read();
    EXPECT_EQ(read.outcome, ReadResult::Outcome::Failed);
    EXPECT_TRUE(read.pair.score.isEmpty() && read.pair.name.isEmpty());
    EXPECT_TRUE(read.message.contains(fake.path())) << read.message.toStdString();
    EXPECT_TRUE(read.message.contains(QString::fromUtf16(m.readSays)))
        << read.message.toStdString();
    EXPECT_TRUE(read.message.endsWith(u"il record non può essere mostrato."));

    const StoreResult store = keeper.store(QStringLiteral("7"), QStringLiteral("Anna"));
    EXPECT_EQ(store.outcome, m.stored);
    EXPECT_TRUE(store.message.contains(QString::fromUtf16(m.storeSays)))
        << store.message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Keepers, BrokenKeeper,
    ::testing::Values(Misbehaviour{"Missing",
                                   {},
                                   true,
                                   u"Non riesco ad avviare",
                                   StoreResult::Outcome::Failed,
                                   u"il record precedente è rimasto com'era"},
                      Misbehaviour{"NotExecutable", "exit 0\n", false, u"Non riesco ad avviare",
                                   StoreResult::Outcome::Failed,
                                   u"il record precedente è rimasto com'era"},
                      Misbehaviour{"Killed", "kill -9 $$\n", true, u"si è interrotto",
                                   StoreResult::Outcome::Unknown, u"non so se è già il tuo"},
                      Misbehaviour{"Hangs", "exec sleep 30\n", true, u"non ha risposto in tempo",
                                   StoreResult::Outcome::Unknown, u"non so se è già il tuo"},
                      Misbehaviour{"Garbage", "echo 'read me'\n", true, u"non capisce",
                                   StoreResult::Outcome::Unknown, u"non so se è già il tuo"},
                      Misbehaviour{"WrongStatus", "printf 'stored\\n'; exit 3\n", true,
                                   u"non capisce", StoreResult::Outcome::Unknown,
                                   u"non so se è già il tuo"},
                      Misbehaviour{"Floods", "exec yes\n", true, u"non capisce",
                                   StoreResult::Outcome::Unknown, u"non so se è già il tuo"}),
    [](const auto &info) { return std::string(info.param.label); });

// A keeper whose whole answer is in but which cannot end (a thread of its own stuck
// on a file server that lets nobody go) is taken at its word, without waiting for
// its end, which would hold up the end of the game.
TEST(KeeperClient, TakesTheAnswerOfAKeeperThatCannotEnd) {
    FakeKeeper fake("printf 'pending\\nmessage 10\\nconservato\\n'\nexec sleep 120\n");
    KeeperRecords keeper(fake.path(), QStringLiteral("/records"),
                         {std::chrono::seconds(10), std::chrono::seconds(10)});
    const StoreResult store = keeper.store(QStringLiteral("7"), QStringLiteral("Anna"));
    EXPECT_EQ(store.outcome, StoreResult::Outcome::Pending) << store.message.toStdString();
    EXPECT_EQ(store.message, "conservato");
}

// The request as the keeper receives it: its arguments, the name on standard
// input, and nothing of the game's environment.
TEST(KeeperClient, SendsTheRequestAndNothingElse) {
    qputenv("ZARVONI_TEST_SECRET", "1");
    FakeKeeper fake("cd \"$(dirname \"$0\")\"\n"
                    "printf '%s|' \"$@\" >args; cat >name; env >env\n"
                    "case $1 in\n"
                    "read) printf 'read\\nscore 3\\n7\\r\\n\\nname 6\\nAnna\\r\\n\\n' ;;\n"
                    "store) printf 'stored\\n' ;;\n"
                    "esac\n");
    KeeperRecords keeper(fake.path(), QStringLiteral("/records"), kEndsByItself);
    const QString name = QStringLiteral("Niccolò\n");
    EXPECT_EQ(keeper.store(QStringLiteral("12"), name).outcome, StoreResult::Outcome::Stored);
    EXPECT_EQ(fake.bytesOf("args"), "store|12|" + QByteArray::number(name.toUtf8().size()) + '|');
    EXPECT_EQ(fake.bytesOf("name"), name.toUtf8());
    EXPECT_FALSE(fake.bytesOf("env").contains("ZARVONI_TEST_SECRET"));

    const ReadResult read = keeper.read();
    EXPECT_EQ(fake.bytesOf("args"), "read|");
    EXPECT_EQ(fake.bytesOf("name"), "") << "a read sends nothing on standard input";
    ASSERT_EQ(read.outcome, ReadResult::Outcome::Read);
    EXPECT_EQ(read.pair.score, "7\r\n");
    EXPECT_EQ(read.pair.name, "Anna\r\n");

    // A name no record file can hold is never sent: too long when it beats the
    // record, not better when it does not.
    const QString endless(records::kMaxRecordFileBytes, u'a');
    QFile::remove(fake.dir.filePath(QStringLiteral("name")));
    const StoreResult tooLong = keeper.store(QStringLiteral("8"), endless);
    EXPECT_EQ(tooLong.outcome, StoreResult::Outcome::Failed);
    EXPECT_TRUE(tooLong.message.contains(u"/records/neq.txt: sarebbe troppo grande"))
        << tooLong.message.toStdString();
    EXPECT_EQ(keeper.store(QStringLiteral("7"), endless).outcome, StoreResult::Outcome::NotBetter);
    EXPECT_EQ(fake.bytesOf("args"), "read|");
}

} // namespace
} // namespace zarvoni::keeper
