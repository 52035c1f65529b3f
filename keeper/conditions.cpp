// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/conditions.h"

#include "keeper/process.h"
#include "records/recordfiles.h"

#include <QFile>
#include <QList>

#include <array>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace zarvoni::keeper {

namespace {

constexpr rlim_t kMiB = rlim_t{1} << 20;
// Beyond the memory already mapped at this point: two record files and their
// copies in UTF-16 and UTF-8, a pending pair, and the C library's own needs.
constexpr rlim_t kMemoryHeadroom = 64 * kMiB;

struct Need {
    int resource;
    const char *what;
    rlim_t least;
};

// The memory the process maps now, in bytes (0 when /proc cannot tell).
rlim_t mappedBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    return rlim_t(statm.readLine(64).split(' ').value(0).toULongLong()) *
           rlim_t(::sysconf(_SC_PAGESIZE));
}

QString shortLimit(const char *what, rlim_t limit, rlim_t least) {
    return QStringLiteral("Richiesta rifiutata: il limite di %1 di questo processo è %2, "
                          "ne servono almeno %3 per custodire il record senza rischi.")
        .arg(QString::fromUtf8(what))
        .arg(limit)
        .arg(least);
}

QString lowPriority(const QString &what) {
    return QStringLiteral("Richiesta rifiutata: %1; il programma che custodisce il record "
                          "lavora solo con la priorità normale, per non trattenere gli altri.")
        .arg(what);
}

// The nice value of the scheduling group (autogroup) the process is in, 0 where
// the system has none: "/autogroup-N nice V".
int autogroupNice() {
    QFile autogroup(QStringLiteral("/proc/self/autogroup"));
    if (!autogroup.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> words = autogroup.readLine(64).simplified().split(' ');
    return words.size() == 3 && words[1] == "nice" ? words[2].toInt() : 0;
}

// The processor time the process has used, in whole seconds rounded up: a
// process keeps what it used before it started the keeper's program, and its
// limit counts it.
rlim_t usedCpuSeconds() {
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return rlim_t(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + 1;
}

// The I/O priority, which the C library has no call for: class "none" lets the
// scheduling priority decide it, as for any process nobody set one for.
constexpr int kIoPriorityWhoProcess = 1;
constexpr long kIoPriorityNone = 0;

} // namespace

QString unsafeConditions() {
    const rlim_t mapped = mappedBytes();
    const std::array<Need, 7> needs = {{
        // One pending signal for the lifetime timer, and a few to spare.
        {RLIMIT_SIGPENDING, "segnali in attesa", 8},
        {RLIMIT_NOFILE, "file aperti", 16},
        // The largest file it writes: the pending pair, two record files.
        {RLIMIT_FSIZE, "dimensione dei file (byte)", rlim_t(2 * records::kMaxRecordFileBytes)},
        // A CPU limit shorter than its life could stop it half-way, and what its
        // caller used before starting it counts too.
        {RLIMIT_CPU, "tempo di processore (secondi)", usedCpuSeconds() + rlim_t(kLifetime.count())},
        {RLIMIT_AS, "memoria (byte)", mapped + kMemoryHeadroom},
        {RLIMIT_DATA, "memoria dei dati (byte)", kMemoryHeadroom},
        {RLIMIT_STACK, "pila (byte)", kMiB},
    }};
    for (const Need &need : needs) {
        rlimit limit{};
        if (::getrlimit(need.resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
            limit.rlim_cur < need.least)
            return shortLimit(need.what, limit.rlim_cur, need.least);
    }

    // A caller may lower a priority, but only privilege raises it again.
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, 0);
    if (errno == 0 && nice > 0 && ::setpriority(PRIO_PROCESS, 0, 0) != 0)
        return lowPriority(QStringLiteral("la sua priorità è stata abbassata (nice %1)").arg(nice));
    // The caller's group is left behind with its session; any user may lower a
    // group's priority, but not that of a group they are not in.
    if (const int groupNice = autogroupNice(); groupNice > 0)
        return lowPriority(
            QStringLiteral("il suo gruppo di scheduling ha la priorità abbassata (nice %1)")
                .arg(groupNice));
    const int policy = ::sched_getscheduler(0) & ~SCHED_RESET_ON_FORK;
    if (policy == SCHED_BATCH || policy == SCHED_IDLE) {
        const sched_param normal{};
        if (::sched_setscheduler(0, SCHED_OTHER, &normal) != 0)
            return lowPriority(QStringLiteral("gira con la politica di scheduling %1")
                                   .arg(policy == SCHED_IDLE ? u"idle" : u"batch"));
    }
    (void)::syscall(SYS_ioprio_set, kIoPriorityWhoProcess, 0, kIoPriorityNone);
    // Every processor its cgroup allows, not only one a caller crowded with work.
    cpu_set_t every;
    CPU_ZERO(&every);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        CPU_SET(cpu, &every);
    (void)::sched_setaffinity(0, sizeof every, &every);
    return {};
}

QString noLifetime() {
    return QStringLiteral("Richiesta rifiutata: il sistema non concede il timer che limita la "
                          "durata del programma che custodisce il record (%1).")
        .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

QString noSessionOfItsOwn() {
    return QStringLiteral("Richiesta rifiutata: il programma che custodisce il record non riesce "
                          "a staccarsi dal terminale di chi lo ha avviato (%1).")
        .arg(QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace zarvoni::keeper
