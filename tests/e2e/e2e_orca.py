# SPDX-License-Identifier: GPL-3.0-or-later
"""The Orca screen reader, listening on a session's accessibility bus: what it would speak.

Shared by the end-to-end scenarios and bench/run. Orca runs through its own
command line with braille off and speech on, but with no speech server: with a
debug log, it writes every sentence it would speak there ("SPEECH OUTPUT:"),
and the log goes to a pseudo-terminal so that each line arrives at once. With
speech off, Orca 48 would log none of its messages (notifications among them),
and with a speech server it would wait for a speech daemon that never answers
under Xvfb. Without a debug log (bench/run), Orca does what it does for a pupil,
less the speaking itself."""

import os
import re
import shutil
import subprocess
import threading
import time

from e2e_common import POLL, WAIT, Skipped, StepFailed, stop

# Orca logs one of these as it starts listening to the accessibility bus
# (Orca 43, Orca 48).
READY = ("Starting ATSPI registry", "Starting Atspi main event loop")
# Orca's own program, run in-process; its speech module, once Orca imports it
# (in its own order: importing it first breaks a cycle of Orca's imports), starts
# no speech server (the function is named differently in Orca 43 and Orca 48).
LAUNCHER = """
import importlib.util, runpy, sys

class NoSpeechServer:
    def find_spec(self, name, path, target=None):
        if name != "orca.speech":
            return None
        sys.meta_path.remove(self)
        found = importlib.util.find_spec(name)
        run = found.loader.exec_module
        def exec_module(module):
            run(module)
            for start in ("_initSpeechServer", "_init_speech_server"):
                if hasattr(module, start):
                    setattr(module, start, lambda *arguments: None)
        found.loader.exec_module = exec_module
        return found

sys.meta_path.insert(0, NoSpeechServer())
sys.argv[0] = "orca"
runpy.run_path(sys.argv.pop(1), run_name="__main__")
"""
SPEECH = re.compile(r"SPEECH OUTPUT: '(.*)'(?: voice=\w+)?$")


class Orca:
    """One Orca process and, with a debug log, the sentences it has spoken so far."""

    def __init__(self, work, bus, debug_log=True):
        self.bus = bus
        self.log_lines = []
        self.spoken = []
        self.heard = 0  # sentences already matched by wait_for
        prefs = os.path.join(work, "orca-prefs")
        os.makedirs(prefs, exist_ok=True)
        self.transcript = open(os.path.join(work, "orca.log"), "w", encoding="utf-8")
        orca = shutil.which("orca")
        with open(orca, encoding="utf-8") as script:
            interpreter = script.readline()[2:].split()[0]
        command = [interpreter, "-c", LAUNCHER, orca, "--user-prefs", prefs, "--disable",
                   "braille"]
        self.master = self.slave = None
        if debug_log:
            # The slave end stays open here too: with none open, reading the master
            # fails until Orca has opened its log.
            self.master, self.slave = os.openpty()
            command += ["--debug-file", os.ttyname(self.slave)]
        self.process = subprocess.Popen(
            command, env=dict(bus.env, GSETTINGS_BACKEND="memory"), stdin=subprocess.DEVNULL,
            stdout=self.transcript, stderr=subprocess.STDOUT)
        if debug_log:
            threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        pending = b""
        while True:
            try:
                data = os.read(self.master, 65536)
            except OSError:
                break
            if not data:
                break
            pending += data
            *lines, pending = pending.split(b"\n")
            for raw in lines:
                line = raw.decode("utf-8", "replace").rstrip("\r")
                self.log_lines.append(line)
                # The speech properties Orca appends to the sentence are not spoken.
                match = SPEECH.search(re.sub(r" ?\{[^{}]*\}$", "", line))
                if match:
                    self.spoken.append(match.group(1))

    def wait_ready(self):
        """Waits until Orca listens: its log says so, or without one, it has asked
        the accessibility bus for events."""
        deadline = time.monotonic() + WAIT
        while not (any(ready in line for line in self.log_lines for ready in READY)
                   if self.master is not None else self.bus.listened_events()):
            if self.process.poll() is not None:
                self._not_started()
            if time.monotonic() > deadline:
                raise StepFailed(f"Orca did not start in {WAIT:.0f} s; its log ends: "
                                 f"{self.log_lines[-5:]}")
            time.sleep(POLL)

    def _not_started(self):
        self.transcript.flush()
        try:
            others = subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "orca"],
                                    stdout=subprocess.PIPE, text=True,
                                    check=False).stdout.split()
        except OSError:
            others = []
        if others:
            # Orca refuses to run twice for one user: one runs in the desktop already.
            raise Skipped(f"another Orca of this user is running (pid {', '.join(others)})")
        raise StepFailed(f"Orca exited with status {self.process.returncode} as it started")

    def wait_for(self, *ways, timeout=WAIT):
        """Waits until Orca has spoken, since the last thing waited for, one of the
        ways given: a sentence, or a tuple of sentences spoken in a row."""
        ways = [way if isinstance(way, tuple) else (way,) for way in ways]
        sentence = " or ".join(repr(list(way)) for way in ways)
        deadline = time.monotonic() + timeout
        while True:
            spoken = self.spoken[self.heard:]
            for start in range(len(spoken)):
                way = next((way for way in ways
                            if tuple(spoken[start:start + len(way)]) == way), None)
                if way:
                    self.heard += start + len(way)
                    return
            if self.process.poll() is not None:
                raise StepFailed(f"Orca exited with status {self.process.returncode}")
            if time.monotonic() > deadline:
                raise StepFailed(f"waited {timeout:.0f} s for Orca to say {sentence}; "
                                 f"it said {spoken!r}")
            time.sleep(POLL)

    def stop(self):
        stop(self.process)
        if self.master is not None:
            os.close(self.slave)
            os.close(self.master)
            self.master = None
        self.transcript.close()
