// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for what crosses between the game and the record keeper. A request
// is whatever a caller puts on the keeper's command line: only the two requests
// are accepted, exactly as they are documented. An answer is whatever a broken
// keeper may print: the game reads only what a keeper writes, and reads it back
// as it was written.
//
// Input: arguments separated by NUL bytes; the same bytes are also read as an
// answer, with the exit status its first byte gives.

#include "check.h"

#include "keeper/protocol.h"

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
    if (request.kind == keeper::Request::Kind::Read) {
        check(parts == QList<QByteArray>{"read"}, "only 'read' is a read");
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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    checkRequest(bytes.isEmpty() ? QList<QByteArray>() : bytes.split('\0'));
    const int status = bytes.isEmpty() ? 0 : static_cast<unsigned char>(bytes[0]) % 80;
    checkAnswer(bytes.isEmpty() ? bytes : bytes.sliced(1), status);
    checkAnswer(bytes, keeper::status::kDone);
    return 0;
}
