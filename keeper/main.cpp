// SPDX-License-Identifier: GPL-3.0-or-later
// The record keeper: reads the record, or stores a better one, in the one record
// directory fixed at build time, for a game that may not write there itself.
// Installed set-group-id games; see protocol.h for what it accepts and answers.

#include "keeper/process.h"
#include "keeper/protocol.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"

#include <QByteArray>

#include <cerrno>
#include <span>
#include <unistd.h>
#include <variant>

namespace {

using namespace zarvoni;

// Reads the name from standard input, and one byte more, which tells a longer
// input; how many bytes it found, or -1 when reading failed.
qsizetype readName(qsizetype size, QByteArray &name) {
    if (records::readAtMost(STDIN_FILENO, size + 1, name).isProblem())
        return -1;
    return name.size();
}

// The answer goes to whoever asked; if nobody reads it, the exit status still tells.
int answer(const keeper::Answer &reply) {
    qsizetype done = 0;
    while (done < reply.text.size()) {
        const ssize_t n =
            ::write(STDOUT_FILENO, reply.text.constData() + done, size_t(reply.text.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return reply.status;
}

} // namespace

// An exception (memory running out) ends the keeper as a kill would: the pair
// on disk stays whole, and the game is told that the keeper stopped.
int main(int argc, char *argv[]) { // NOLINT(bugprone-exception-escape)
    keeper::secureProcess(argv, keeper::status::kFailed);

    // argv[0] is the program's name; a caller may leave even that out.
    const std::span<const char *const> arguments(argv, argc < 1 ? 0 : std::size_t(argc));
    const auto parsed =
        keeper::parseArguments(arguments.empty() ? arguments : arguments.subspan(1));
    if (const QString *refused = std::get_if<QString>(&parsed))
        return answer(keeper::refusal(*refused));
    const auto &request = std::get<keeper::Request>(parsed);

    records::PosixFileSystem fileSystem;
    records::InProcessRecords records(QStringLiteral(ZARVONI_RECORD_DIR), fileSystem);
    if (request.kind == keeper::Request::Kind::Read)
        return answer(keeper::answerTo(records.read()));

    QByteArray name;
    const qsizetype received = readName(request.nameBytes, name);
    if (received != request.nameBytes)
        return answer(keeper::refusal(keeper::wrongNameLength(request.nameBytes, received)));
    return answer(keeper::answerTo(records.store(request.score, QString::fromUtf8(name))));
}
