// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the caller chose for the keeper before it started and the keeper cannot
// undo without privilege: hard resource limits and a lowered priority. A keeper
// short of any refuses its request before it takes a lock, so that a pupil who
// starves their own keeper only loses their own request.

#include <QString>

namespace zarvoni::keeper {

// Why this process cannot do its work safely, in Italian, or empty when it can.
// Undoes first what it may: a batch scheduling policy, an idle I/O priority, a
// narrowed set of processors. Called once the keeper has a session, and so a
// scheduling group, of its own: a group that still shows a lowered priority is
// refused too.
QString unsafeConditions();

// The refusal of a keeper whose lifetime timer the system would not arm.
QString noLifetime();

// The refusal of a keeper that could not leave its caller's session.
QString noSessionOfItsOwn();

} // namespace zarvoni::keeper
