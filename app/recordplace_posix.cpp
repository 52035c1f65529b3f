// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordplace.h"

#include "keeper/client.h"
#include "records/machinerecords.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"
#include "records/systemsettings.h"

namespace zarvoni {

// The directory fixed at build time. The installed game reads and stores the
// record through the record keeper, which alone may write that directory and
// reads the technician's setting itself; without one, the game does both in its
// own process.
struct RecordPlace::Parts {
    QString directory = QStringLiteral(ZARVONI_RECORD_DIR);
    QString keeper = QStringLiteral(ZARVONI_KEEPER);
    std::shared_ptr<records::PosixFileSystem> fileSystem =
        std::make_shared<records::PosixFileSystem>();
    std::unique_ptr<records::InProcessRecords> local;
    std::unique_ptr<records::RecordStore> records;
};

RecordPlace::RecordPlace() : m_parts(std::make_unique<Parts>()) {
    if (keeper::isInstalled(m_parts->keeper)) {
        m_parts->records =
            std::make_unique<keeper::KeeperRecords>(m_parts->keeper, m_parts->directory);
        return;
    }
    m_parts->local =
        std::make_unique<records::InProcessRecords>(m_parts->directory, *m_parts->fileSystem);
    const records::SystemSettings settings =
        records::readSystemSettings(QStringLiteral(ZARVONI_CONFIG_FILE));
    m_parts->records = std::make_unique<records::MachineRecords>(
        *m_parts->local, m_parts->directory, settings.settings, settings.refusal,
        m_parts->fileSystem);
}

RecordPlace::~RecordPlace() = default;

const QString &RecordPlace::directory() const {
    return m_parts->directory;
}

records::RecordStore &RecordPlace::records() {
    return *m_parts->records;
}

} // namespace zarvoni
