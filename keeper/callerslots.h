// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A few keepers at once for each user who starts them, and no more: once switched
// to its own user, a keeper no longer counts against its caller's process limit,
// so without this one pupil's flood of keepers could crowd out everybody else's.

#include <QString>

#include <sys/types.h>

namespace zarvoni::keeper {

constexpr int kKeepersPerCaller = 4;

// One of the caller's places, held until the keeper ends: a byte of a file in
// the record directory locked for this open description (the kernel releases it
// when the keeper dies), at the caller's user id times kKeepersPerCaller plus
// the place's number. The file, like every file there, is the keeper's alone.
class CallerSlot {
public:
    CallerSlot(const QString &directory, uid_t caller);
    ~CallerSlot();
    CallerSlot(const CallerSlot &) = delete;
    CallerSlot &operator=(const CallerSlot &) = delete;

    // False when all of the caller's places are taken. A keeper that cannot open
    // the file (no record directory yet) counts as having one: it has nothing to
    // crowd out.
    bool taken() const { return m_taken; }

private:
    int m_fd = -1;
    bool m_taken = false;
};

// The refusal of a keeper that found none of its caller's places free.
QString tooManyKeepers();

} // namespace zarvoni::keeper
