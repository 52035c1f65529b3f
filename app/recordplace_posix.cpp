// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordplace.h"

#include "keeper/client.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"

namespace zarvoni {

// The directory fixed at build time. The installed game reads and stores the
// record through the record keeper, which alone may write that directory;
// without one, the game does it in its own process.
struct RecordPlace::Parts {
    QString directory = QStringLiteral(ZARVONI_RECORD_DIR);
    QString keeper = QStringLiteral(ZARVONI_KEEPER);
    records::PosixFileSystem fileSystem;
    std::unique_ptr<records::RecordStore> records;
};

RecordPlace::RecordPlace() : m_parts(std::make_unique<Parts>()) {
    if (keeper::isInstalled(m_parts->keeper))
        m_parts->records =
            std::make_unique<keeper::KeeperRecords>(m_parts->keeper, m_parts->directory);
    else
        m_parts->records =
            std::make_unique<records::InProcessRecords>(m_parts->directory, m_parts->fileSystem);
}

RecordPlace::~RecordPlace() = default;

const QString &RecordPlace::directory() const {
    return m_parts->directory;
}

records::RecordStore &RecordPlace::records() {
    return *m_parts->records;
}

} // namespace zarvoni
