// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record a machine shows and stores: its own, or the class's when the
// technician named a lab folder; and what is wrong with the setting, said with
// every read, so that it gets mended.

#include "records/filesystem.h"
#include "records/labrecords.h"
#include "records/recordstore.h"
#include "records/settings.h"

#include <QString>

#include <memory>
#include <optional>

namespace zarvoni::records {

class MachineRecords final : public RecordStore {
public:
    // local: the machine's own record, kept in directory. settingsNotice: why the
    // setting was not used, or empty.
    MachineRecords(RecordStore &local, const QString &directory, const Settings &settings,
                   QString settingsNotice, std::shared_ptr<FileSystem> fileSystem);

    ReadResult read() override;
    StoreResult store(const QString &score, const QString &name) override;

private:
    RecordStore &m_local;
    std::optional<LabRecords> m_lab;
    QString m_notice;
};

} // namespace zarvoni::records
