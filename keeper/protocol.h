// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the game asks the record keeper and what the keeper answers: one request
// per run, on the command line (and, for a store, the name on standard input);
// one answer on standard output, with an exit status of its own.
//
// Requests:
//   zarvoni-keeper read
//   zarvoni-keeper store SCORE LENGTH     the name, LENGTH bytes of UTF-8, on stdin
//   zarvoni-keeper result CORRECT WRONG TOTAL RECORD END LENGTH
//                                         a finished game's line in the results
//                                         list; the name as for store
//   zarvoni-keeper results [FIRST LAST]   every computer's results list
//   zarvoni-keeper clear-results          empties every computer's results list
// SCORE is the count of right answers as the game shows it (0 to 32767, no sign,
// no leading zero); LENGTH at most kMaxNameBytes. CORRECT and WRONG are counts as
// SCORE is, TOTAL their sum as the game counts it (stopping at 32767), RECORD 1
// when the game set a record and 0 otherwise, END how it ended: tempo, uscita or
// nuova. FIRST and LAST are days (2026-09-01), the first before the last: the
// months from the first's to the last's are read. Only root and the members of
// the technician's teachers' group, as the kernel tells the keeper's caller, may
// ask for results or clear-results. Nothing else is accepted.
//
// Answer: a line with the outcome, then fields, each a line "KEY LENGTH" and
// LENGTH bytes and a line feed (UTF-8, but for the bytes of a list):
//   read            score, name, and a message when there is a notice  (status 0)
//   stored          no field                                           (status 0)
//   appended        no field                                           (status 0)
//   pending         message                                            (status 1)
//   not-better      no field                                           (status 2)
//   failed          message                                            (status 3)
//   not-appended    message: the line was not written                  (status 3)
//   busy            message                                            (status 4)
//   unreachable     score, name (what this computer keeps meanwhile), message
//                   (a read: the class's record on the school's server
//                   cannot be reached now)                             (status 5)
//   results         for each month's file a field "list" (where it lies) and
//                   a field "lines" (its bytes as they are), a field "problem"
//                   for each that could not be read, then an empty field
//                   "end"; nothing after "end" is missing              (status 0)
//   cleared         a field "problem" for each list left as it was     (status 0
//                   when none, 3 otherwise)
//   refused         message: the request is not one of the above, or
//                   comes from a caller who may not make it            (status 64)

#include "records/recordfiles.h"
#include "records/recordstore.h"
#include "records/resultfiles.h"
#include "records/resultslist.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <variant>
#include <vector>

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
    enum class Kind { Read, Store, Result, Results, ClearResults };
    Kind kind = Kind::Read;
    QString score;
    qsizetype nameBytes = 0; // a store's or a result's name, read from standard input
    records::GameEnd game;   // a result's, but its name
    QDate first;             // the results asked for, or null for all
    QDate last;
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
Answer appendAnswer(bool appended, const QString &why);
Answer clearedAnswer(const QStringList &problems);

// The answer to results, written in parts: its outcome line, a month's file, a
// file or a folder that could not be read, and the end.
QByteArray resultsStart();
QByteArray resultsList(const records::ResultSegment &segment);
QByteArray resultsProblem(const QString &problem);
QByteArray resultsEnd();

// The answer to results as the teacher's command reads it back.
struct ResultsAnswer {
    std::vector<records::ResultSegment> segments;
    QStringList problems;
    bool complete = false; // the end arrived: nothing is missing
    QString refusal;       // why the keeper refused or failed, if it did
};
// Nothing when the answer is not one the keeper gives.
std::optional<ResultsAnswer> resultsAnswer(const QByteArray &text, int status);
// Whether the lists were all emptied; problems gets those left as they were, or
// the refusal.
std::optional<bool> clearedAnswer(const QByteArray &text, int status, QStringList &problems);

// The keeper's answer as the game reads it back; nothing when the answer is not
// one the keeper gives, or does not agree with its exit status.
std::optional<records::ReadResult> readAnswer(const QByteArray &text, int status);
// The exit status that goes with text, when text is one whole answer of the
// keeper's form, to a read or to a store; nothing otherwise.
std::optional<int> answeredStatus(const QByteArray &text);
std::optional<records::StoreResult> storeAnswer(const QByteArray &text, int status);

} // namespace zarvoni::keeper
