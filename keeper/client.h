// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The game's side of the record keeper: each read, store and finished game's line
// runs the installed keeper once and reads its answer. A keeper that cannot
// start, stops, takes too long or answers what no keeper answers gives a clear
// message (a line, nothing: the game says nothing of it); the game goes on.

#include "records/recordstore.h"
#include "records/resultslist.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>

namespace zarvoni::keeper {

struct Timeouts {
    // A read waits a second at most for the lock; a store ten, then flushes.
    std::chrono::milliseconds read{5'000};
    std::chrono::milliseconds store{25'000};
    // A line waits for the school's server as a read does.
    std::chrono::milliseconds result{5'000};
};

class KeeperRecords final : public records::RecordStore, public records::ResultsList {
public:
    // program: the keeper's path; directory: the record directory it was built for,
    // which the messages name.
    KeeperRecords(QString program, const QString &directory, Timeouts timeouts = {});

    records::ReadResult read() override;
    records::StoreResult store(const QString &score, const QString &name) override;
    bool append(const records::GameEnd &game) override;

private:
    struct Run;
    Run run(const QStringList &arguments, const QByteArray &input,
            std::chrono::milliseconds timeout) const;

    QString m_program;
    QString m_directory;
    Timeouts m_timeouts;
};

// Whether a keeper is installed at program: then the game reads and stores through
// it, and never does the file work itself.
bool isInstalled(const QString &program);

} // namespace zarvoni::keeper
