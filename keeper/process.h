// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record keeper runs with the games group's rights on behalf of whoever starts
// it, so it takes nothing from its caller but the request: this is called first
// thing, before any file is opened.

#include <chrono>

namespace zarvoni::keeper {

// The longest a keeper may run: a keeper that is stopped (a pupil may send it
// SIGSTOP) while it holds the lock is killed then, and the kernel drops the lock.
// Longer than a store's wait for the lock and its flushes.
constexpr std::chrono::seconds kLifetime{15};

// Makes the process the keeper's own (argv: main's, for a fresh start):
// - descriptors 0, 1 and 2 open (on /dev/null where the caller closed them), so
//   that no record file is ever opened as the caller's standard output; every
//   other descriptor closed;
// - an empty environment: a keeper started with any variable at all starts
//   itself again without one, since the libraries it links read some of them
//   before main runs; a umask of its own, the root directory as working directory;
// - every signal at its default and none blocked, but for those that would stop
//   it from a terminal or turn a full file or a closed pipe into a kill rather
//   than an error;
// - resource limits raised to what the caller's hard limits allow, no core file;
// - a timer that kills it once kLifetime has passed, stopped or not.
// Exits with the keeper's failure status when the descriptors cannot be made safe.
void secureProcess(char **argv, int failureStatus);

} // namespace zarvoni::keeper
