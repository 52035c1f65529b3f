# SPDX-License-Identifier: GPL-3.0-or-later
"""What a hostile caller can do to the record keeper, each tried once: every case
must end with a clear answer (or a status that says it), the record whole, and no
file outside the record directory touched.

Usage: keeper_attacks.py --keeper PATH --record-dir DIR [--pupil UID] [--slow]

The record directory is the one the keeper was built for; the cases replace what
is in it. With --pupil, every keeper runs as that user id and group, in no other
group, as a pupil of a school lab would run it (run this as root); --slow adds
the cases that wait for the keeper's own time limit."""

import argparse
import ctypes
import fcntl
import grp
import os
import resource
import shutil
import select
import signal
import subprocess
import sys
import tempfile
import termios
import threading
import time

SCORE_FILE, NAME_FILE, LOCK_FILE = "eq.txt", "neq.txt", ".zarvoni.lock"
CALLERS_FILE = ".zarvoni.callers"  # the byte locks that count each caller's keepers
KEPT_LOCK = ".zarvoni.kept-lock"  # taken while a better score is kept for later
BOOKKEEPING = {LOCK_FILE, CALLERS_FILE, KEPT_LOCK}
REFUSED, FAILED = 64, 3
LIFETIME = 17  # seconds a keeper may run before its own timer kills it
MAX_NAME_BYTES = 4 * (64 * 1024 - 2)
# Set by tools/check-sanitizers for a build with AddressSanitizer.
SANITIZED = "ASAN_OPTIONS" in os.environ


class Keeper:
    def __init__(self, program, record_dir, pupil):
        self.program = os.path.abspath(program)
        self.record_dir = record_dir
        self.pupil = pupil
        self.failures = []
        self.case = ""

    # The directory and its files, as a teacher (or root) sees them.
    def path(self, name):
        return os.path.join(self.record_dir, name)

    def reset(self, score=b"5\r\n", name=b"Bruno\r\n"):
        for entry in os.listdir(self.record_dir):
            full = self.path(entry)
            if os.path.isdir(full) and not os.path.islink(full):
                shutil.rmtree(full)
            else:
                os.unlink(full)
        for file_name, data in ((SCORE_FILE, score), (NAME_FILE, name)):
            with open(self.path(file_name), "wb") as handle:
                handle.write(data)
            os.chmod(self.path(file_name), 0o660)

    def pair(self):
        result = []
        for file_name in (SCORE_FILE, NAME_FILE):
            try:
                with open(self.path(file_name), "rb") as handle:
                    result.append(handle.read())
            except OSError as error:
                result.append(f"<{error.strerror}>".encode())
        return tuple(result)

    def entries(self):
        return sorted(os.listdir(self.record_dir))

    # Running it as the caller would.
    def popen(self, arguments, preexec=None, env=None, cwd="/", user=None, **streams):
        options = {}
        user = self.pupil if user is None else user
        groups = streams.pop("groups", [])
        if user is not None:
            options = {"user": user, "group": user, "extra_groups": groups}
        streams.setdefault("stdin", subprocess.DEVNULL)
        streams.setdefault("stdout", subprocess.PIPE)
        streams.setdefault("stderr", subprocess.PIPE)
        return subprocess.Popen([self.program] + arguments, preexec_fn=preexec, env=env or {},
                                cwd=cwd, **options, **streams)

    def run(self, arguments, data=b"", timeout=LIFETIME + 10, **options):
        process = self.popen(arguments, stdin=subprocess.PIPE, **options)
        out, err = process.communicate(data, timeout=timeout)
        return process.returncode, out or b"", err or b""

    def store(self, score, name, **options):
        return self.run(["store", str(score), str(len(name))], name, **options)

    # Checks.
    def check(self, holds, what, seen=""):
        if not holds:
            self.failures.append(f"{self.case}: {what}" + (f" (saw {seen!r})" if seen else ""))

    def check_answer(self, result, status, outcome):
        code, out, _ = result
        self.check(code == status, f"exit status {status}", code)
        self.check(out.split(b"\n", 1)[0] == outcome, f"the answer {outcome!r}", out[:200])

    def check_pair(self, score, name):
        self.check(self.pair() == (score, name), f"the pair {score!r}, {name!r}", self.pair())


def read_pair(answer):
    """The score and the name of a read's answer, each without its line end."""
    fields, at = [], answer.index(b"\n") + 1
    while at < len(answer):
        header_end = answer.index(b"\n", at)
        length = int(answer[at:header_end].split(b" ")[1])
        fields.append(answer[header_end + 1:header_end + 1 + length])
        at = header_end + 2 + length
    return (fields[0].rstrip(b"\r\n"), fields[1].rstrip(b"\r\n")) if len(fields) >= 2 else None


def wait_until_reading(pid):
    """The keeper, or the child it starts when it leads its process group, once it
    waits for its standard input (in read(2) on it, poll(2) or ppoll(2)); or None."""
    deadline = time.monotonic() + 5
    while time.monotonic() < deadline:
        try:
            with open(f"/proc/{pid}/task/{pid}/children") as handle:
                for each in [pid] + [int(child) for child in handle.read().split()]:
                    with open(f"/proc/{each}/syscall") as call_file:
                        call = call_file.read().split(" ")[:2]
                    if call == ["0", "0x0"] or call[0] in ("7", "271"):
                        return each
        except OSError:
            pass
        time.sleep(0.01)
    return None


def refused_requests(k):
    """Anything but the two requests, and sizes over what a record holds."""
    for arguments in ([], ["read", "x"], ["READ"], ["read\n"], ["--help"], ["-r"], ["store"],
                      ["store", "7"], ["store", "7", "0", "x"], ["store", "-1", "0"],
                      ["store", "+7", "0"], ["store", "07", "0"], ["store", "32768", "0"],
                      ["store", " 7", "0"], ["store", "7", "-4"], ["store", "7", "0x4"],
                      ["store", "7", str(MAX_NAME_BYTES + 1)],
                      ["store", "7", "99999999999999999999"], ["result"],
                      ["result", "1", "0", "1", "0", "uscita"],
                      ["result", "1", "0", "2", "0", "uscita", "0"],
                      ["result", "1", "0", "1", "2", "uscita", "0"],
                      ["result", "1", "0", "1", "0", "fine", "0"],
                      ["result", "1", "0", "1", "0", "uscita", str(MAX_NAME_BYTES + 1)],
                      ["results", "x"], ["results", "2026-1-01", "2026-12-31"],
                      ["results", "2026-12-31", "2026-01-01"], ["clear-results", "x"]):
        k.case = f"arguments {arguments!r}"
        k.reset()
        k.check_answer(k.run(arguments), REFUSED, b"refused")
        k.check_pair(b"5\r\n", b"Bruno\r\n")
    k.case = "a 1 MiB name"
    k.reset()
    k.check_answer(k.store(9, b"a" * (1 << 20)), REFUSED, b"refused")
    k.check_answer(k.store(9, b"a" * (MAX_NAME_BYTES + 1)), REFUSED, b"refused")
    k.check_pair(b"5\r\n", b"Bruno\r\n")
    k.case = "a name longer than a record line"
    k.check_answer(k.store(9, b"a" * MAX_NAME_BYTES), FAILED, b"failed")
    k.check_pair(b"5\r\n", b"Bruno\r\n")
    for data in (b"abc", b"a" * 11):
        k.case = f"a name of {len(data)} bytes announced as 10"
        k.check_answer(k.run(["store", "9", "10"], data), REFUSED, b"refused")
        k.check_pair(b"5\r\n", b"Bruno\r\n")


def names(k):
    """Bytes a record line cannot hold become what the game makes of them."""
    k.case = "a name with NUL, CR and LF"
    k.reset()
    k.check_answer(k.store(6, "An\0na\r\nB è".encode()), 0, b"stored")
    k.check_pair(b"6\r\n", b"An?na? B \xe8\r\n")
    k.case = "a name that is not UTF-8"
    k.check_answer(k.store(7, b"\xff\xfeA"), 0, b"stored")
    k.check_pair(b"7\r\n", b"??A\r\n")
    k.case = "a read"
    code, out, _ = k.run(["read"])
    k.check(code == 0 and out == b"read\nscore 3\n7\r\n\nname 5\n??A\r\n\n", "the pair read", out)


def environments(k, scratch):
    """An empty environment and a hostile one change nothing."""
    elsewhere = os.path.join(scratch, "elsewhere")
    os.makedirs(elsewhere, exist_ok=True)
    os.chmod(elsewhere, 0o777)
    # A setting of the caller's own that would send the record to a folder of theirs.
    decoys = {"zarvoni.conf", "zarvoni", "lab"}
    os.makedirs(os.path.join(elsewhere, "zarvoni"), exist_ok=True)
    os.makedirs(os.path.join(elsewhere, "lab"), mode=0o777, exist_ok=True)
    for conf in ("zarvoni.conf", "zarvoni/zarvoni.conf"):
        with open(os.path.join(elsewhere, conf), "w") as handle:
            handle.write(f"record-folder = {elsewhere}/lab\n")
    hostile = {"QT_PLUGIN_PATH": elsewhere, "QT_DEBUG_PLUGINS": "1", "XDG_CONFIG_HOME": elsewhere,
               "ZARVONI_CONFIG_FILE": f"{elsewhere}/zarvoni.conf",
               "QT_LOGGING_RULES": "*.debug=true", "QT_FATAL_WARNINGS": "1",
               "QT_HASH_SEED": "1", "LANG": "it_IT.UTF-8", "LC_ALL": "tr_TR.UTF-8",
               "TMPDIR": elsewhere, "HOME": elsewhere, "PATH": elsewhere,
               "MALLOC_CHECK_": "3", "GCONV_PATH": elsewhere}
    preload = os.path.join(scratch, "preload.so")
    if k.pupil is not None and shutil.which("cc"):
        # A library that leaves a mark when it is loaded: the C library of a
        # set-group-id program must ignore it.
        source = os.path.join(scratch, "preload.c")
        with open(source, "w") as handle:
            handle.write('#include <fcntl.h>\n__attribute__((constructor)) static void mark(void)'
                         f' {{ open("{elsewhere}/loaded", O_CREAT | O_WRONLY, 0666); }}\n')
        subprocess.run(["cc", "-shared", "-fPIC", "-o", preload, source], check=True)
        os.chmod(preload, 0o755)
        hostile["LD_PRELOAD"] = preload
        hostile["LD_LIBRARY_PATH"] = elsewhere
    for label, env in (("an empty environment", {}), ("a hostile environment", hostile)):
        k.case = label
        k.reset()
        process = k.popen(["store", "6", "4"], env=env, cwd=elsewhere, stdin=subprocess.PIPE)
        k.check(wait_until_reading(process.pid), "the keeper waits for the name it was promised")
        # The libraries may read the caller's environment before main; the keeper
        # that does the work has none.
        with open(f"/proc/{process.pid}/environ", "rb") as handle:
            k.check(handle.read() == b"", "an empty environment while it works")
        with open(f"/proc/{process.pid}/comm") as handle:
            k.check(handle.read() == "zarvoni-keeper\n", "its own name")
        out, _ = process.communicate(b"Anna", timeout=LIFETIME + 10)
        k.check_answer((process.returncode, out, b""), 0, b"stored")
        k.check_pair(b"6\r\n", b"Anna\r\n")
        made = set(os.listdir(elsewhere)) - decoys | set(os.listdir(os.path.join(elsewhere, "lab")))
        k.check(not made, f"nothing made in {elsewhere}", made)


def descriptors(k):
    """Closed standard descriptors, a closed pipe for the answer, a caller's fds."""
    def close_standard():
        for fd in (0, 1, 2):
            os.close(fd)
    # No file the keeper opens may become the caller's standard output. A
    # set-group-id keeper gets a standard input that cannot be read from the C
    # library (and refuses a store, whose name it cannot read); one started
    # plainly opens /dev/null there itself.
    for request, stored_status in ((["read"], None), (["store", "8", "0"], 0)):
        k.case = f"descriptors 0-2 closed, {request[0]}"
        k.reset()
        process = k.popen(request, preexec=close_standard, stdout=None, stderr=None)
        code = process.wait(timeout=LIFETIME + 10)
        if stored_status is None:
            k.check(code == 0, "exit status 0", code)
        else:
            k.check(code in (stored_status, REFUSED), "stored or refused", code)
        if code == stored_status:
            k.check_pair(b"8\r\n", b"\r\n")
        else:
            k.check_pair(b"5\r\n", b"Bruno\r\n")
        k.check(set(k.entries()) <= BOOKKEEPING | {SCORE_FILE, NAME_FILE}, "no other file",
                k.entries())

    k.case = "standard output a closed pipe"
    k.reset()
    read_end, write_end = os.pipe()
    os.close(read_end)
    process = k.popen(["store", "9", "4"], stdin=subprocess.PIPE, stdout=write_end)
    os.close(write_end)
    process.communicate(b"Anna", timeout=LIFETIME + 10)
    k.check(process.returncode == 0, "stored though nobody reads the answer", process.returncode)
    k.check_pair(b"9\r\n", b"Anna\r\n")

    k.case = "standard output a full pipe nobody reads"
    read_end, write_end = os.pipe()
    os.write(write_end, b"x" * fcntl.fcntl(write_end, fcntl.F_GETPIPE_SZ))
    process = k.popen(["READ"], stdout=write_end)
    k.check(process.wait(timeout=5) == REFUSED, "refused at once")
    os.close(read_end)
    process.wait()
    os.close(write_end)


def limits(k):
    """Low resource limits and a lowered priority: what the keeper cannot undo, it
    refuses before it touches anything."""
    def limit(kind, soft, hard):
        return lambda: resource.setrlimit(kind, (soft, hard))
    def policy(kind):
        return lambda: os.sched_setscheduler(0, kind, os.sched_param(0))
    infinity = resource.RLIM_INFINITY
    # Root's keeper may raise a priority again; a pupil's may not.
    undone = (0, b"stored", True) if k.pupil is None and os.geteuid() == 0 else \
        (REFUSED, b"refused", False)
    for label, preexec, (status, outcome, stored) in (
            ("a file size limit of 1 byte", limit(resource.RLIMIT_FSIZE, 1, 1),
             (REFUSED, b"refused", False)),
            ("a soft file size limit", limit(resource.RLIMIT_FSIZE, 1, infinity),
             (0, b"stored", True)),
            # The dynamic loader itself needs a descriptor for the libraries.
            ("only the standard descriptors", limit(resource.RLIMIT_NOFILE, 3, 3),
             (127, b"", False)),
            ("four descriptors at most", limit(resource.RLIMIT_NOFILE, 4, 4),
             (REFUSED, b"refused", False)),
            ("a soft descriptor limit", limit(resource.RLIMIT_NOFILE, 4, 1024),
             (0, b"stored", True)),
            # No lifetime timer, which would leave a held-up keeper holding the lock.
            ("no pending signal", limit(resource.RLIMIT_SIGPENDING, 0, 0),
             (REFUSED, b"refused", False)),
            ("a second of processor time", limit(resource.RLIMIT_CPU, 1, 1),
             (REFUSED, b"refused", False)),
            ("80 MiB of address space", limit(resource.RLIMIT_AS, 80 << 20, 80 << 20),
             (REFUSED, b"refused", False)),
            ("nice 19", lambda: os.nice(19), undone),
            ("the idle policy", policy(os.SCHED_IDLE), undone),
            ("the batch policy", policy(os.SCHED_BATCH), (0, b"stored", True))):
        k.case = label
        k.reset()
        result = k.store(6, b"Anna", preexec=preexec)
        # A sanitizer's runtime, in a build made with one, may itself need more
        # descriptors or memory than a tight limit leaves, and stop the keeper first
        # (an exit or an abort, with no answer).
        if not (SANITIZED and not stored and result[0] != 0 and result[1] == b""):
            k.check_answer(result, status, outcome)
        k.check_pair(*((b"6\r\n", b"Anna\r\n") if stored else (b"5\r\n", b"Bruno\r\n")))
        k.check(stored or CALLERS_FILE not in k.entries(), "nothing touched", k.entries())

    k.case = "nice 19, at work in a session of its own"  # and so its own autogroup
    process = k.popen(["store", "7", "4"], preexec=lambda: os.nice(19), stdin=subprocess.PIPE,
                      start_new_session=True)
    worker = wait_until_reading(process.pid)  # none when refused
    if worker is not None:
        with open(f"/proc/{worker}/stat") as nice, open(f"/proc/{worker}/autogroup") as group:
            k.check(nice.read().split()[18] == "0" and group.read().endswith(" nice 0\n"), "nice 0")
    process.communicate(b"Anna", timeout=LIFETIME + 10)


def together(k):
    """Keepers at once, and keepers killed at any moment: always a whole pair."""
    k.case = "two keepers at once"
    k.reset(b"5\r\n", b"P5\r\n")
    stores = [k.popen(["store", str(score), str(len(f"P{score}"))], stdin=subprocess.PIPE)
              for score in (20, 21)]
    for score, process in zip((20, 21), stores):
        process.communicate(f"P{score}".encode(), timeout=LIFETIME + 10)
    k.check([p.returncode for p in stores] in ([0, 0], [2, 0]), "both answered",
            [p.returncode for p in stores])
    k.check_pair(b"21\r\n", b"P21\r\n")

    k.case = "keepers killed at any moment"
    for attempt in range(40):
        score = 30 + attempt
        process = k.popen(["store", str(score), str(len(f"P{score}"))], stdin=subprocess.PIPE)
        process.stdin.write(f"P{score}".encode())
        process.stdin.close()
        time.sleep((attempt % 10) / 2000)
        process.send_signal(signal.SIGKILL)
        process.wait()
        code, out, _ = k.run(["read"])
        pair = read_pair(out)
        k.check(code == 0 and pair is not None and b"P" + pair[0] == pair[1],
                "a whole pair after a kill", out)
    k.check_answer(k.store(99, b"P99"), 0, b"stored")
    k.check_pair(b"99\r\n", b"P99\r\n")
    leftovers = [e for e in k.entries() if e not in BOOKKEEPING | {SCORE_FILE, NAME_FILE}]
    k.check(leftovers == [], "nothing left behind by the killed keepers", leftovers)


def crowds(k):
    """A read, and a store that changes nothing, never wait for the lock; a few
    keepers per caller at once, the others refused at once; another pupil's keeper
    goes on."""
    k.case = "the lock held by a store"
    k.reset()
    with open(k.path(LOCK_FILE), "a") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        k.check_answer(k.run(["read"], timeout=5), 0, b"read")
        k.check_answer(k.run(["store", "5", "4"], b"Anna", timeout=5), 2, b"not-better")
        started = time.monotonic()
        k.check_answer(k.store(32767, b"a" * 65535, timeout=5), FAILED, b"failed")
        # At once: not after the 10-s wait for the lock (5 s leave room for a slow machine).
        k.check(time.monotonic() - started < 5, "a store that cannot be written fails at once")
    k.case = "a caller's keepers all waiting"
    k.reset()
    waiting = [k.popen(["store", "9", "4"], stdin=subprocess.PIPE) for _ in range(4)]
    for process in waiting:
        k.check(wait_until_reading(process.pid), "the keeper waits for its name")
    k.check_answer(k.run(["read"], timeout=5), REFUSED, b"refused")
    if k.pupil is not None:
        k.check_answer(k.run(["store", "7", "4"], b"Otto", timeout=5, user=k.pupil + 1), 0,
                       b"stored")
    for process in waiting:
        process.communicate(b"Anna", timeout=LIFETIME + 10)
    k.check(sorted(p.returncode for p in waiting) == [0, 2, 2, 2], "one stored",
            [p.returncode for p in waiting])
    k.check_pair(b"9\r\n", b"Anna\r\n")


def signals(k, slow):
    """Signals a caller blocks or ignores reach the keeper as always; a stopped
    keeper does not live past its time limit."""
    def block_and_ignore():
        signal.pthread_sigmask(signal.SIG_BLOCK, {signal.SIGTERM, signal.SIGINT})
        signal.signal(signal.SIGHUP, signal.SIG_IGN)
    # A hang-up never ends it: a pupil's terminal sends one at will.
    for label, preexec, sent in (("a caller's blocked SIGTERM", block_and_ignore, signal.SIGTERM),
                                 ("a caller's ignored SIGHUP", block_and_ignore, signal.SIGHUP)):
        k.case = label
        k.reset()
        process = k.popen(["store", "9", "4"], preexec=preexec, stdin=subprocess.PIPE)
        k.check(wait_until_reading(process.pid), "the keeper waits for the name it was promised")
        process.send_signal(sent)
        if sent == signal.SIGHUP:
            out = process.communicate(b"Anna", timeout=5)[0]
            k.check_answer((process.returncode, out, b""), 0, b"stored")
            continue
        try:
            k.check(process.wait(timeout=5) == -sent, f"killed by {sent.name}",
                    process.returncode)
        except subprocess.TimeoutExpired:
            k.check(False, f"killed by {sent.name}", "still running after 5 s")
            process.kill()
            process.wait()
        k.check_pair(b"5\r\n", b"Bruno\r\n")
    if k.pupil is not None:
        k.case = "signals from the pupil who started it"
        k.reset()
        process = k.popen(["store", "9", "4"], stdin=subprocess.PIPE)
        k.check(wait_until_reading(process.pid), "the keeper waits for the name it was promised")
        for sent in ("STOP", "TERM", "KILL"):
            killed = subprocess.run(["setpriv", f"--reuid={k.pupil}", f"--regid={k.pupil}",
                                     "--clear-groups", "kill", f"-{sent}", str(process.pid)],
                                    stderr=subprocess.DEVNULL, check=False)
            k.check(killed.returncode != 0, f"SIG{sent} refused to the pupil")
        out, _ = process.communicate(b"Anna", timeout=LIFETIME + 10)
        k.check_answer((process.returncode, out, b""), 0, b"stored")
    if not slow:
        return
    # Its own user, or root, may still stop it: its timer ends it all the same.
    k.case = "a stopped keeper"
    k.reset()
    process = k.popen(["store", "9", "4"], stdin=subprocess.PIPE)
    k.check(wait_until_reading(process.pid), "the keeper waits for the name it was promised")
    process.send_signal(signal.SIGSTOP)
    started = time.monotonic()
    try:
        k.check(process.wait(timeout=LIFETIME + 5) == -signal.SIGKILL,
                "killed by its own timer", process.returncode)
        k.check(time.monotonic() - started <= LIFETIME + 1, f"within {LIFETIME} s")
    except subprocess.TimeoutExpired:
        k.check(False, "killed by its own timer", f"still there after {LIFETIME + 5} s")
        process.kill()
        process.wait()
    k.check_answer(k.store(6, b"Anna"), 0, b"stored")


def terminal(k):
    """^C, ^\\ and a hang-up from the caller's own terminal, 0 to 10 ms into a
    store: the keeper, in a session of its own, finishes it."""
    k.reset()
    for attempt in range(40):
        k.case = f"the terminal's keys {attempt / 4} ms into a store"
        (master, slave), score = os.openpty(), str(40 + attempt)
        process = k.popen(["store", score, "2"], stdin=subprocess.PIPE, start_new_session=True,
                          pass_fds=(slave,), preexec=lambda: fcntl.ioctl(slave, termios.TIOCSCTTY))
        os.close(slave)
        with open(f"/proc/{wait_until_reading(process.pid)}/stat") as handle:
            k.check(handle.read().split()[5] != str(process.pid), "a session of its own")
        process.stdin.write(score.encode())
        process.stdin.close()
        time.sleep(attempt / 4000)
        os.write(master, b"\x03\x1c")
        os.close(master)
        k.check(process.wait(timeout=LIFETIME) == 0, "stored")
        process.stdout.close()
        k.check_pair(f"{score}\r\n".encode(), f"{score}\r\n".encode())


def frozen(pids):
    """Moves the processes into a cgroup of their own and freezes it, as a pupil may
    freeze a cgroup delegated to them; the cgroup's path, or None without cgroup v2."""
    with open("/proc/self/mounts") as mounts:
        roots = [line.split()[1] for line in mounts if line.split()[2] == "cgroup2"]
    if not roots:
        return None
    cgroup = os.path.join(roots[0], f"zarvoni-frozen-{os.getpid()}")
    os.mkdir(cgroup)
    for pid in pids:
        with open(os.path.join(cgroup, "cgroup.procs"), "w") as procs:
            procs.write(str(pid))
    with open(os.path.join(cgroup, "cgroup.freeze"), "w") as freeze:
        freeze.write("1")
    return cgroup


def stopped_uid(pids):
    """The real user id of a stopped process among pids, or None."""
    for pid in pids:
        try:
            with open(f"/proc/{pid}/status") as handle:
                status = dict(line.split(":", 1) for line in handle if ":" in line)
        except OSError:
            continue
        if status["State"].split()[0] == "T":
            return int(status["Uid"].split()[0])
    return None


def comm(pid):
    try:
        with open(f"/proc/{pid}/comm") as handle:
            return handle.read().rstrip("\n")
    except OSError:
        return ""


def descendants(pid):
    try:
        with open(f"/proc/{pid}/task/{pid}/children") as handle:
            children = [int(child) for child in handle.read().split()]
    except OSError:
        return []
    return children + [each for child in children for each in descendants(child)]


def stops(k):
    """^Z from the caller's terminal 0 to 6 ms into a store run as a shell's
    foreground job: the keeper ignores it from its first instruction on. Only
    before that, while the dynamic loader runs and it is still its caller's, may it
    stop, and its caller may end it as any process of theirs; none is ever stopped
    as the keeper's own user, out of its caller's reach."""
    k.reset()
    caller = os.getuid() if k.pupil is None else k.pupil
    options = {} if k.pupil is None else {"user": k.pupil, "group": k.pupil, "extra_groups": []}
    stopped = []
    for attempt in range(40):
        k.case = f"^Z {attempt * 0.15:.2f} ms into a store"
        master, slave = os.openpty()
        shell = subprocess.Popen(
            ["/bin/sh", "-c", 'set -m; printf Anna | "$0" store "$1" 4 >/dev/null; sleep 20',
             k.program, str(100 + attempt)], stdin=slave, stdout=slave, stderr=slave, env={},
            cwd="/", start_new_session=True, preexec_fn=lambda: fcntl.ioctl(0, termios.TIOCSCTTY),
            **options)
        os.close(slave)
        time.sleep(attempt * 0.00015)
        os.write(master, b"\x1a")
        deadline, uid = time.monotonic() + LIFETIME, None
        while time.monotonic() < deadline and uid is None:
            names = {pid: comm(pid) for pid in descendants(shell.pid)}
            uid = stopped_uid([pid for pid, name in names.items()
                               if name in ("zarvoni-keeper", os.path.basename(k.program)[:15])])
            if "sleep" in names.values():
                break  # the store is over: the shell went on to its next command
            time.sleep(0.001)
        if uid is not None:
            stopped.append(uid)
        os.killpg(shell.pid, signal.SIGKILL)
        for pid in descendants(shell.pid):
            os.kill(pid, signal.SIGKILL)
        shell.wait()
        os.close(master)
    k.case = "^Z while a store starts"
    k.check(all(uid == caller for uid in stopped), "never stopped once it is its own user",
            stopped)
    k.check_answer(k.run(["read"]), 0, b"read")


def settings(k, config, scratch):
    """The technician's setting is used only when root alone may have written it:
    any other is refused with a message that says so, and the machine's own record
    is used."""
    lab = os.path.join(scratch, "lab")
    os.makedirs(lab, mode=0o777, exist_ok=True)
    os.chmod(lab, 0o777)
    os.makedirs(os.path.dirname(config), mode=0o755, exist_ok=True)
    someone = 1234 if k.pupil is None else k.pupil
    for label, owner, mode, why in (("root's", 0, 0o644, None),
                                    ("a pupil's", someone, 0o644, "non appartiene a root"),
                                    ("writable by the group", 0, 0o664, "anche altri utenti"),
                                    ("writable by all", 0, 0o666, "anche altri utenti"),
                                    ("a link", 0, None, "collegamento")):
        k.case = f"a setting {label}"
        k.reset()
        shutil.rmtree(lab)
        os.mkdir(lab, 0o777)
        os.chmod(lab, 0o777)
        target = config + ".real" if mode is None else config
        with open(target, "w") as handle:
            handle.write(f"record-folder = {lab}\n")
        os.chown(target, owner, owner)
        os.chmod(target, 0o644 if mode is None else mode)
        if mode is None:
            os.symlink(target, config)
        code, out, _ = k.run(["read"])
        # Used, the class's record, which the machine's own joins; else that, and why.
        k.check(code == 0 and read_pair(out) == (b"5", b"Bruno") and
                (why is None) == (b"message" not in out) and (why or "").encode() in out,
                "the record, and why the setting is not used", out)
        k.check_answer(k.store(7, b"Anna"), 0, b"stored")
        k.check_pair(*((b"5\r\n", b"Bruno\r\n") if why is None else (b"7\r\n", b"Anna\r\n")))
        k.check(bool(os.listdir(lab)) == (why is None), "the lab folder used only then",
                os.listdir(lab))
        for path in (config, config + ".real"):
            if os.path.lexists(path):
                os.unlink(path)


def results_readers(k, config):
    """A pupil appends a finished game's line but reads and empties no list, however
    they say they are a teacher; a member of the teachers' group ("users" here), as
    the kernel tells it, reads them; without that setting only root does."""
    k.case = "the results list"
    k.reset()
    if config:
        with open(config, "w") as handle:
            handle.write("teachers-group = users\n")
        os.chmod(config, 0o644)
    k.check_answer(k.run(["result", "3", "1", "4", "0", "uscita", "4"], b"Anna"), 0, b"appended")
    code, out, _ = k.run(["results"], groups=[grp.getgrnam("users").gr_gid])
    if k.pupil is None or config:
        k.check(code == 0 and b"\tAnna\t3\t1\t4\t0\tuscita\t" in out, "a teacher reads it", out)
    else:
        k.check_answer((code, out, b""), REFUSED, b"refused")
    if k.pupil is not None:
        for request in (["results"], ["clear-results"]):
            k.check_answer(k.run(request, env={"GROUP": "users", "USER": "root"}), REFUSED,
                           b"refused")
    if config:
        os.unlink(config)


def held_under_the_lock(k):
    """Held up under the lock (its pending file's open never answered: fanotify, as
    root) and frozen in a cgroup of its own, a keeper is killed by its own timer 5 s
    later; a better score another pupil stores meanwhile is kept, shown by every
    read, and put in by the next keeper: no hold, however long, loses it."""
    k.case = "a keeper held up and frozen under the lock"
    k.reset()  # first: this process's own opens there would wait for its own answer
    libc = ctypes.CDLL(None)
    group = libc.fanotify_init(4, 0)  # FAN_CLASS_CONTENT
    if group < 0 or libc.fanotify_mark(group, 1, ctypes.c_uint64(0x8010000), -100,
                                       k.record_dir.encode()):  # opens in it
        return
    process, held = k.popen(["store", "9", "4"], stdin=subprocess.PIPE), None

    def answer_all(until):  # every open but the held one is allowed
        while held is None or (process.poll() is None and time.monotonic() < until):
            if not select.select([group], [], [], 0.1)[0]:
                continue
            data = os.read(group, 4096)
            for fd in (data[at + 16:at + 20] for at in range(0, len(data), 24)):  # each event's
                number = int.from_bytes(fd, sys.byteorder)
                if held is None and os.readlink(f"/proc/self/fd/{number}").endswith(
                        "/.zarvoni.tmp.zarvoni.pending"):
                    return time.monotonic()
                os.write(group, fd + (1).to_bytes(4, sys.byteorder))  # allowed
                os.close(number)
        return None

    process.stdin.write(b"Anna")
    process.stdin.close()
    held = answer_all(time.monotonic() + 5)
    with open(f"/proc/{process.pid}/task/{process.pid}/children") as children:
        cgroup = frozen([process.pid] + [int(child) for child in children.read().split()])
    responder = threading.Thread(target=answer_all, args=(time.monotonic() + LIFETIME,))
    responder.start()
    other = None if k.pupil is None else k.pupil + 1
    result = k.store(12, b"Bruno", user=other)
    still_held = process.poll() is None
    k.check(result[0] in ((1, 0) if not still_held else (1,)) and held,
            "the other pupil's score kept while the lock is held", result[1][:200])
    k.check(read_pair(k.run(["read"], user=other)[1]) == (b"12", b"Bruno"), "and shown")
    # 5 s under the lock, not its whole 17-s life (the rest is room for a slow machine).
    k.check(held and process.wait(timeout=15) == -signal.SIGKILL and time.monotonic() - held < 12,
            "killed by its own timer")
    responder.join()
    os.close(group)
    if cgroup:
        os.rmdir(cgroup)
    k.check_answer(k.run(["read"]), 0, b"read")
    k.check_pair(b"12\r\n", b"Bruno\r\n")


def elsewhere(k, scratch):
    """Started from a directory that holds files of the same names."""
    k.case = "started from another directory"
    decoy = os.path.join(scratch, "decoy")
    os.makedirs(decoy, exist_ok=True)
    os.chmod(decoy, 0o777)
    for file_name in (SCORE_FILE, NAME_FILE, LOCK_FILE):
        with open(os.path.join(decoy, file_name), "wb") as handle:
            handle.write(b"decoy\r\n")
        os.chmod(os.path.join(decoy, file_name), 0o666)
    k.reset()
    k.check_answer(k.store(6, b"Anna", cwd=decoy), 0, b"stored")
    k.check_pair(b"6\r\n", b"Anna\r\n")
    for file_name in (SCORE_FILE, NAME_FILE, LOCK_FILE):
        with open(os.path.join(decoy, file_name), "rb") as handle:
            k.check(handle.read() == b"decoy\r\n", f"the decoy {file_name} untouched")


def set_id_copy(options, scratch):
    """As root with no pupil: pupils try a copy of the keeper set-user-id to a user
    of its own, 64011, which owns the record directory as games owns the installed one."""
    parts = os.path.realpath(options.record_dir).split("/")
    parents = ["/".join(parts[:n]) or "/" for n in range(1, len(parts))]
    if any(not os.stat(parent).st_mode & 0o001 for parent in parents):
        print("keeper attacks: set-user-id copy skipped: other users cannot reach the record "
              "directory (a parent directory without o+x)", file=sys.stderr)
        return []
    copy, before = os.path.join(scratch, "zarvoni-keeper"), os.stat(options.record_dir)
    shutil.copy(options.keeper, copy)
    for path, mode in ((copy, 0o6755), (options.record_dir, 0o2770)):
        os.chown(path, 64011, 64011)
        os.chmod(path, mode)
    k = Keeper(copy, options.record_dir, 64010)
    crowds(k)
    signals(k, False)
    stops(k)
    results_readers(k, options.config)
    os.chown(options.record_dir, before.st_uid, before.st_gid)
    os.chmod(options.record_dir, before.st_mode)
    return [f"set-user-id copy: {failure}" for failure in k.failures]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--keeper", required=True)
    parser.add_argument("--record-dir", required=True)
    parser.add_argument("--pupil", type=int)
    parser.add_argument("--slow", action="store_true")
    parser.add_argument("--config", help="the keeper's setting file, which the cases write")
    options = parser.parse_args()
    os.makedirs(options.record_dir, exist_ok=True)
    k = Keeper(options.keeper, options.record_dir, options.pupil)
    with tempfile.TemporaryDirectory() as scratch:
        os.chmod(scratch, 0o755)
        for case in (refused_requests, names, lambda k: environments(k, scratch), descriptors,
                     limits, together, crowds, lambda k: signals(k, options.slow), terminal,
                     stops, held_under_the_lock, lambda k: elsewhere(k, scratch)):
            case(k)
        if options.config:
            settings(k, options.config, scratch)
        results_readers(k, options.config if options.pupil is not None else None)
        if options.pupil is None and os.geteuid() == 0 and not SANITIZED:
            k.failures += set_id_copy(options, scratch)
    who = f"as user {options.pupil} in no group" if options.pupil is not None else "as this user"
    if k.failures:
        print(f"keeper attacks {who}: {len(k.failures)} failed", file=sys.stderr)
        for failure in k.failures:
            print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    print(f"keeper attacks {who}: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
