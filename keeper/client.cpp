// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/client.h"

#include "game/numberrules.h"
#include "keeper/protocol.h"
#include "records/recordfiles.h"
#include "records/resultline.h"

#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace zarvoni::keeper {

namespace {

// Keepers left to end when their file server lets them: kept for the life of the
// program, and never destroyed, since destroying one waits for it to end.
void abandon(std::unique_ptr<QProcess> process) {
    static std::mutex guard;
    static auto *abandoned = new std::vector<std::unique_ptr<QProcess>>;
    const std::lock_guard lock(guard);
    abandoned->push_back(std::move(process));
}

const QString kNotStarted =
    QStringLiteral("Non riesco ad avviare il programma che custodisce il record (%1): %2.");
const QString kTimedOut = QStringLiteral(
    "Il programma che custodisce il record (%1) non ha risposto in tempo ed è stato fermato.");
const QString kDied = QStringLiteral(
    "Il programma che custodisce il record (%1) si è interrotto prima di rispondere.");
const QString kGarbled = QStringLiteral(
    "Il programma che custodisce il record (%1) ha dato una risposta che il gioco non capisce.");
const QString kNotShown =
    QStringLiteral("\n\nSi gioca lo stesso, ma il record non può essere mostrato.");
const QString kNotStored = QStringLiteral(
    "\n\nIl tuo record non è stato registrato: il record precedente è rimasto com'era.");
// Stopped at any moment, the keeper leaves the old pair or the new one.
const QString kUnknown = QStringLiteral("\n\nIl record è intero, ma non so se è già il tuo: lo "
                                        "mostrerà l'inizio della prossima partita.");

using Clock = std::chrono::steady_clock;

// Starting a program is the system's work, not the keeper's: it has a bound of its
// own, so that a loaded machine does not use up the time the keeper is given.
constexpr int kStartMilliseconds = 10'000;
// A keeper ends at once after its answer.
constexpr int kEndMilliseconds = 1'000;

int millisecondsLeft(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return int(std::max<decltype(left)>(left, 0));
}

} // namespace

struct KeeperRecords::Run {
    enum class End { Answered, NotStarted, TimedOut, Died, TooLong };
    End end = End::Answered;
    int status = 0;
    QByteArray output;
    QString error; // why it did not start

    // What went wrong, when the keeper gave no answer to read.
    QString problem(const QString &program) const {
        switch (end) {
        case End::NotStarted:
            return kNotStarted.arg(program, error);
        case End::TimedOut:
            return kTimedOut.arg(program);
        case End::Died:
            return kDied.arg(program);
        case End::Answered:
        case End::TooLong:
            break;
        }
        return kGarbled.arg(program);
    }
};

KeeperRecords::KeeperRecords(QString program, const QString &directory, Timeouts timeouts)
    : m_program(std::move(program)), m_directory(records::withTrailingSeparator(directory)),
      m_timeouts(timeouts) {}

records::ReadResult KeeperRecords::read() {
    const Run keeper = run({QStringLiteral("read")}, QByteArray(), m_timeouts.read);
    if (keeper.end == Run::End::Answered) {
        if (std::optional<records::ReadResult> result = readAnswer(keeper.output, keeper.status))
            return *std::move(result);
    }
    return {records::ReadResult::Outcome::Failed, {}, keeper.problem(m_program) + kNotShown};
}

records::StoreResult KeeperRecords::store(const QString &score, const QString &name) {
    using Outcome = records::StoreResult::Outcome;
    // A name no record file can hold is never sent: the same failure as a store in
    // the game's own process, unless the record on disk is equal or better anyway.
    if (std::optional<records::StoreResult> tooLong =
            records::lineTooLong(m_directory, score, name)) {
        const records::ReadResult now = read();
        if (now.ok() && leadingNumber(score) <= leadingNumber(now.pair.score))
            return {Outcome::NotBetter, {}};
        return *std::move(tooLong);
    }
    const QByteArray bytes = name.toUtf8();
    const Run keeper = run({QStringLiteral("store"), score, QString::number(bytes.size())}, bytes,
                           m_timeouts.store);
    if (keeper.end == Run::End::Answered) {
        if (std::optional<records::StoreResult> result = storeAnswer(keeper.output, keeper.status))
            return *std::move(result);
    }
    if (keeper.end == Run::End::NotStarted)
        return {Outcome::Failed, keeper.problem(m_program) + kNotStored};
    return {Outcome::Unknown, keeper.problem(m_program) + kUnknown};
}

bool KeeperRecords::append(const records::GameEnd &game) {
    // Cut to what a line keeps: the rest would never reach the list.
    const QByteArray name = records::resultName(game.name).toUtf8();
    const QStringList arguments{QStringLiteral("result"),
                                QString::number(game.correct),
                                QString::number(game.wrong),
                                QString::number(game.total),
                                QString::number(game.record ? 1 : 0),
                                QString::fromLatin1(records::endingToken(game.ending)),
                                QString::number(name.size())};
    const Run keeper = run(arguments, name, m_timeouts.result);
    return keeper.end == Run::End::Answered && keeper.status == status::kDone &&
           keeper.output == "appended\n";
}

KeeperRecords::Run KeeperRecords::run(const QStringList &arguments, const QByteArray &input,
                                      std::chrono::milliseconds timeout) const {
    // Held on the heap: a keeper that cannot end is left to the system (below).
    auto owned = std::make_unique<QProcess>();
    QProcess &process = *owned;
    process.setProgram(m_program);
    process.setArguments(arguments);
    // The keeper takes nothing from its caller but the request.
    process.setProcessEnvironment(QProcessEnvironment());
    process.setWorkingDirectory(QStringLiteral("/"));
    process.setStandardErrorFile(QProcess::nullDevice());
    if (input.isNull())
        process.setStandardInputFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(kStartMilliseconds))
        return {Run::End::NotStarted, 0, {}, process.errorString()};
    const Clock::time_point deadline = Clock::now() + timeout;
    if (!input.isNull()) {
        process.write(input);
        process.closeWriteChannel();
    }

    QByteArray output;
    const auto stop = [&process](Run::End end) {
        process.kill();
        process.waitForFinished();
        return Run{end, 0, {}, {}};
    };
    while (process.state() != QProcess::NotRunning) {
        if (millisecondsLeft(deadline) == 0)
            return stop(Run::End::TimedOut);
        if (!process.waitForReadyRead(millisecondsLeft(deadline)))
            process.waitForFinished(millisecondsLeft(deadline)); // its output is closed
        output += process.readAllStandardOutput();
        if (output.size() > kMaxAnswerBytes)
            return stop(Run::End::TooLong);
        // A keeper whose whole answer is in but which cannot end: a thread of its own
        // is stuck in a call to a file server that does not let even a killed caller
        // go (a FUSE share that stopped answering). Its answer stands; the process,
        // and this object, are left to end when the server answers, for waiting on
        // them would hold up the end of the game.
        if (const std::optional<int> status = answeredStatus(output);
            status && !process.waitForFinished(kEndMilliseconds)) {
            process.kill();
            abandon(std::move(owned));
            return {Run::End::Answered, *status, output, {}};
        }
    }
    output += process.readAllStandardOutput();
    if (process.exitStatus() == QProcess::CrashExit)
        return {Run::End::Died, 0, {}, {}};
    if (output.size() > kMaxAnswerBytes)
        return {Run::End::TooLong, 0, {}, {}};
    return {Run::End::Answered, process.exitCode(), output, {}};
}

bool isInstalled(const QString &program) {
    return QFileInfo::exists(program);
}

} // namespace zarvoni::keeper
