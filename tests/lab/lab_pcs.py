# SPDX-License-Identifier: GPL-3.0-or-later
"""A school lab on one machine: PCs, each in UTS and mount namespaces of its own
(pc.py), whose technician's setting names one lab folder on a file server that
the test can slow, pause, make fail or stop at any call (stallfs.py). Each case
gets a lab folder and PCs of its own; the built record keeper does every read
and store, as the installed game has it do them.

Usage: lab_pcs.py --keeper PATH --record-dir DIR --config-file FILE --work-dir DIR [CASE...]
The record directory and the setting's file are those the keeper was built for;
each PC mounts its own over them, inside its namespace only. Run as root; exit
status 77 (skipped) where /dev/fuse, unshare or root are missing."""

import argparse
import errno
import glob
import importlib.util
import os
import shutil
import signal
import subprocess
import sys
import threading
import time
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pc import Pc  # noqa: E402

SKIPPED = 77
SERVER_BOUND = 10.0  # seconds: far above the keeper's wait for the server, far below a hang
KEPT_PREFIX = ".zarvoni.lab-kept."  # a score kept on the PC until the server takes it


def name_for(score):
    """The name that goes with a score: a pair whose name is not its score's is mixed."""
    return f"Nicolò {score}"


def whole(pair):
    """Whether a read's pair is no record at all, or a score with its own name."""
    score, name = pair
    return pair == ("", "") or (score.isdigit() and name == name_for(int(score)))


class Lab:
    """A lab folder on the server and the PCs whose setting names it."""

    def __init__(self, run, case, names):
        self.backing = os.path.join(run.backing, case)
        os.mkdir(self.backing, 0o755)
        folder = os.path.join(run.mountpoint, case)
        self.pcs = [Pc(name, run.keeper, os.path.join(run.work, case, f"pc{index}"),
                       run.record_dir, run.config_file, folder)
                    for index, name in enumerate(names)]

    def __enter__(self):
        try:
            for pc in self.pcs:
                pc.start()
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *_):
        for pc in self.pcs:
            pc.stop()

    def record_file(self, pc):
        """A PC's pair in its folder, as the server keeps it."""
        return os.path.join(self.backing, pc.name.lower(), "record.txt")

    def kept(self, pc):
        return glob.glob(os.path.join(pc.records, KEPT_PREFIX + "*"))


class Run:
    def __init__(self, arguments):
        self.keeper = os.path.abspath(arguments.keeper)
        self.record_dir = os.path.abspath(arguments.record_dir)
        self.config_file = os.path.abspath(arguments.config_file)
        self.work = os.path.abspath(arguments.work_dir)
        self.backing = os.path.join(self.work, "server")
        self.mountpoint = os.path.join(self.work, "lab")
        self.fs = None
        self.failures = []
        self.case = ""

    def check(self, holds, what, seen=None):
        if not holds:
            saw = "" if seen is None else f" (saw {seen!r})"
            self.failures.append(f"{self.case}: {what}{saw}")
        return holds

    def check_answer(self, answer, outcome, what):
        return self.check(answer.outcome == outcome, f"{what} answers {outcome}", answer)

    def timed(self, work):
        started = time.monotonic()
        result = work()
        return result, time.monotonic() - started


# The cases.
def concurrent_stores(run):
    """Three PCs store 40 better scores each, interleaved, while a reader on each
    PC reads all along: no read shows a mixed pair or less than a score stored
    before it began, every PC ends showing the same best pair, and that is the
    highest score any store acknowledged."""
    per_pc = 40
    with Lab(run, "concurrent", ["aula-1", "aula-2", "aula-3"]) as lab:
        acknowledged, unexpected, mixed, behind = [], [], [], []
        reads = {pc.name: 0 for pc in lab.pcs}
        best_stored, storing = [0], threading.Lock()
        stored = threading.Event()

        def writer(index, pc):
            for step in range(per_pc):
                score = 100 + 3 * step + index
                answer = pc.store(score, name_for(score))
                if answer.outcome == "stored":
                    with storing:
                        best_stored[0] = max(best_stored[0], score)
                if answer.outcome in ("stored", "pending"):
                    acknowledged.append(score)
                elif answer.outcome != "not-better":
                    unexpected.append((pc.name, score, answer))

        def reader(pc):
            while not stored.is_set():
                floor = best_stored[0]
                answer = pc.read()
                reads[pc.name] += 1
                if answer.outcome not in ("read", "unreachable"):
                    unexpected.append((pc.name, "read", answer))
                elif not whole(answer.pair()):
                    mixed.append((pc.name, answer.pair()))
                elif answer.outcome == "read" and int(answer.pair()[0] or 0) < floor:
                    behind.append((pc.name, floor, answer.pair()))

        writers = [threading.Thread(target=writer, args=item) for item in enumerate(lab.pcs)]
        readers = [threading.Thread(target=reader, args=(pc,)) for pc in lab.pcs]
        for thread in writers + readers:
            thread.start()
        for thread in writers:
            thread.join()
        stored.set()
        for thread in readers:
            thread.join()
        run.check(not unexpected, "every store answers stored, pending or not-better, every "
                  "read read or unreachable", unexpected[:5])
        run.check(all(reads.values()), "every PC read during the stores", reads)
        run.check(not mixed, "no read during the stores shows a mixed pair", mixed[:5])
        run.check(not behind, "no read shows less than a score stored before it began",
                  behind[:5])
        run.check(acknowledged, "some store acknowledged")
        best = max(acknowledged, default=None)
        # A first read on each PC delivers what it kept; then all agree.
        for pc in lab.pcs:
            pc.read()
        for pc in lab.pcs:
            answer = pc.read()
            run.check(answer.outcome == "read" and answer.pair() == (str(best), name_for(best)),
                      f"{pc.name} shows the best acknowledged score {best}", answer)
            run.check(not lab.kept(pc), f"{pc.name} keeps nothing undelivered", lab.kept(pc))


def kill_at_every_step(run):
    """A store on one PC stopped at its Nth call to the server (N = 1, 2, ...) and
    killed there: every PC then reads a whole pair, the old one or the new, and a
    further store on that PC is stored."""
    with Lab(run, "killed", ["aula-1", "aula-2", "aula-3"]) as lab:
        victim, score = lab.pcs[0], 200
        run.check_answer(victim.store(score, name_for(score)), "stored", "the first store")
        steps = []
        for nth in range(1, 1000):
            old, score = score, score + 1
            run.fs.hold(nth)
            keeper = victim.start_keeper("store", score, len(name_for(score).encode()))
            keeper.stdin.write(name_for(score).encode())
            keeper.stdin.close()
            held = None
            deadline = time.monotonic() + SERVER_BOUND
            while held is None and keeper.poll() is None and time.monotonic() < deadline:
                held = run.fs.held(wait=0.1)
            held = held or run.fs.held()
            if held is None:
                run.fs.release()
                out = keeper.stdout.read()
                keeper.stdout.close()
                keeper.wait()
                run.check(keeper.returncode == 0 and out.startswith(b"stored\n"),
                          f"the store that reached no call {nth} is stored", out)
                break
            keeper.send_signal(signal.SIGKILL)
            run.fs.release()
            keeper.wait(timeout=SERVER_BOUND)
            keeper.stdout.close()
            steps.append(held["op"])
            with ThreadPoolExecutor() as readers:
                pairs = list(readers.map(lambda pc: pc.read().pair(), lab.pcs))
            for pc, pair in zip(lab.pcs, pairs):
                run.check(pair in ((str(old), name_for(old)), (str(score), name_for(score))),
                          f"killed at call {nth} ({held['op']} {held['path']}): {pc.name} reads "
                          f"the old pair or the new", pair)
            score += 1
            run.check_answer(victim.store(score, name_for(score)), "stored",
                             f"after a kill at call {nth}, a further store")
        else:
            run.check(False, "a store ends within 1000 calls to the server")
        print(f"  a store killed at each of its {len(steps)} calls to the server: "
              f"{', '.join(sorted(set(steps)))}")
        run.check({"create", "write", "rename"} <= set(steps),
                  "the kills include the pair's creation, writing and rename", steps)


def same_name(run):
    """A second PC named as the first (a cloned disk image) is told, keeps its
    score, and never writes the first one's pair."""
    with Lab(run, "cloned", ["aula-7", "aula-7", "aula-8"]) as lab:
        first, second, _ = lab.pcs
        run.check_answer(first.store(50, name_for(50)), "stored", "the first PC's store")
        record = lab.record_file(first)
        folder = os.path.dirname(record)

        def snapshot():
            info = os.stat(record)
            with open(record, "rb") as handle:
                return handle.read(), info.st_ino, info.st_mtime_ns, sorted(os.listdir(folder))

        before = snapshot()
        for what, answer, outcome in (("a read", second.read, "read"),
                                      ("a better store", lambda: second.store(60, name_for(60)),
                                       "pending"),
                                      ("a second read", second.read, "read")):
            result = answer()
            run.check_answer(result, outcome, f"on the second aula-7, {what}")
            run.check("si chiama" in result.fields.get("message", ""),
                      f"on the second aula-7, {what} tells it shares a name", result)
        run.check(snapshot() == before, "the first aula-7's pair is untouched", snapshot())
        run.check(first.read().pair() == ("50", name_for(50)),
                  "the first aula-7 still reads its own record")


def stalled_server(run):
    """With the server paused, or failing each call, a read is unreachable and a
    better store pending, each within a bound; once the server answers again, the
    next read on that PC delivers the kept score to the whole class."""
    rows = (("paused", run.fs.pause, run.fs.resume),
            ("failing EIO", lambda: run.fs.fail(errno.EIO), lambda: run.fs.fail(None)),
            ("failing ENOTCONN", lambda: run.fs.fail(errno.ENOTCONN),
             lambda: run.fs.fail(None)))
    for what, stall, recover in rows:
        with Lab(run, what.replace(" ", "-"), ["aula-1", "aula-2", "aula-3"]) as lab:
            writer, other, _ = lab.pcs
            run.check_answer(writer.store(10, name_for(10)), "stored", f"{what}: the first store")
            stall()
            try:
                read, read_took = run.timed(writer.read)
                store, store_took = run.timed(lambda: writer.store(20, name_for(20)))
            finally:
                recover()
            run.check(read.outcome == "unreachable" and read.status == 5,
                      f"{what}: a read answers unreachable (5)", read)
            run.check(read_took < SERVER_BOUND, f"{what}: a read answers within "
                      f"{SERVER_BOUND:.0f} s", round(read_took, 1))
            run.check(store.outcome == "pending" and store.status == 1,
                      f"{what}: a better store answers pending (1)", store)
            run.check(store_took < SERVER_BOUND, f"{what}: a store answers within "
                      f"{SERVER_BOUND:.0f} s", round(store_took, 1))
            run.check(writer.read().pair() == ("20", name_for(20)),
                      f"{what}: the next read delivers the kept score")
            run.check(other.read().pair() == ("20", name_for(20)),
                      f"{what}: another PC reads the delivered score")
            run.check(not lab.kept(writer), f"{what}: nothing waits on the PC", lab.kept(writer))


CASES = {case.__name__: case for case in
         (concurrent_stores, kill_at_every_step, same_name, stalled_server)}


def unusable(config_file):
    """Why this machine cannot run the lab, or None."""
    if os.geteuid() != 0:
        return "not root (namespaces and FUSE mounts need it)"
    if not os.path.exists("/dev/fuse"):
        return "/dev/fuse is missing (no FUSE in this kernel or container)"
    for tool in ("unshare", "nsenter"):
        if not shutil.which(tool):
            return f"{tool} is missing (util-linux)"
    tried = subprocess.run(["unshare", "--uts", "--mount", "true"], capture_output=True)
    if tried.returncode != 0:
        return f"unshare cannot make namespaces here: {tried.stderr.decode().strip()}"
    # The keeper reads a setting only where root alone may have put it.
    directory = os.path.dirname(config_file)
    while directory != os.path.dirname(directory):
        directory = os.path.dirname(directory)
        info = os.stat(directory)
        if info.st_uid != 0 or info.st_mode & 0o022:
            return f"{directory} is not root's alone, so no keeper would read a setting below it"
    return None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--keeper", required=True)
    parser.add_argument("--record-dir", required=True)
    parser.add_argument("--config-file", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("cases", nargs="*", metavar="CASE", help=", ".join(CASES))
    arguments = parser.parse_args()
    if set(arguments.cases) - set(CASES):
        parser.error(f"unknown cases {sorted(set(arguments.cases) - set(CASES))}")
    run = Run(arguments)
    why = unusable(run.config_file)
    if why:
        print(f"lab_pcs: skipped: {why}")
        return SKIPPED
    if importlib.util.find_spec("pyfuse3") is None:
        print(f"lab_pcs: {sys.executable} has no pyfuse3 (tools/install-deps test installs "
              "python3-pyfuse3)")
        return 1
    from stallfs import StallFs, mounted
    if mounted(run.mountpoint):  # left by a run that was killed outright
        subprocess.run(["umount", "--lazy", run.mountpoint], check=False)
    shutil.rmtree(run.work, ignore_errors=True)
    os.makedirs(run.backing)
    os.makedirs(run.mountpoint)
    passed = 0
    with StallFs.mount(run.backing, run.mountpoint) as run.fs:
        for name in arguments.cases or CASES:
            run.case, before, started = name, len(run.failures), time.monotonic()
            CASES[name](run)
            ok = len(run.failures) == before
            passed += ok
            print(f"{'ok' if ok else 'FAILED'}: {name} ({time.monotonic() - started:.1f} s)")
    for failure in run.failures:
        print(f"  {failure}")
    ran = len(arguments.cases or CASES)
    print(f"lab_pcs: {passed} passed, {ran - passed} failed")
    return 0 if passed == ran else 1


if __name__ == "__main__":
    sys.exit(main())
