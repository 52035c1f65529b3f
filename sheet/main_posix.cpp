// SPDX-License-Identifier: GPL-3.0-or-later
// zarvoni-risultati: the teacher's sheet of the class's results, every computer's
// list merged into one CSV on standard output, or every list emptied. The
// installed command asks the record keeper, which gives the lists to root and
// the teachers' group alone; without one (a build tree) it reads them itself.

#include "keeper/client.h"
#include "keeper/protocol.h"
#include "records/classresults.h"
#include "records/posixfilesystem.h"
#include "records/systemsettings.h"
#include "sheet/resultsheet.h"

#include <QCoreApplication>
#include <QProcess>

#include <cstdio>

namespace {

using namespace zarvoni;

const QString kUsage = QStringLiteral(
    "Uso: zarvoni-risultati [DAL [AL]] > risultati.csv\n"
    "     zarvoni-risultati --cancella\n\n"
    "Scrive il foglio dei risultati della classe (CSV per LibreOffice Calc ed Excel) con le "
    "partite giocate dal giorno DAL al giorno AL compresi (come 2026-09-01); senza giorni, "
    "tutte. --cancella svuota gli elenchi dei risultati di tutti i computer, per un nuovo anno "
    "scolastico. Solo root e il gruppo degli insegnanti delle impostazioni possono farlo.\n");
const QString kLeftOut = QStringLiteral("%1 righe lasciate fuori o file non letti:");
const QString kNotAll = QStringLiteral(
    "il custode del record si è fermato prima di finire: il foglio può essere incompleto.");
const QString kNoAnswer =
    QStringLiteral("il custode del record (%1) non ha dato una risposta che capisco.");
const QString kNotStarted = QStringLiteral("non riesco ad avviare il custode del record (%1): %2.");
const QString kGames = QStringLiteral("%1 partite nel foglio.");
const QString kErased = QStringLiteral("gli elenchi dei risultati sono vuoti.");
const QString kNotErased = QStringLiteral("non tutti gli elenchi sono stati svuotati:");
// Reading every computer's list over a slow server takes the keeper its whole life.
constexpr int kKeeperMilliseconds = 30'000;

enum Status { kComplete = 0, kWithProblems = 1, kNotWritten = 2 };

void say(const QString &text) {
    std::fputs(qPrintable(QStringLiteral("zarvoni-risultati: ") + text + u'\n'), stderr);
}

// A day written as 2026-09-01, and no other way; null otherwise.
QDate dayOf(const QString &text) {
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    return day.isValid() && day.toString(QStringLiteral("yyyy-MM-dd")) == text ? day : QDate();
}

struct KeeperRun {
    bool started = false;
    QString error;
    int status = 0;
    QByteArray output;
};

KeeperRun runKeeper(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setProcessEnvironment(QProcessEnvironment());
    process.setWorkingDirectory(QStringLiteral("/"));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted() || !process.waitForFinished(kKeeperMilliseconds)) {
        const QString error = process.errorString();
        process.kill();
        process.waitForFinished();
        return {false, error, 0, {}};
    }
    return {process.exitStatus() == QProcess::NormalExit, process.errorString(), process.exitCode(),
            process.readAllStandardOutput()};
}

// Every list, from the keeper or read here.
std::optional<keeper::ResultsAnswer> gather(QDate first, QDate last) {
    const QString keeperPath = QStringLiteral(ZARVONI_KEEPER);
    if (!keeper::isInstalled(keeperPath)) {
        const records::SystemSettings settings =
            records::readSystemSettings(QStringLiteral(ZARVONI_CONFIG_FILE));
        if (!settings.refusal.isEmpty())
            say(settings.refusal);
        records::PosixFileSystem fileSystem;
        records::GatheredResults gathered =
            records::ClassResults(QStringLiteral(ZARVONI_RECORD_DIR), settings.settings, fileSystem)
                .gather(first, last);
        return keeper::ResultsAnswer{std::move(gathered.segments), gathered.problems, true, {}};
    }
    QStringList arguments{QStringLiteral("results")};
    if (first.isValid())
        arguments << first.toString(Qt::ISODate)
                  << (last.isValid() ? last : QDate(9999, 12, 31)).toString(Qt::ISODate);
    const KeeperRun run = runKeeper(keeperPath, arguments);
    std::optional<keeper::ResultsAnswer> answer =
        run.started ? keeper::resultsAnswer(run.output, run.status) : std::nullopt;
    if (!run.started)
        say(kNotStarted.arg(keeperPath, run.error));
    else if (!answer)
        say(kNoAnswer.arg(keeperPath));
    return answer;
}

int erase() {
    const QString keeperPath = QStringLiteral(ZARVONI_KEEPER);
    QStringList problems;
    std::optional<bool> erased;
    if (keeper::isInstalled(keeperPath)) {
        const KeeperRun run = runKeeper(keeperPath, {QStringLiteral("clear-results")});
        if (run.started)
            erased = keeper::clearedAnswer(run.output, run.status, problems);
        if (!erased) {
            say(run.started ? kNoAnswer.arg(keeperPath) : kNotStarted.arg(keeperPath, run.error));
            return kNotWritten;
        }
    } else {
        const records::SystemSettings settings =
            records::readSystemSettings(QStringLiteral(ZARVONI_CONFIG_FILE));
        records::PosixFileSystem fileSystem;
        problems =
            records::ClassResults(QStringLiteral(ZARVONI_RECORD_DIR), settings.settings, fileSystem)
                .erase();
        erased = problems.isEmpty();
    }
    if (*erased) {
        say(kErased);
        return kComplete;
    }
    say(kNotErased);
    for (const QString &problem : problems)
        say(problem);
    return kNotWritten;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments == QStringList{QStringLiteral("--cancella")})
        return erase();
    const QDate first = arguments.isEmpty() ? QDate() : dayOf(arguments[0]);
    const QDate last = arguments.size() == 2 ? dayOf(arguments[1]) : QDate();
    if (arguments.size() > 2 || (!arguments.isEmpty() && !first.isValid()) ||
        (arguments.size() == 2 && (!last.isValid() || last < first))) {
        const bool help = arguments == QStringList{QStringLiteral("--help")};
        std::fputs(qPrintable(kUsage), help ? stdout : stderr);
        return help ? kComplete : kNotWritten;
    }

    const std::optional<keeper::ResultsAnswer> answer = gather(first, last);
    if (!answer)
        return kNotWritten;
    if (!answer->refusal.isEmpty()) {
        say(answer->refusal);
        return kNotWritten;
    }
    sheet::ResultSheet sheet;
    for (const records::ResultSegment &segment : answer->segments)
        sheet.add(segment);
    const QByteArray csv = sheet.csv(first, last);
    if (std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout) != size_t(csv.size()) ||
        std::fflush(stdout) != 0)
        return kNotWritten;
    const QStringList problems = answer->problems + sheet.problems();
    say(kGames.arg(csv.count("\r\n") - 1));
    if (!problems.isEmpty()) {
        say(kLeftOut.arg(problems.size()));
        for (const QString &problem : problems)
            say(problem);
    }
    if (!answer->complete)
        say(kNotAll);
    return problems.isEmpty() && answer->complete ? kComplete : kWithProblems;
}
