// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record that an earlier version of the game kept in another directory:
// shown while the record directory holds none, and moved into it by the next
// store. The earlier directory is only ever read, never written.

#include "records/filesystem.h"
#include "records/recordfiles.h"
#include "records/recordstore.h"

#include <QString>

#include <optional>

namespace zarvoni::records {

class LegacyRecords final : public RecordStore {
public:
    // current reads and stores the record directory's pair; the earlier pair is
    // read from legacyDirectory (none when empty) through fileSystem.
    LegacyRecords(InProcessRecords &current, const QString &legacyDirectory,
                  FileSystem &fileSystem);

    ReadResult read() override;
    // While the record directory holds no record, the earlier pair goes there first,
    // whatever its score, so the score is compared with it as with any stored record.
    StoreResult store(const QString &score, const QString &name) override;

private:
    // The earlier pair, when both its files could be read and one holds something.
    std::optional<RecordPair> legacyPair();

    InProcessRecords &m_current;
    QString m_legacyDirectory;
    FileSystem &m_fileSystem;
};

} // namespace zarvoni::records
