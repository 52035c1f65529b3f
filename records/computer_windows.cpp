// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/computer.h"

#include <windows.h>

namespace zarvoni::records {

QString computerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    if (!GetComputerNameW(name, &length))
        return {};
    return QString::fromWCharArray(name, int(length));
}

QString accountName() {
    wchar_t name[257] = {};
    DWORD length = 257;
    if (!GetUserNameW(name, &length) || length == 0)
        return {};
    return QString::fromWCharArray(name, int(length - 1)); // without its null
}

QString machineIdentity() {
    wchar_t guid[64] = {};
    DWORD bytes = sizeof guid;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                     RRF_RT_REG_SZ, nullptr, guid, &bytes) != ERROR_SUCCESS)
        return {};
    return QString::fromWCharArray(guid);
}

} // namespace zarvoni::records
