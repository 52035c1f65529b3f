// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/recordplace.h"

#include "records/legacyrecords.h"
#include "records/machinerecords.h"
#include "records/recordfiles.h"
#include "records/settings.h"
#include "records/windowsfilesystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <shlobj.h>
#include <windows.h>

namespace zarvoni {

namespace {

// The setting a domain's administrator pushes to a room, which no user may change...
constexpr const wchar_t *kPolicyKey = L"SOFTWARE\\Policies\\Zarvoni";
// ...and the one the installer writes when told /RECORDFOLDER=.
constexpr const wchar_t *kInstalledKey = L"SOFTWARE\\Zarvoni";
constexpr const wchar_t *kRecordFolderValue = L"RecordFolder";
// Beside a zarvoni.exe that runs without installation, from a stick or a share.
const QString kSettingsFile = QStringLiteral("zarvoni.conf");
constexpr qint64 kMaxSettingsBytes = qint64{64} * 1024;

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

// A text value of the machine's registry, empty when there is none.
QString machineValue(const wchar_t *key, const wchar_t *name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    // A REG_EXPAND_SZ value comes expanded.
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS)
        return {};
    return QString::fromWCharArray(value).trimmed();
}

// The technician's setting: the policy first, then the installer's value, then a
// file beside the program.
records::Settings technicianSettings() {
    records::Settings settings;
    for (const wchar_t *key : {kPolicyKey, kInstalledKey}) {
        settings.recordFolder = machineValue(key, kRecordFolderValue);
        if (!settings.recordFolder.isEmpty())
            return settings;
    }
    QFile beside(QCoreApplication::applicationDirPath() + u'/' + kSettingsFile);
    if (beside.open(QIODevice::ReadOnly))
        settings = records::parseSettings(beside.read(kMaxSettingsBytes));
    return settings;
}

} // namespace

// No record keeper on Windows: the game does the file work in its own process.
struct RecordPlace::Parts {
    QString directory = sharedDirectory();
    std::shared_ptr<records::WindowsFileSystem> fileSystem =
        std::make_shared<records::WindowsFileSystem>();
    records::InProcessRecords shared{directory, *fileSystem};
    records::LegacyRecords local{shared, windowsDirectory(), *fileSystem};
    records::MachineRecords records{local, directory, technicianSettings(), {}, fileSystem};
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
