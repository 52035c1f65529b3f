// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordplace.h"

#include "records/computer.h"
#include "records/legacyrecords.h"
#include "records/machinerecords.h"
#include "records/machineresults.h"
#include "records/recordfiles.h"
#include "records/windowsfilesystem.h"
#include "records/windowsplace.h"

#include <QCoreApplication>
#include <QDir>

#include <windows.h>

namespace zarvoni {

namespace {

// Where earlier versions kept the record.
QString windowsDirectory() {
    char path[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return {};
    return QDir::fromNativeSeparators(QString::fromLocal8Bit(path, qsizetype(length)));
}

} // namespace

// No record keeper on Windows: the game does the file work in its own process.
struct RecordPlace::Parts {
    QString directory = records::sharedRecordDirectory();
    std::shared_ptr<records::WindowsFileSystem> fileSystem =
        std::make_shared<records::WindowsFileSystem>();
    records::InProcessRecords shared{directory, *fileSystem};
    records::LegacyRecords local{shared, windowsDirectory(), *fileSystem};
    records::Settings settings = records::windowsSettings(QCoreApplication::applicationDirPath());
    records::MachineRecords records{local, directory, settings, {}, fileSystem};
    records::MachineResults results{directory, settings, fileSystem, records::accountName()};
};

RecordPlace::RecordPlace() : m_parts(std::make_unique<Parts>()) {}

RecordPlace::~RecordPlace() = default;

const QString &RecordPlace::directory() const {
    return m_parts->directory;
}

records::RecordStore &RecordPlace::records() {
    return m_parts->records;
}

records::ResultsList &RecordPlace::results() {
    return m_parts->results;
}

} // namespace zarvoni
