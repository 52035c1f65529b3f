// SPDX-License-Identifier: GPL-3.0-or-later
// The record keeper: reads the record, or stores a better one, in the one record
// directory fixed at build time, for a game that may not write there itself; adds
// a finished game's line to the results list, which it alone writes, and gives
// the class's results to root and the teachers' group alone. Installed
// set-user-id and set-group-id to a user of its own; see protocol.h for what it
// accepts and answers.

#include "keeper/callerslots.h"
#include "keeper/conditions.h"
#include "keeper/process.h"
#include "keeper/protocol.h"
#include "records/classresults.h"
#include "records/machinerecords.h"
#include "records/machineresults.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"
#include "records/systemsettings.h"

#include <QByteArray>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <span>
#include <unistd.h>
#include <variant>

namespace {

using namespace zarvoni;
using Clock = std::chrono::steady_clock;

const QString kResultsOff =
    QStringLiteral("L'elenco dei risultati è spento nelle impostazioni (results = no).");
const QString kNotAppended =
    QStringLiteral("La riga della partita non è stata scritta nell'elenco dei risultati.");

// The record's file work, but that a keeper holding the lock dies soon: a store
// waits longer for the lock than any keeper may hold it.
class KeeperFileSystem final : public records::PosixFileSystem {
public:
    std::unique_ptr<Lock> lock(const QString &path, LockMode mode, std::chrono::milliseconds wait,
                               records::FileProblem &problem) override {
        std::unique_ptr<Lock> held = PosixFileSystem::lock(path, mode, wait, problem);
        if (held)
            keeper::shortenLifetime();
        return held;
    }
};

// Reads the name from standard input, and one byte more, which tells a longer
// input, for kNameWait at most: a caller who sends nothing holds up only their
// own request. How many bytes it found, or -1 when reading failed.
qsizetype readName(qsizetype size, QByteArray &name) {
    const Clock::time_point deadline = Clock::now() + keeper::kNameWait;
    name.resize(size + 1);
    qsizetype done = 0;
    while (done <= size) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, int(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return -1;
        if (ready == 0)
            break;
        const ssize_t n = ::read(STDIN_FILENO, name.data() + done, size_t(size + 1 - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        done += n;
    }
    name.truncate(done);
    return done;
}

// The answer goes to whoever asked; if nobody reads it, the exit status still
// tells. Then the keeper ends at once: work on the school's server that did not
// end in time may still be waiting in a thread, and nothing may run after it.
[[noreturn]] void answer(const keeper::Answer &reply) {
    keeper::writeAnswer(reply.text);
    std::_Exit(reply.status);
}

// The class's results, for root and the teachers' group alone, whoever the caller
// says they are: the kernel tells the keeper the caller's ids and groups.
[[noreturn]] void teachersRequest(const keeper::Request &request, const keeper::Caller &caller,
                                  const records::Settings &settings,
                                  records::FileSystem &fileSystem) {
    if (!keeper::isTeacher(caller, settings.teachersGroup))
        answer(keeper::refusal(
            keeper::notATeacher(settings.teachersGroup, QStringLiteral(ZARVONI_CONFIG_FILE))));
    records::ClassResults results(QStringLiteral(ZARVONI_RECORD_DIR), settings, fileSystem);
    if (request.kind == keeper::Request::Kind::ClearResults)
        answer(keeper::clearedAnswer(results.erase()));
    const records::GatheredResults gathered = results.gather(request.first, request.last);
    keeper::writeAnswer(keeper::resultsStart());
    for (const records::ResultSegment &segment : gathered.segments)
        keeper::writeAnswer(keeper::resultsList(segment));
    for (const QString &problem : gathered.problems)
        keeper::writeAnswer(keeper::resultsProblem(problem));
    answer({keeper::resultsEnd(), keeper::status::kDone});
}

} // namespace

// An exception (memory running out) ends the keeper as a kill would: the pair
// on disk stays whole, and the game is told that the keeper stopped.
int main(int argc, char *argv[]) { // NOLINT(bugprone-exception-escape)
    const keeper::Caller caller = keeper::secureProcess(argv, keeper::status::kFailed);
    // Before anything else, and so before any lock.
    if (!keeper::leaveCallerSession(keeper::status::kFailed))
        answer(keeper::refusal(keeper::noSessionOfItsOwn()));

    // argv[0] is the program's name; a caller may leave even that out.
    const std::span<const char *const> arguments(argv, argc < 1 ? 0 : std::size_t(argc));
    const auto parsed =
        keeper::parseArguments(arguments.empty() ? arguments : arguments.subspan(1));
    if (const QString *refused = std::get_if<QString>(&parsed))
        answer(keeper::refusal(*refused));
    const auto &request = std::get<keeper::Request>(parsed);

    // Nothing is locked before the keeper knows it can finish what it starts.
    if (const QString unsafe = keeper::unsafeConditions(); !unsafe.isEmpty())
        answer(keeper::refusal(unsafe));
    if (!keeper::limitLifetime())
        answer(keeper::refusal(keeper::noLifetime()));
    const QString directory = QStringLiteral(ZARVONI_RECORD_DIR);
    const keeper::CallerSlot slot(directory, caller.user);
    if (!slot.taken())
        answer(keeper::refusal(keeper::tooManyKeepers()));

    // The technician's setting, which only root may write: the class's record in
    // a lab folder, or this computer's own.
    const records::SystemSettings settings =
        records::readSystemSettings(QStringLiteral(ZARVONI_CONFIG_FILE));
    const auto fileSystem = std::make_shared<KeeperFileSystem>();
    if (request.kind == keeper::Request::Kind::Results ||
        request.kind == keeper::Request::Kind::ClearResults)
        teachersRequest(request, caller, settings.settings, *fileSystem);
    records::InProcessRecords local(directory, *fileSystem);
    records::MachineRecords records(local, directory, settings.settings, settings.refusal,
                                    fileSystem);
    if (request.kind == keeper::Request::Kind::Read)
        answer(keeper::answerTo(records.read()));

    QByteArray name;
    const qsizetype received = readName(request.nameBytes, name);
    if (received != request.nameBytes)
        answer(keeper::refusal(keeper::wrongNameLength(request.nameBytes, received)));
    if (request.kind == keeper::Request::Kind::Store)
        answer(keeper::answerTo(records.store(request.score, QString::fromUtf8(name))));

    // The line's time, computer and account are the keeper's own to tell.
    if (!settings.settings.results)
        answer(keeper::appendAnswer(false, kResultsOff));
    records::GameEnd game = request.game;
    game.name = QString::fromUtf8(name);
    records::MachineResults results(directory, settings.settings, fileSystem,
                                    keeper::accountOf(caller));
    answer(keeper::appendAnswer(results.append(game), kNotAppended));
}
