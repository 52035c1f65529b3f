// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/machineresults.h"

#include "records/bounded.h"
#include "records/computer.h"
#include "records/recordfiles.h"
#include "records/resultfiles.h"

#include <cerrno>
#include <utility>

namespace zarvoni::records {

namespace {

constexpr qint64 kMaxOwnerBytes = 256;

enum class LabAppend { Written, NotOurs, Failed };

// Appends in the computer's folder of the lab folder, once the folder is known to
// be this computer's: another computer of the same name (a copy of one disk
// image) must never write the same list.
LabAppend appendToLab(FileSystem &fileSystem, const QString &own, const QString &identity,
                      const QString &lockFile, const QByteArray &line, QDate month) {
    QByteArray owner;
    const FileProblem problem =
        fileSystem.readBeginning(own + kLabOwnerFile, kMaxOwnerBytes, owner);
    if (problem.isSystem(ENOENT))
        return LabAppend::NotOurs;
    if (problem.isProblem())
        return LabAppend::Failed;
    if (identity.isEmpty() || owner.trimmed() != identity.toLatin1())
        return LabAppend::NotOurs;
    ResultFiles list(own + kResultsFolder + u'/', lockFile, fileSystem);
    return list.append(line, month).isProblem() ? LabAppend::Failed : LabAppend::Written;
}

} // namespace

MachineResults::MachineResults(const QString &directory, const Settings &settings,
                               std::shared_ptr<FileSystem> fileSystem, QString account,
                               std::chrono::milliseconds serverWait)
    : m_directory(withTrailingSeparator(directory)), m_labFolder(settings.recordFolder),
      m_on(settings.results), m_account(settings.resultsAccount ? std::move(account) : QString()),
      m_fileSystem(std::move(fileSystem)), m_serverWait(serverWait) {}

ResultLine MachineResults::lineOf(const GameEnd &game, const QDateTime &now) const {
    return {resultTime(now), computerName(), game, m_account};
}

bool MachineResults::append(const GameEnd &game) {
    return append(lineOf(game, QDateTime::currentDateTime()));
}

bool MachineResults::append(const ResultLine &line) {
    if (!m_on)
        return false;
    const QByteArray bytes = encodeResultLine(line);
    const QDate month = line.when.date();
    const QString lockFile = m_directory + kResultsLockFile;
    const auto appendHere = [&] {
        ResultFiles list(m_directory + kResultsFolder + u'/', lockFile, *m_fileSystem);
        return !list.append(bytes, month).isProblem();
    };
    if (m_labFolder.isEmpty())
        return appendHere();
    QString identity;
    if (computerIdentity(*m_fileSystem, m_directory, identity).isProblem())
        identity.clear();
    const QString own = withTrailingSeparator(m_labFolder) + folderNameFor(line.computer) + u'/';
    const std::optional<LabAppend> done = withinBound<LabAppend>(
        m_serverWait, [fileSystem = m_fileSystem, own, identity, lockFile, bytes, month] {
            return appendToLab(*fileSystem, own, identity, lockFile, bytes, month);
        });
    if (!done)
        return false;
    // A folder that is not this computer's: the line stays beside its record.
    if (*done == LabAppend::NotOurs)
        return appendHere();
    return *done == LabAppend::Written;
}

} // namespace zarvoni::records
