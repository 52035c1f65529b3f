// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for what crosses between the game and the record keeper. A request
// is whatever a caller puts on the keeper's command line: only the documented
// requests are accepted, exactly as they are documented. An answer is whatever a
// broken keeper may print: the game reads only what a keeper writes, and reads it
// back as it was written. A results line is whatever lies in a list (on Windows a
// pupil may append anything): only a whole line is read, and read back the same.
//
// Input: arguments separated by NUL bytes; the same bytes are also read as an
// answer, with the exit status its first byte gives, and as a results line.

#include "check.h"

#include "keeper/protocol.h"
#include "records/resultline.h"

#include <QByteArray>
#include <QList>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace {

using namespace zarvoni;
using zarvoni::fuzz::check;

bool isPlainNumber(const QByteArray &text, qsizetype maxDigits) {
    if (text.isEmpty() || text.size() > maxDigits || (text.size() > 1 && text[0] == '0'))
        return false;
    return std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

void checkRequest(const QList<QByteArray> &parts) {
    std::vector<const char *> arguments;
    std::ranges::transform(parts, std::back_inserter(arguments),
                           [](const QByteArray &part) { return part.constData(); });
    const auto parsed = keeper::parseArguments(arguments);
    if (const QString *refused = std::get_if<QString>(&parsed)) {
        check(refused->startsWith(u"Richiesta rifiutata: "), "a refusal says so");
        return;
    }
    const auto &request = std::get<keeper::Request>(parsed);
    using Kind = keeper::Request::Kind;
    if (request.kind == Kind::Read) {
        check(parts == QList<QByteArray>{"read"}, "only 'read' is a read");
        return;
    }
    if (request.kind == Kind::ClearResults) {
        check(parts == QList<QByteArray>{"clear-results"}, "only 'clear-results' clears them");
        return;
    }
    if (request.kind == Kind::Results) {
        check(parts[0] == "results" &&
                  (parts.size() == 1 || (parts.size() == 3 && request.first <= request.last)),
              "only 'results' and two days in order asks for them");
        return;
    }
    if (request.kind == Kind::Result) {
        const records::GameEnd &game = request.game;
        check(parts.size() == 7 && parts[0] == "result" && isPlainNumber(parts[1], 5) &&
                  isPlainNumber(parts[2], 5) && isPlainNumber(parts[3], 5) &&
                  game.total == std::min(game.correct + game.wrong, 32767) &&
                  game.correct <= 32767 && game.wrong <= 32767 &&
                  (parts[4] == "0" || parts[4] == "1") &&
                  records::endingToken(game.ending) == parts[5] && isPlainNumber(parts[6], 7) &&
                  request.nameBytes <= keeper::kMaxNameBytes,
              "a line is its counts as the game keeps them, a record flag, an ending, a length");
        return;
    }
    check(parts.size() == 3 && parts[0] == "store", "only 'store' and two numbers is a store");
    check(isPlainNumber(parts[1], 5) && parts[1].toInt() <= 32767 &&
              request.score == QString::fromLatin1(parts[1]),
          "the score is the game's count of right answers, as written");
    check(isPlainNumber(parts[2], 7) && request.nameBytes == parts[2].toLongLong() &&
              request.nameBytes <= keeper::kMaxNameBytes,
          "the name's length is a plain number within a record line");
}

void checkAnswer(const QByteArray &text, int status) {
    if (const std::optional<records::ReadResult> read = keeper::readAnswer(text, status)) {
        if (read->outcome == records::ReadResult::Outcome::Read)
            check(status == keeper::status::kDone, "a read is answered with status 0");
        else
            check(!read->message.isEmpty(), "a read that failed says why");
        const keeper::Answer again = keeper::answerTo(*read);
        if (status != keeper::status::kRefused) {
            const std::optional<records::ReadResult> back =
                keeper::readAnswer(again.text, again.status);
            check(back && back->outcome == read->outcome && back->pair.score == read->pair.score &&
                      back->pair.name == read->pair.name && back->message == read->message,
                  "an answer read is read back the same when written again");
        }
    }
    if (const std::optional<records::StoreResult> stored = keeper::storeAnswer(text, status)) {
        const bool says = stored->outcome != records::StoreResult::Outcome::Stored &&
                          stored->outcome != records::StoreResult::Outcome::NotBetter;
        check(says ? status != keeper::status::kDone : stored->message.isEmpty(),
              "only a store that did not happen comes with a message");
        check(stored->outcome != records::StoreResult::Outcome::Stored ||
                  status == keeper::status::kDone,
              "a store is claimed only with status 0");
    }
}

void checkResults(const QByteArray &text, int status) {
    if (const std::optional<keeper::ResultsAnswer> results = keeper::resultsAnswer(text, status)) {
        QByteArray again = keeper::resultsStart();
        for (const records::ResultSegment &segment : results->segments)
            again += keeper::resultsList(segment);
        const std::optional<keeper::ResultsAnswer> back =
            keeper::resultsAnswer(again + keeper::resultsEnd(), keeper::status::kDone);
        check(!results->refusal.isEmpty() ||
                  (back && back->complete && back->segments.size() == results->segments.size()),
              "the lists of an answer read are read back when written again");
    }
    const auto line = records::decodeResultLine(text);
    if (const auto *whole = std::get_if<records::ResultLine>(&line)) {
        const auto back = records::decodeResultLine(records::encodeResultLine(*whole).chopped(1));
        const auto *again = std::get_if<records::ResultLine>(&back);
        check(again && again->when == whole->when &&
                  again->when.offsetFromUtc() == whole->when.offsetFromUtc() &&
                  again->game.total == whole->game.total &&
                  again->game.ending == whole->game.ending,
              "a whole results line is read back the same when written again");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    checkRequest(bytes.isEmpty() ? QList<QByteArray>() : bytes.split('\0'));
    const int status = bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes[0]) % 80;
    checkAnswer(bytes.isEmpty() ? bytes : bytes.sliced(1), status);
    checkAnswer(bytes, keeper::status::kDone);
    checkResults(bytes, keeper::status::kDone);
    return 0;
}
