# SPDX-License-Identifier: GPL-3.0-or-later
"""The class's record on a school's server, for bench/run: a lab folder holding
the pairs of a room's other computers, served by the lab tests' FUSE file system
(tests/lab/stallfs.py) at a few milliseconds a call, and told to the bench
build's game and keeper through the build's own setting file.

Run as `lab.py watch PID TEXT` it is the watcher of the record line: it polls the
game PID through AT-SPI until a label of its window says TEXT, then prints the
moment (CLOCK_MONOTONIC, the same for every process of the machine)."""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "lab"))

OTHERS = 30  # the room's other computers, each with a pair in the lab folder
CALL_MS = 2  # what each call to the server waits
BEST = ("90", "Zeno")  # the class's record among them, above any the bench stores locally
WATCH_POLL = 0.02  # seconds between two looks at the record line
# What the kernel may keep of names and attributes, as an NFS client keeps them for
# 3 to 60 s: long enough for one keeper's run, and the runs are further apart, so
# that each starts with nothing kept, as a PC's first look after a game does.
CACHED = 1.0


class LabFolder:
    """A lab folder behind stallfs, in the build tree, and the setting that names it
    (written by use(True), removed by use(False) and on leaving)."""

    def __init__(self, build, config_file):
        self.root = build / "bench-lab"
        self.config_file = Path(config_file)
        self.server = None
        self.best = int(BEST[0])  # the class's record, which every store beats

    def __enter__(self):
        from stallfs import StallFs  # needs pyfuse3: only where the lab rows run

        self.close()
        disk, mount = self.root / "disk", self.root / "server"
        self.fill(disk)
        mount.mkdir(parents=True)
        self.server = StallFs.mount(str(disk), str(mount))
        self.server.delay(CALL_MS)
        self.folder = mount / "aula"
        return self

    def fill(self, disk):
        """The other computers' pairs, scores from 1 up to the class's record."""
        for number in range(1, OTHERS + 1):
            pc = disk / "aula" / f"pc-{number:02}"
            pc.mkdir(parents=True)
            score, name = BEST if number == OTHERS else (str(number), f"Alunno {number}")
            (pc / "record.txt").write_bytes(f"{score}\r\n{name}\r\n".encode())

    def use(self, on):
        if on:
            self.config_file.parent.mkdir(mode=0o755, parents=True, exist_ok=True)
            self.config_file.write_text(f"record-folder = {self.folder}\n")
            self.config_file.chmod(0o644)
        else:
            self.config_file.unlink(missing_ok=True)

    def __exit__(self, *_):
        self.close()

    def close(self):
        self.use(False)
        if self.server:
            self.server.unmount()
            self.server = None
        shutil.rmtree(self.root, ignore_errors=True)


def usable():
    """Why the lab rows cannot run here, or None."""
    if os.geteuid() != 0:
        return "a FUSE server that every keeper may use needs root"
    if not os.path.exists("/dev/fuse"):
        return "no /dev/fuse"
    try:
        import pyfuse3  # noqa: F401
    except ImportError:
        return "no python3-pyfuse3"
    return None


def keeper_run(keeper, *arguments, data=b""):
    """Milliseconds one keeper run takes, its start counted, and its answer's outcome."""
    started = time.monotonic()
    done = subprocess.run([str(keeper), *map(str, arguments)], input=data,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env={}, cwd="/",
                          check=False, timeout=30)
    spent = (time.monotonic() - started) * 1000
    return spent, done.stdout.partition(b"\n")[0].decode()


def keeper_figures(keeper, runs, folder, cached):
    """Milliseconds of a read of the class's record and of a better store, through
    the keeper as the game starts it, the kernel keeping names and attributes for
    cached seconds; every store beats the one before."""
    reads, stores = [], []
    folder.server.cache(cached)

    def run(*arguments, data=b""):
        time.sleep(cached * 1.1)  # what an earlier run left in the kernel is gone
        return keeper_run(keeper, *arguments, data=data)

    for _ in range(runs + 1):  # the first of each only warms the caches
        spent, outcome = run("read")
        if outcome != "read":
            raise RuntimeError(f"the keeper's read of the lab folder answered {outcome!r}")
        reads.append(spent)
        folder.best += 1
        name = b"Bench"
        spent, outcome = run("store", folder.best, len(name), data=name)
        if outcome != "stored":
            raise RuntimeError(f"the keeper's store to the lab folder answered {outcome!r}")
        stores.append(spent)
    folder.server.cache(0)
    return reads[1:], stores[1:]


def watch(pid, text):
    """Polls the game's window until one of its labels says text; prints when."""
    from gi.repository import GLib

    while True:
        try:
            if window_says(pid, text):
                print(time.monotonic(), flush=True)
                return
        except GLib.GError:
            pass  # a dialog closed while it was read
        time.sleep(WATCH_POLL)


def children(accessible):
    return [accessible.getChildAtIndex(i) for i in range(accessible.childCount)]


def window_says(pid, text):
    """Whether a label of the game's window says text."""
    import pyatspi

    apps = [a for a in children(pyatspi.Registry.getDesktop(0))
            if a is not None and a.get_process_id() == pid]
    frames = [t for a in apps for t in children(a)
              if t is not None and t.getRole() == pyatspi.ROLE_FRAME]
    surfaces = [c for f in frames for c in children(f)
                if c is not None and c.getRole() == pyatspi.ROLE_FILLER]
    return any(label is not None and text in (label.name or "")
               for surface in surfaces for label in children(surface))


if __name__ == "__main__" and sys.argv[1:2] == ["watch"]:
    watch(int(sys.argv[2]), sys.argv[3])
