// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zarvoni::keeper {

namespace {

// Record files are the keeper's alone; the code gives each file its mode anyway.
constexpr mode_t kUmask = 007;

// What a terminal sends its foreground processes with no check of the user: the
// keys that end them (^C, ^\) or stop them (^Z), its hang-up, and the stops of a
// background process that reads or writes it. The keeper ignores them from its
// first instruction and never lets them back: a pupil's terminal neither ends it
// mid-store nor leaves it stopped, out of the pupil's reach, once it is its own user.
constexpr std::array kTerminalSignals{SIGINT, SIGQUIT, SIGHUP, SIGTSTP, SIGTTIN, SIGTTOU};

// Ignored ones stay ignored across the keeper's fresh start; before the program's
// own code, only the dynamic loader runs.
void ignoreTerminalSignals() {
    for (const int signal : kTerminalSignals)
        (void)std::signal(signal, SIG_IGN);
}

// A caller's interval timers survive the start of a program: one of them would
// end the keeper at a moment the caller chose.
void stopIntervalTimers() {
    const itimerval off{};
    for (const int timer : {ITIMER_REAL, ITIMER_VIRTUAL, ITIMER_PROF})
        (void)::setitimer(timer, &off, nullptr);
}

// The first code of the keeper's own, before any other of its initialisers.
__attribute__((constructor(101))) void atLoad() {
    ignoreTerminalSignals();
    stopIntervalTimers();
}

// How often a blocked write of the answer is interrupted to look at the time.
constexpr suseconds_t kAnswerTickMicroseconds = 100'000;

// The timer of limitLifetime, once armed.
timer_t g_lifetime{};
bool g_lifetimeArmed = false;

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

// Every id the keeper's own. The pupil who started it keeps no id in it: the
// kernel lets a user signal, stop, trace, renice or limit only a process whose
// real or saved user id is that user's.
void becomeOwnUser(int failureStatus) {
    const gid_t group = ::getegid();
    const uid_t user = ::geteuid();
    // Only a privileged caller's keeper may drop the caller's supplementary groups;
    // they give no power over the keeper, which opens only its own files.
    (void)::setgroups(0, nullptr);
    uid_t ruid = 0, euid = 0, suid = 0;
    gid_t rgid = 0, egid = 0, sgid = 0;
    // The group first: the user id may be needed to change it.
    if (::setresgid(group, group, group) != 0 || ::setresuid(user, user, user) != 0 ||
        ::getresuid(&ruid, &euid, &suid) != 0 || ::getresgid(&rgid, &egid, &sgid) != 0 ||
        ruid != user || euid != user || suid != user || rgid != group || egid != group ||
        sgid != group)
        ::_exit(failureStatus);
}

void resetSignals() {
    for (int signal = 1; signal < NSIG; ++signal) {
        if (signal != SIGKILL && signal != SIGSTOP &&
            std::ranges::find(kTerminalSignals, signal) == kTerminalSignals.end())
            (void)std::signal(signal, SIG_DFL); // the C library's own signals refuse
    }
    sigset_t none;
    sigemptyset(&none);
    (void)::sigprocmask(SIG_SETMASK, &none, nullptr);
    // A write to a closed pipe or past the file size limit fails with an error the
    // keeper reports, instead of killing it.
    for (const int signal : {SIGPIPE, SIGXFSZ})
        (void)std::signal(signal, SIG_IGN);
}

// Started again with its own name first, whatever name the caller gave it.
void startAgain(char **argv) {
    std::vector<char *> arguments;
    for (char **argument = argv; argument != nullptr && *argument != nullptr; ++argument)
        arguments.push_back(*argument);
    std::string name(kProgramName);
    if (!arguments.empty())
        arguments.front() = name.data();
    arguments.push_back(nullptr);
    // The program file itself, not a name a caller could have changed.
    ::execv("/proc/self/exe", arguments.data());
}

// Ends as child ended: with its exit status, or killed by the same signal.
[[noreturn]] void endAs(pid_t child, int failureStatus) {
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            ::_exit(failureStatus);
    }
    if (WIFEXITED(status))
        ::_exit(WEXITSTATUS(status));
    const int signal = WTERMSIG(status);
    (void)std::signal(signal, SIG_DFL);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    (void)::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    (void)::kill(::getpid(), signal);
    ::_exit(failureStatus);
}

void wakeUp(int /*signal*/) {}

} // namespace

Caller secureProcess(char **argv, int failureStatus) {
    ignoreTerminalSignals();
    stopIntervalTimers();
    (void)::prctl(PR_SET_NAME, kProgramName, 0, 0, 0);
    // First the limits: a caller's low limit on descriptors must not keep the
    // standard ones from being opened.
    for (const int resource : {RLIMIT_NOFILE, RLIMIT_FSIZE, RLIMIT_CPU, RLIMIT_AS, RLIMIT_DATA,
                               RLIMIT_STACK, RLIMIT_SIGPENDING})
        raiseToHardLimit(resource);
    const rlimit noCore{0, 0};
    (void)::setrlimit(RLIMIT_CORE, &noCore);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);

    openStandardDescriptors(failureStatus);
    (void)::close_range(3, ~0U, 0);
    // Started again before the ids are switched: the new keeper still runs in the
    // C library's secure mode, which a keeper whose real ids are its own would not.
    if (environ != nullptr && *environ != nullptr) {
        ::clearenv();
        startAgain(argv);
        // No /proc: go on with the environment cleared from here on.
    }
    Caller caller = callerOfThisProcess();
    becomeOwnUser(failureStatus);
    (void)::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
    ::umask(kUmask);
    if (::chdir("/") != 0)
        ::_exit(failureStatus);
    resetSignals();
    return caller;
}

bool leaveCallerSession(int failureStatus) {
    if (::getpgrp() == ::getpid()) {
        const pid_t child = ::fork();
        if (child < 0)
            return false;
        if (child > 0)
            endAs(child, failureStatus);
    }
    return ::setsid() >= 0;
}

void writeAnswer(std::span<const char> bytes) {
    // Without SA_RESTART: each tick makes a write blocked on a full pipe return,
    // and a tick that comes just before a write begins is followed by the next.
    struct sigaction wake {};
    wake.sa_handler = wakeUp;
    sigemptyset(&wake.sa_mask);
    (void)::sigaction(SIGALRM, &wake, nullptr);
    const itimerval ticks{{0, kAnswerTickMicroseconds}, {0, kAnswerTickMicroseconds}};
    (void)::setitimer(ITIMER_REAL, &ticks, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + kAnswerWait;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += std::size_t(n);
        else if (n == 0 || errno != EINTR || std::chrono::steady_clock::now() >= deadline)
            break;
    }
    const itimerval off{};
    (void)::setitimer(ITIMER_REAL, &off, nullptr);
}

// SIGKILL wakes and ends a stopped or frozen process too, and no caller can
// catch, block or cancel it: the kernel releases the lock of a keeper held up.
bool limitLifetime() {
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGKILL;
    if (::timer_create(CLOCK_MONOTONIC, &event, &g_lifetime) != 0)
        return false;
    itimerspec when{};
    when.it_value.tv_sec = kLifetime.count();
    g_lifetimeArmed = ::timer_settime(g_lifetime, 0, &when, nullptr) == 0;
    return g_lifetimeArmed;
}

void shortenLifetime() {
    itimerspec left{};
    if (!g_lifetimeArmed || ::timer_gettime(g_lifetime, &left) != 0 ||
        left.it_value.tv_sec < kLockedLifetime.count())
        return;
    itimerspec when{};
    when.it_value.tv_sec = kLockedLifetime.count();
    (void)::timer_settime(g_lifetime, 0, &when, nullptr);
}

} // namespace zarvoni::keeper
