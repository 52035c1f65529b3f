// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The results list a machine appends to, beside its record: in its own folder of
// the lab folder when the technician named one and that folder is this
// computer's, else in its own record directory. The school's server is waited
// for a bounded time, as for the record: a line it does not take in time is not
// written, and the game goes on as if nothing had happened.

#include "records/filesystem.h"
#include "records/labrecords.h"
#include "records/resultline.h"
#include "records/resultslist.h"
#include "records/settings.h"

#include <QString>

#include <chrono>
#include <memory>

namespace zarvoni::records {

class MachineResults final : public ResultsList {
public:
    // directory: the computer's own record directory; account: the account the
    // game runs under, written only where the setting turns it on.
    MachineResults(const QString &directory, const Settings &settings,
                   std::shared_ptr<FileSystem> fileSystem, QString account,
                   std::chrono::milliseconds serverWait = kServerWait);

    // The line of game, written now by this computer.
    bool append(const GameEnd &game) override;
    // A line made beforehand.
    bool append(const ResultLine &line);

    // What a line of game says, at the time now.
    ResultLine lineOf(const GameEnd &game, const QDateTime &now) const;

private:
    QString m_directory;
    QString m_labFolder;
    bool m_on;
    QString m_account;
    std::shared_ptr<FileSystem> m_fileSystem;
    std::chrono::milliseconds m_serverWait;
};

} // namespace zarvoni::records
