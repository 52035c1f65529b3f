// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the game asks the record keeper and what the keeper answers: one request
// per run, on the command line (and, for a store, the name on standard input);
// one answer on standard output, with an exit status of its own.
//
// Requests:
//   zarvoni-keeper read
//   zarvoni-keeper store SCORE LENGTH     the name, LENGTH bytes of UTF-8, on stdin
// SCORE is the count of right answers as the game shows it (0 to 32767, no sign,
// no leading zero); LENGTH at most kMaxNameBytes. Nothing else is accepted.
//
// Answer: a line with the outcome, then fields, each a line "KEY LENGTH" and
// LENGTH bytes of UTF-8 and a line feed:
//   read            score, name, and a message when there is a notice  (status 0)
//   stored          no field                                           (status 0)
//   pending         message                                            (status 1)
//   not-better      no field                                           (status 2)
//   failed          message                                            (status 3)
//   busy            message                                            (status 4)
//   unreachable     score, name (what this computer keeps meanwhile), message
//                   (a read: the class's record on the school's server
//                   cannot be reached now)                             (status 5)
//   refused         message: the request is not one of the above       (status 64)

#include "records/recordfiles.h"
#include "records/recordstore.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <span>
#include <variant>

namespace zarvoni::keeper {

// The longest name in UTF-8 whose record line can fit a record file: four bytes
// a character, each of which becomes one byte there.
constexpr qsizetype kMaxNameBytes = 4 * (records::kMaxRecordFileBytes - 2);
// More than any answer holds: two record files in UTF-8 and a message.
constexpr qsizetype kMaxAnswerBytes = 8 * records::kMaxRecordFileBytes;

namespace status {
constexpr int kDone = 0;
constexpr int kPending = 1;
constexpr int kNotBetter = 2;
constexpr int kFailed = 3;
constexpr int kBusy = 4;
constexpr int kUnreachable = 5;
constexpr int kRefused = 64;
} // namespace status

struct Request {
    enum class Kind { Read, Store };
    Kind kind = Kind::Read;
    QString score;
    qsizetype nameBytes = 0; // a store's name, to be read from standard input
};

// The request that the arguments after the program's name make, or why it is
// refused, in Italian.
std::variant<Request, QString> parseArguments(std::span<const char *const> arguments);

// The refusal of a store whose name, on standard input, is not LENGTH bytes long
// (received is negative when standard input could not be read).
QString wrongNameLength(qsizetype announced, qsizetype received);

struct Answer {
    QByteArray text;
    int status = status::kDone;
};
Answer answerTo(const records::ReadResult &result);
Answer answerTo(const records::StoreResult &result);
Answer refusal(const QString &message);

// The keeper's answer as the game reads it back; nothing when the answer is not
// one the keeper gives, or does not agree with its exit status.
std::optional<records::ReadResult> readAnswer(const QByteArray &text, int status);
// The exit status that goes with text, when text is one whole answer of the
// keeper's form, to a read or to a store; nothing otherwise.
std::optional<int> answeredStatus(const QByteArray &text);
std::optional<records::StoreResult> storeAnswer(const QByteArray &text, int status);

} // namespace zarvoni::keeper
