// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordplace.h"

#include "keeper/client.h"
#include "records/computer.h"
#include "records/machinerecords.h"
#include "records/machineresults.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"
#include "records/systemsettings.h"

namespace zarvoni {

// The directory fixed at build time. The installed game reads and stores the
// record, and appends its results, through the record keeper, which alone may
// write that directory and reads the technician's setting itself; without one,
// the game does all of it in its own process.
struct RecordPlace::Parts {
    QString directory = QStringLiteral(ZARVONI_RECORD_DIR);
    QString keeper = QStringLiteral(ZARVONI_KEEPER);
    std::shared_ptr<records::PosixFileSystem> fileSystem =
        std::make_shared<records::PosixFileSystem>();
    std::unique_ptr<records::InProcessRecords> local;
    std::unique_ptr<records::RecordStore> records;
    std::unique_ptr<records::MachineResults> inProcessResults;
    records::ResultsList *results = nullptr;
};

RecordPlace::RecordPlace() : m_parts(std::make_unique<Parts>()) {
    if (keeper::isInstalled(m_parts->keeper)) {
        auto keeper = std::make_unique<keeper::KeeperRecords>(m_parts->keeper, m_parts->directory);
        m_parts->results = keeper.get();
        m_parts->records = std::move(keeper);
        return;
    }
    m_parts->local =
        std::make_unique<records::InProcessRecords>(m_parts->directory, *m_parts->fileSystem);
    const records::SystemSettings settings =
        records::readSystemSettings(QStringLiteral(ZARVONI_CONFIG_FILE));
    m_parts->records = std::make_unique<records::MachineRecords>(
        *m_parts->local, m_parts->directory, settings.settings, settings.refusal,
        m_parts->fileSystem);
    m_parts->inProcessResults = std::make_unique<records::MachineResults>(
        m_parts->directory, settings.settings, m_parts->fileSystem, records::accountName());
    m_parts->results = m_parts->inProcessResults.get();
}

RecordPlace::~RecordPlace() = default;

const QString &RecordPlace::directory() const {
    return m_parts->directory;
}

records::RecordStore &RecordPlace::records() {
    return *m_parts->records;
}

records::ResultsList &RecordPlace::results() {
    return *m_parts->results;
}

} // namespace zarvoni
