# SPDX-License-Identifier: GPL-3.0-or-later
"""A PC of a school lab, on this machine: a process in a UTS and mount namespace
of its own (made with unshare), with its own host name and, bind-mounted over the
build's record directory and over the folder of its technician's setting, a record
directory and a setting of its own. Its record keepers run inside those namespaces
(through nsenter) and so see its name and its directories, and whatever was
mounted before it was made, such as the lab folder's file server. Needs root."""

import os
import select
import shutil
import subprocess

# Held by the namespaces' first process, which waits for its standard input to close.
NAMESPACE_HOLDER = r"""
hostname "$1" && mount --bind "$2" "$3" && mount --bind "$4" "$5" && echo ready && exec cat
"""
KEEPER_LIFETIME = 17  # seconds a keeper may run before its own timer ends it
NSENTER, UNSHARE = shutil.which("nsenter"), shutil.which("unshare")


def parse_answer(out):
    """A keeper's answer: its outcome and its fields {key: text}."""
    outcome, _, rest = out.partition(b"\n")
    fields = {}
    while rest:
        header, _, rest = rest.partition(b"\n")
        key, length = header.split(b" ")
        fields[key.decode()] = rest[:int(length)].decode()
        rest = rest[int(length) + 1:]
    return outcome.decode(), fields


class Answer:
    """What a keeper run answered: exit status, outcome, fields."""

    def __init__(self, status, out):
        self.status = status
        self.outcome, self.fields = parse_answer(out) if out else ("", {})

    def pair(self):
        """A read's score and name, without their line ends."""
        return (self.fields.get("score", "").rstrip("\r\n"),
                self.fields.get("name", "").rstrip("\r\n"))

    def __repr__(self):
        return f"{self.outcome or '(nothing)'} [{self.status}] {self.fields}"


class Pc:
    """One PC: start() makes its namespaces, stop() lets them go."""

    def __init__(self, name, keeper, home, record_dir, config_file, lab_folder):
        self.name, self.keeper = name, keeper
        self.records = os.path.join(home, "records")
        self.settings = os.path.join(home, "settings")
        self.record_dir, self.config_file = record_dir, config_file
        for directory in (self.records, self.settings, record_dir, os.path.dirname(config_file)):
            os.makedirs(directory, mode=0o755, exist_ok=True)
        # The technician's setting is read only when root's alone.
        setting = os.path.join(self.settings, os.path.basename(config_file))
        with open(setting, "w") as handle:
            handle.write(f"record-folder = {lab_folder}\n")
        os.chmod(setting, 0o644)
        self.holder = None

    def start(self, timeout=10.0):
        self.holder = subprocess.Popen(
            [UNSHARE, "--uts", "--mount", "--propagation", "private", "--", "sh", "-c",
             NAMESPACE_HOLDER, "pc", self.name, self.records, self.record_dir, self.settings,
             os.path.dirname(self.config_file)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE)
        ready, _, _ = select.select([self.holder.stdout], [], [], timeout)
        if not ready or self.holder.stdout.readline() != b"ready\n":
            self.stop()
            raise RuntimeError(f"PC {self.name}: its namespaces could not be made")
        return self

    def stop(self):
        if self.holder:
            self.holder.stdin.close()
            self.holder.stdout.close()
            try:
                self.holder.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.holder.kill()
                self.holder.wait()
            self.holder = None

    def start_keeper(self, *arguments):
        """A keeper running in this PC, as the game starts it: no environment."""
        return subprocess.Popen(
            # Entering a mount namespace starts from its root, not the caller's: in a
            # chroot (make test-debian13) the PC's own root is taken along.
            [NSENTER, f"--target={self.holder.pid}", "--uts", "--mount", "--root", "--wd=/",
             "--", self.keeper, *map(str, arguments)],
            stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env={},
            cwd="/")

    def run(self, *arguments, name=b""):
        process = self.start_keeper(*arguments)
        out, _ = process.communicate(name, timeout=KEEPER_LIFETIME + 10)
        return Answer(process.returncode, out)

    def read(self):
        return self.run("read")

    def store(self, score, name):
        data = name.encode()
        return self.run("store", score, len(data), name=data)
