// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/process.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvoni::keeper {

namespace {

// Record files are the group's alone; the code gives each file its mode anyway.
constexpr mode_t kUmask = 007;

void raiseToHardLimit(int resource) {
    rlimit limit{};
    if (::getrlimit(resource, &limit) == 0 && limit.rlim_cur != limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        (void)::setrlimit(resource, &limit);
    }
}

void openStandardDescriptors(int failureStatus) {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // The lowest free descriptor is fd itself.
        if (::open("/dev/null", O_RDWR) != fd)
            ::_exit(failureStatus);
    }
}

void resetSignals() {
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP)
            (void)std::signal(signal, SIG_DFL); // the C library's own signals refuse
    }
    sigset_t none;
    sigemptyset(&none);
    (void)::sigprocmask(SIG_SETMASK, &none, nullptr);
    // A write to a closed pipe or past the file size limit fails with an error the
    // keeper reports, instead of killing it; a terminal's stop keys do not leave
    // it stopped while it holds the lock.
    for (const int signal : {SIGPIPE, SIGXFSZ, SIGTSTP, SIGTTIN, SIGTTOU})
        (void)std::signal(signal, SIG_IGN);
}

// SIGKILL wakes and ends a stopped process too, and no caller can catch, block
// or cancel it: the kernel releases the lock of a keeper that was held up.
void limitLifetime() {
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGKILL;
    timer_t timer{};
    if (::timer_create(CLOCK_MONOTONIC, &event, &timer) != 0)
        return;
    itimerspec when{};
    when.it_value.tv_sec = kLifetime.count();
    (void)::timer_settime(timer, 0, &when, nullptr);
}

} // namespace

void secureProcess(char **argv, int failureStatus) {
    // First the limits: a caller's low limit on descriptors must not keep the
    // standard ones from being opened.
    for (const int resource : {RLIMIT_NOFILE, RLIMIT_FSIZE, RLIMIT_CPU, RLIMIT_AS, RLIMIT_DATA})
        raiseToHardLimit(resource);
    const rlimit noCore{0, 0};
    (void)::setrlimit(RLIMIT_CORE, &noCore);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    openStandardDescriptors(failureStatus);
    (void)::close_range(3, ~0U, 0);
    if (environ != nullptr && *environ != nullptr) {
        ::clearenv();
        // The program file itself, not a name a caller could have changed.
        ::execv("/proc/self/exe", argv);
        // No /proc: go on with the environment cleared from here on.
    }
    ::umask(kUmask);
    if (::chdir("/") != 0)
        ::_exit(failureStatus);
    resetSignals();
    limitLifetime();
}

} // namespace zarvoni::keeper
