// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordplace.h"

#include "records/legacyrecords.h"
#include "records/recordfiles.h"
#include "records/windowsfilesystem.h"

#include <QDir>

#include <shlobj.h>
#include <windows.h>

namespace zarvoni {

namespace {

// The machine's shared application-data folder, open to every user: a standard
// account cannot write the Windows directory, and a 64-bit program gets no
// virtualization, so a record kept there would never be stored.
QString sharedDirectory() {
    QString folder;
    wchar_t *path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    if (folder.isEmpty())
        folder = qEnvironmentVariable("ProgramData");
    return QDir::fromNativeSeparators(folder) + QStringLiteral("/Zarvoni");
}

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
    QString directory = sharedDirectory();
    records::WindowsFileSystem fileSystem;
    records::InProcessRecords shared{directory, fileSystem};
    records::LegacyRecords records{shared, windowsDirectory(), fileSystem};
};

RecordPlace::RecordPlace() : m_parts(std::make_unique<Parts>()) {}

RecordPlace::~RecordPlace() = default;

const QString &RecordPlace::directory() const {
    return m_parts->directory;
}

records::RecordStore &RecordPlace::records() {
    return m_parts->records;
}

} // namespace zarvoni
