// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record keeper is installed set-user-id and set-group-id to a user and a
// group of its own, and runs on behalf of whoever starts it, so it takes nothing
// from its caller but the request: this is called first thing, before any file
// is opened.

#include "keeper/caller.h"

#include <sys/types.h>

#include <chrono>
#include <span>

namespace zarvoni::keeper {

// How long a keeper may hold the record's lock; a store waits longer than this
// for it, so a keeper that is merely slow never makes another store give up.
constexpr std::chrono::seconds kLockedLifetime{5};
// How long a store waits for its name on standard input.
constexpr std::chrono::seconds kNameWait{2};
// The longest a keeper may run at all: the wait for its name, the wait for the
// lock, and its time under the lock.
constexpr std::chrono::seconds kLifetime{17};
// How long a keeper waits for its caller to take its answer.
constexpr std::chrono::seconds kAnswerWait{2};
// The name ps, top and /proc show for the keeper.
constexpr char kProgramName[] = "zarvoni-keeper";

// Makes the process the keeper's own (argv: main's, for a fresh start):
// - descriptors 0, 1 and 2 open (on /dev/null where the caller closed them), so
//   that no record file is ever opened as the caller's standard output; every
//   other descriptor closed;
// - an empty environment: a keeper started with any variable at all starts
//   itself again without one, while the C library still runs it in its secure
//   mode, since the libraries it links read some of them before main runs;
// - its real, effective and saved user and group ids all the keeper's own (those
//   its set-user-id and set-group-id bits gave it), and no supplementary group
//   where the system lets it drop them: the caller can no longer signal, stop,
//   trace, renice or limit it, and no process it starts counts against the
//   caller's own limits;
// - a umask of its own, the root directory as working directory, no core file;
// - its own name, kProgramName, and not that of the file it starts again from;
// - every signal at its default and none blocked, but for those that would stop
//   or end it from a terminal or turn a full file or a closed pipe into a kill
//   rather than an error;
// - soft resource limits raised to what the caller's hard limits allow.
// Returns the caller's real ids and groups, as they were before the switch. Exits
// with failureStatus when the descriptors cannot be made safe or the ids not
// switched.
Caller secureProcess(char **argv, int failureStatus);

// Leaves the caller's session, process group and controlling terminal, and with
// them the caller's scheduling group (autogroup), whose priority any user may
// lower: no terminal can then signal the keeper, and it runs beside the caller's
// processes, not among them. A keeper that leads its process group cannot start a
// session, so it starts a copy of itself that does, waits for it and ends as it
// ended; the copy takes the caller's place among the keepers at work, and gives
// it back when it ends (failureStatus when it cannot tell how). False when the
// system refuses both.
bool leaveCallerSession(int failureStatus);

// Writes bytes to standard output for kAnswerWait at most: a caller who does not
// read the answer holds up nobody but its own request.
void writeAnswer(std::span<const char> bytes);

// Arms a timer that kills the keeper once kLifetime has passed, stopped or not;
// false when the system refuses one, and then the keeper must not take any lock.
bool limitLifetime();

// Brings the end of the keeper's life forward to at most kLockedLifetime from
// now: called as soon as it holds the lock.
void shortenLifetime();

} // namespace zarvoni::keeper
