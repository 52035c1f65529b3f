// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/windowsplace.h"

#include <QDir>
#include <QFile>

#include <shlobj.h>
#include <windows.h>

namespace zarvoni::records {

namespace {

// The setting a domain's administrator pushes to a room, which no user may change...
constexpr const wchar_t *kPolicyKey = L"SOFTWARE\\Policies\\Zarvoni";
// ...and the one the installer writes when told /RECORDFOLDER= or /RESULTS=.
constexpr const wchar_t *kInstalledKey = L"SOFTWARE\\Zarvoni";
// The values of either, each a key of the setting file.
struct SettingValue {
    const wchar_t *value;
    const QString &key;
};
const SettingValue kSettingValues[] = {{L"RecordFolder", kRecordFolderKey},
                                       {L"Results", kResultsKey},
                                       {L"ResultsAccount", kResultsAccountKey}};
const QString kSettingsFile = QStringLiteral("zarvoni.conf");
constexpr qint64 kMaxSettingsBytes = qint64{64} * 1024;

// A text value of the machine's registry, empty when there is none.
QString machineValue(const wchar_t *key, const wchar_t *name) {
    wchar_t value[1024] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);
    // A REG_EXPAND_SZ value comes expanded; asking for that type by name, without
    // RRF_NOEXPAND, is refused.
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS)
        return {};
    return QString::fromWCharArray(value).trimmed();
}

// A folder Windows keeps for the machine or the user, empty when it names none.
QString knownFolder(REFKNOWNFOLDERID id) {
    QString folder;
    wchar_t *path = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = QString::fromWCharArray(path);
    CoTaskMemFree(path);
    return folder;
}

} // namespace

QString documentsFolder() {
    return knownFolder(FOLDERID_Documents);
}

QString sharedRecordDirectory() {
    QString folder = knownFolder(FOLDERID_ProgramData);
    if (folder.isEmpty())
        folder = qEnvironmentVariable("ProgramData");
    return QDir::fromNativeSeparators(folder) + QStringLiteral("/Zarvoni");
}

Settings windowsSettings(const QString &programDirectory) {
    for (const wchar_t *key : {kPolicyKey, kInstalledKey}) {
        QByteArray lines;
        for (const SettingValue &setting : kSettingValues) {
            if (const QString text = machineValue(key, setting.value); !text.isEmpty())
                lines += (setting.key + QStringLiteral(" = ") + text + u'\n').toUtf8();
        }
        if (!lines.isEmpty())
            return parseSettings(lines);
    }
    QFile beside(programDirectory + u'/' + kSettingsFile);
    if (beside.open(QIODevice::ReadOnly))
        return parseSettings(beside.read(kMaxSettingsBytes));
    return {};
}

} // namespace zarvoni::records
