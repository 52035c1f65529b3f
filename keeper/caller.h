// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Who started the keeper, as the kernel tells it before the keeper switches to
// its own user: the real user and group ids and the supplementary groups, never
// anything the caller says. It decides who may read the class's results.

#include <QString>

#include <sys/types.h>

#include <vector>

namespace zarvoni::keeper {

struct Caller {
    uid_t user = 0;
    gid_t group = 0;
    std::vector<gid_t> groups;
};

// The caller of this process, as it is now: called before any id changes.
Caller callerOfThisProcess();

// Whether caller may read and empty the class's results: root, the keeper's own
// user (a keeper that is not set-user-id runs as its caller, who may read the
// files anyway), and the members of teachersGroup, by their real or
// supplementary group.
bool isTeacher(const Caller &caller, const QString &teachersGroup);

// Why caller may not, in Italian; settingsFile is the technician's setting.
QString notATeacher(const QString &teachersGroup, const QString &settingsFile);

// The caller's account name, or its number when it has none.
QString accountOf(const Caller &caller);

} // namespace zarvoni::keeper
