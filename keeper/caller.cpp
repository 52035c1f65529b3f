// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/caller.h"

#include <QFile>

#include <algorithm>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace zarvoni::keeper {

namespace {

const QString kOnlyRoot = QStringLiteral(
    "Solo root può leggere o cancellare i risultati della classe: nelle impostazioni (%1) non "
    "c'è un gruppo di insegnanti (la riga teachers-group = GRUPPO).");
const QString kOnlyTeachers =
    QStringLiteral("Solo root e chi fa parte del gruppo «%1» possono leggere o cancellare i "
                   "risultati della classe.");
// No account or group name comes near this size.
constexpr std::size_t kNameBuffer = std::size_t{16} * 1024;

} // namespace

Caller callerOfThisProcess() {
    Caller caller{::getuid(), ::getgid(), {}};
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        caller.groups.resize(std::size_t(count));
        const int got = ::getgroups(count, caller.groups.data());
        caller.groups.resize(std::size_t(std::max(got, 0)));
    }
    return caller;
}

bool isTeacher(const Caller &caller, const QString &teachersGroup) {
    if (caller.user == 0 || caller.user == ::geteuid())
        return true;
    if (teachersGroup.isEmpty())
        return false;
    group entry{};
    group *found = nullptr;
    std::vector<char> buffer(kNameBuffer);
    if (::getgrnam_r(QFile::encodeName(teachersGroup).constData(), &entry, buffer.data(),
                     buffer.size(), &found) != 0 ||
        !found)
        return false;
    return caller.group == found->gr_gid ||
           std::ranges::find(caller.groups, found->gr_gid) != caller.groups.end();
}

QString notATeacher(const QString &teachersGroup, const QString &settingsFile) {
    return teachersGroup.isEmpty() ? kOnlyRoot.arg(settingsFile) : kOnlyTeachers.arg(teachersGroup);
}

QString accountOf(const Caller &caller) {
    passwd entry{};
    passwd *found = nullptr;
    std::vector<char> buffer(kNameBuffer);
    if (::getpwuid_r(caller.user, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return QString::number(caller.user);
    return QFile::decodeName(found->pw_name);
}

} // namespace zarvoni::keeper
