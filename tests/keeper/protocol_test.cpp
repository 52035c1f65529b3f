// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/protocol.h"

#include <gtest/gtest.h>

namespace zarvoni::keeper {
namespace {

using records::ReadResult;
using records::StoreResult;

// Every answer the keeper gives reads back as what it answered, whatever the
// record files hold.
TEST(KeeperAnswer, ReadsBackAsWhatTheKeeperAnswered) {
    const QString odd = QStringLiteral("7\r\n\n") + QChar(0) + QStringLiteral("€ score 9\nname");
    for (const ReadResult &sent :
         {ReadResult{ReadResult::Outcome::Read,
                     {QStringLiteral("12\r\n"), QStringLiteral("Anna\r\n")},
                     {}},
          ReadResult{ReadResult::Outcome::Read, {odd, QString()}, QStringLiteral("avviso")},
          ReadResult{ReadResult::Outcome::Read, {}, {}},
          ReadResult{ReadResult::Outcome::Failed, {}, QStringLiteral("Non riesco a leggere")},
          ReadResult{ReadResult::Outcome::Busy, {}, QStringLiteral("occupato")},
          ReadResult{ReadResult::Outcome::Unreachable,
                     {QStringLiteral("9\r\n"), QStringLiteral("Carla\r\n")},
                     QStringLiteral("non risponde")}}) {
        const Answer answer = answerTo(sent);
        const std::optional<ReadResult> read = readAnswer(answer.text, answer.status);
        ASSERT_TRUE(read) << answer.text.toStdString();
        EXPECT_EQ(read->outcome, sent.outcome);
        EXPECT_EQ(read->pair.score, sent.pair.score);
        EXPECT_EQ(read->pair.name, sent.pair.name);
        EXPECT_EQ(read->message, sent.message);
    }
    for (const StoreResult::Outcome outcome :
         {StoreResult::Outcome::Stored, StoreResult::Outcome::NotBetter,
          StoreResult::Outcome::Pending, StoreResult::Outcome::Failed,
          StoreResult::Outcome::Busy}) {
        const bool says =
            outcome != StoreResult::Outcome::Stored && outcome != StoreResult::Outcome::NotBetter;
        const StoreResult sent{outcome, says ? QStringLiteral("perché\n2") : QString()};
        const Answer answer = answerTo(sent);
        const std::optional<StoreResult> read = storeAnswer(answer.text, answer.status);
        ASSERT_TRUE(read) << answer.text.toStdString();
        EXPECT_EQ(read->outcome, sent.outcome);
        EXPECT_EQ(read->message, sent.message);
    }
}

// What no keeper answers is not taken for an answer: the game says it cannot
// understand it, and never shows a record or claims a store it did not see.
TEST(KeeperAnswer, AnythingElseIsNoAnswer) {
    const QByteArray read = "read\nscore 3\n7\r\n\nname 5\nAnna\n\n";
    ASSERT_TRUE(readAnswer(read, status::kDone));
    for (const auto &[text, status] : std::initializer_list<std::pair<QByteArray, int>>{
             {read, status::kFailed},                       // the status disagrees
             {read.chopped(1), status::kDone},              // cut short
             {read + "x", status::kDone},                   // more after it
             {"read\nname 5\nAnna\n\nscore 3\n7\r\n\n", 0}, // fields out of order
             {"read\nscore 3\n7\r\n\n", status::kDone},     // no name
             {"read\nscore 9\n7\r\n\nname 5\nAnna\n\n", 0}, // a length past the field
             {"read\nscore -3\n7\r\n\nname 0\n\n", 0},
             {"read\nscore 03\n7\r\n\nname 0\n\n", 0},
             {"", status::kDone},
             {"stored\n", status::kDone}, // a store's answer
             {"failed\n", status::kFailed}}) {
        EXPECT_FALSE(readAnswer(text, status)) << text.toStdString() << " " << status;
    }
    for (const auto &[text, status] : std::initializer_list<std::pair<QByteArray, int>>{
             {"stored\n", status::kNotBetter},
             {"stored\nmessage 2\nno\n", status::kDone},
             {"pending\n", status::kPending},
             {"Stored\n", status::kDone},
             {"stored", status::kDone},
             {"read\nscore 0\n\nname 0\n\n", status::kDone}}) {
        EXPECT_FALSE(storeAnswer(text, status)) << text.toStdString() << " " << status;
    }
}

// The class's results come back byte for byte, lists and problems; a keeper cut
// off as it wrote leaves what it wrote whole, and says it is not all.
TEST(KeeperAnswer, ResultsReadBackWholeOrSayTheyAreNot) {
    const records::ResultSegment list{QStringLiteral("/lab/pc-1/risultati/2026-12.txt"),
                                      QByteArray("Z1\tx\n\xff\nend 0\n\n", 15)};
    const QByteArray text = resultsStart() + resultsList(list) +
                            resultsProblem(QStringLiteral("/lab/pc-2: permesso negato")) +
                            resultsEnd();
    const std::optional<ResultsAnswer> whole = resultsAnswer(text, status::kDone);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->complete);
    ASSERT_EQ(whole->segments.size(), 1u);
    EXPECT_EQ(whole->segments[0].path, list.path);
    EXPECT_EQ(whole->segments[0].bytes, list.bytes);
    EXPECT_EQ(whole->problems, QStringList{QStringLiteral("/lab/pc-2: permesso negato")});
    const std::optional<ResultsAnswer> cut = resultsAnswer(text.first(text.size() - 12), 0);
    ASSERT_TRUE(cut);
    EXPECT_FALSE(cut->complete);
    EXPECT_EQ(cut->segments.size(), 1u);
    EXPECT_FALSE(resultsAnswer(text + "x", status::kDone)) << "nothing after the end";
    const Answer refused = refusal(QStringLiteral("Solo root"));
    EXPECT_EQ(resultsAnswer(refused.text, refused.status)->refusal, "Solo root");
    QStringList problems;
    const Answer cleared = clearedAnswer(QStringList{QStringLiteral("/lab: rifiutato")});
    EXPECT_EQ(clearedAnswer(cleared.text, cleared.status, problems), false);
    EXPECT_EQ(problems, QStringList{QStringLiteral("/lab: rifiutato")});
}

} // namespace
} // namespace zarvoni::keeper
