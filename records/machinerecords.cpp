// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/machinerecords.h"

#include "records/computer.h"
#include "records/recordfiles.h"

#include <utility>

namespace zarvoni::records {

namespace {

const QString kNotUnderstood =
    QStringLiteral("Nelle impostazioni del gioco ci sono righe che non capisco, e che non "
                   "uso:\n%1");

} // namespace

MachineRecords::MachineRecords(RecordStore &local, const QString &directory,
                               const Settings &settings, QString settingsNotice,
                               std::shared_ptr<FileSystem> fileSystem)
    : m_local(local), m_notice(std::move(settingsNotice)) {
    if (!settings.problems.isEmpty()) {
        if (!m_notice.isEmpty())
            m_notice += QStringLiteral("\n\n");
        m_notice += kNotUnderstood.arg(settings.problems.join(u'\n'));
    }
    if (!settings.recordFolder.isEmpty())
        m_lab.emplace(
            LabPlace{settings.recordFolder, computerName(), withTrailingSeparator(directory)},
            std::move(fileSystem), local);
}

ReadResult MachineRecords::read() {
    ReadResult record = m_lab ? m_lab->read() : m_local.read();
    if (!m_notice.isEmpty())
        record.message = record.message.isEmpty()
                             ? m_notice
                             : m_notice + QStringLiteral("\n\n") + record.message;
    return record;
}

StoreResult MachineRecords::store(const QString &score, const QString &name) {
    return m_lab ? m_lab->store(score, name) : m_local.store(score, name);
}

} // namespace zarvoni::records
