// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The class's record: every computer of a room keeps its own best pair in a folder
// of its own inside the lab folder on the school's file server, and the class's
// record is the best of those pairs. No lock ever crosses machines, which a dead
// computer or a file server could hold for minutes: a computer writes only in its
// own folder, one file replaced whole by a rename, under a lock kept on the
// computer itself, and reads the others' files without any lock. Every call to the
// server has a bound; a better score that cannot reach the server in time is kept
// on the computer (keptscores.h) and delivered by the next game that reaches it.

#include "records/filesystem.h"
#include "records/recordstore.h"

#include <QString>

#include <chrono>
#include <memory>
#include <optional>

namespace zarvoni::records {

// In a computer's folder: its best pair, the score line and then the name line.
inline const QString kLabPairFile = QStringLiteral("record.txt");
// In a computer's folder: the identity of the computer that writes there.
inline const QString kLabOwnerFile = QStringLiteral(".zarvoni.owner");
// In the computer's own record directory: its writers to its folder take turns...
inline const QString kLabLockFile = QStringLiteral(".zarvoni.lab-lock");
// ...and the lab folder that its own earlier record joined, once.
inline const QString kJoinedFile = QStringLiteral(".zarvoni.joined");

// How long a game waits for the school's server: a read says the class's record
// cannot be reached now, a store keeps the score on the computer.
constexpr std::chrono::milliseconds kServerWait{3'000};

struct LabPlace {
    QString folder;         // the lab folder the technician named; never created here
    QString computer;       // this computer's name
    QString localDirectory; // this computer's own record directory, ending in "/"
};

class LabRecords final : public RecordStore {
public:
    // local reads this computer's own record, which joins the class's once.
    LabRecords(LabPlace place, std::shared_ptr<FileSystem> fileSystem, RecordStore &local,
               std::chrono::milliseconds serverWait = kServerWait);

    // The best pair of the lab folder, after delivering what this computer kept.
    ReadResult read() override;
    // Compares score with the class's record as it stands now, and puts a better
    // one in this computer's folder; one the server does not take in time is kept.
    StoreResult store(const QString &score, const QString &name) override;

private:
    struct Visit;
    // The lab folder's best, after delivering what waits: runs on a thread of its
    // own, with nothing of this object's, so that it may outlive a wait.
    static Visit visit(const Visit &asked);
    Visit prepareVisit();
    // Why a visit did not reach the lab folder (none: it did not end in time).
    QString unreached(const std::optional<Visit> &found) const;
    // What a computer whose folder another computer of its name made is told.
    QString sameName() const;

    LabPlace m_place;
    std::shared_ptr<FileSystem> m_fileSystem;
    RecordStore &m_local;
    std::chrono::milliseconds m_serverWait;
};

} // namespace zarvoni::records
