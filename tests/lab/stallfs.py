#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""stallfs: a school's file server that stalls, on one machine. A passthrough FUSE
file system (pyfuse3 on trio) over a backing directory, which a test can slow
down, pause, make fail, or stop at one chosen call.

Run:  stallfs.py BACKING MOUNTPOINT --control SOCKET
It mounts BACKING at MOUNTPOINT with allow_other and default_permissions (the
kernel checks every caller, root or not, against the files' modes and owners),
prints "ready" once the mount and the control socket are up, and serves until
SIGTERM, SIGINT or "quit", then unmounts. What a caller creates is the caller's
(of the folder's group in a set-group-id folder). Every path keeps one inode
number while it exists, and a rename carries it along. Unless told to ("cache"), the
kernel caches neither attributes nor names, and keeps no file's pages from one open
to the next, so every look at a file is a call to this server.

Control: a Unix stream socket at SOCKET. A request is one JSON object on a line;
the answer is one JSON object on a line, {"ok": true, ...} or {"ok": false,
"error": WHY}.
  {"do": "delay", "ms": N}          every call waits N ms first (0: no delay)
  {"do": "cache", "seconds": N}     the kernel may keep names and attributes N s,
                                    as an NFS client does (0, the start: none)
  {"do": "pause"}                   every call waits until "resume"; with
                                    "killable": false, even a killed caller's
  {"do": "resume"}
  {"do": "fail", "errno": "EIO"}    every call fails with that error; null: none
  {"do": "hold", "nth": N}          the Nth call from now waits until "release"
  {"do": "held", "wait_ms": N}      {"held": {"op": OP, "path": PATH} or null},
                                    waiting up to N ms for a call to be held
  {"do": "release"}                 the held call goes on; an unreached hold ends
  {"do": "calls"}                   {"calls": N}: the calls answered so far
  {"do": "quit"}
PATH is relative to the mount's root. A call that waits for "resume" or for its
delay ends with EINTR once its caller is being killed, as a hard NFS mount lets a
killed caller go: a process with a thread in a FUSE call cannot end until the
server answers it, as a pause that is not killable shows. A held call goes on
when released, killed caller or not, as a request the server has received.

From Python: StallFs.mount(backing, mountpoint) starts it in a subprocess and
returns a client of its control socket, also a context manager that unmounts.
"""

import argparse
import errno
import functools
import itertools
import json
import os
import select
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile

import pyfuse3
import trio

# Passed on when a file is opened; the rest is the kernel's business.
PASSED_FLAGS = os.O_ACCMODE | os.O_APPEND | os.O_TRUNC | os.O_EXCL | os.O_SYNC | os.O_DSYNC
COPIED_ATTRIBUTES = ("st_mode", "st_nlink", "st_uid", "st_gid", "st_rdev", "st_size",
                     "st_blksize", "st_blocks", "st_atime_ns", "st_mtime_ns", "st_ctime_ns")
KILLED_POLL = 0.02  # seconds between two looks at whether a waiting caller is being killed
STUCK = 0.2  # seconds without a heartbeat of the server's loop, after which it is woken


def dying(pid):
    """Whether process or thread pid is being killed, or gone (0: the kernel's own)."""
    if not pid:
        return False
    try:
        with open(f"/proc/{pid}/status") as handle:
            fields = dict(line.split(":", 1) for line in handle if ":" in line)
    except OSError:
        return True
    if fields.get("State", "").strip()[:1] in ("Z", "X"):
        return True
    kill = 1 << (signal.SIGKILL - 1)
    return any(int(fields.get(key, "0"), 16) & kill for key in ("SigPnd", "ShdPnd"))


def process_of(pid):
    """The process of thread pid: an open file's later calls come from any thread."""
    try:
        with open(f"/proc/{pid}/status") as handle:
            return next(int(line.split()[1]) for line in handle if line.startswith("Tgid:"))
    except (OSError, StopIteration):
        return pid


def answered(handler):
    """A handler whose failures on the backing directory are the caller's errors."""
    @functools.wraps(handler)
    async def answer(*arguments):
        try:
            return await handler(*arguments)
        except OSError as error:
            raise pyfuse3.FUSEError(error.errno or errno.EIO) from None
    return answer


class Opened:
    """An open file or folder: its inode and the process that opened it."""

    def __init__(self, inode, caller):
        self.inode, self.caller, self.entries = inode, caller, None


class StallFileSystem(pyfuse3.Operations):
    def __init__(self, backing, watcher, beats):
        super().__init__()
        self.backing = os.path.abspath(backing)
        self.watcher, self.beats = watcher, beats
        self.paths = {pyfuse3.ROOT_INODE: ""}  # inode -> path, kept once it is gone
        self.inodes = {"": pyfuse3.ROOT_INODE}  # path -> inode, of what is there
        self.numbers = itertools.count(pyfuse3.ROOT_INODE + 1)
        self.files, self.folders = {}, {}  # fh -> Opened
        self.folder_handles = itertools.count(1)
        self.delay, self.failing = 0.0, None
        self.cached = 0.0  # seconds the kernel may keep a name or its attributes
        self.resumed, self.held_now, self.released = trio.Event(), trio.Event(), trio.Event()
        self.resumed.set()
        self.killable = True
        self.arrived = self.answered = 0
        self.hold_at, self.held = None, None

    # Paths and inodes.
    def inode_of(self, path):
        if path not in self.inodes:
            self.inodes[path] = next(self.numbers)
            self.paths[self.inodes[path]] = path
        return self.inodes[path]

    def path_of(self, inode):
        """An inode's name; one removed or replaced meanwhile is stale, as an NFS
        server says, and the kernel then looks its name up once more."""
        path = self.paths.get(inode)
        if path is None or self.inodes.get(path) != inode:
            raise pyfuse3.FUSEError(errno.ESTALE)
        return path

    def child(self, parent, name):
        base, name = self.path_of(parent), os.fsdecode(name)
        return f"{base}/{name}" if base else name

    def real(self, path):
        return os.path.join(self.backing, path) if path else self.backing

    def moved(self, old, new):
        self.inodes.pop(new, None)
        for path in [p for p in self.inodes if p == old or p.startswith(old + "/")]:
            inode = self.inodes.pop(path)
            self.inodes[new + path[len(old):]] = inode
            self.paths[inode] = new + path[len(old):]

    def entry(self, inode, info):
        attributes = pyfuse3.EntryAttributes()
        for name in COPIED_ATTRIBUTES:
            setattr(attributes, name, getattr(info, name))
        attributes.st_ino = inode
        attributes.entry_timeout = attributes.attr_timeout = self.cached
        return attributes

    def stat_of(self, inode):
        """From an open file where there is one: it may have lost its name."""
        fd = next((fh for fh, opened in self.files.items() if opened.inode == inode), None)
        return os.fstat(fd) if fd is not None else os.lstat(self.real(self.path_of(inode)))

    def own(self, path, parent, ctx):
        folder = os.stat(self.real(self.path_of(parent)))
        gid = folder.st_gid if folder.st_mode & stat.S_ISGID else ctx.gid
        os.lchown(self.real(path), ctx.uid, gid)

    def opened_file(self, fh, op):
        return op, self.paths.get(self.files[fh].inode), self.files[fh].caller

    # Every call passes here first: the test's hold, pause, delay and failure.
    async def gate(self, op, path, caller):
        if caller == self.watcher:
            return
        self.arrived += 1
        if self.arrived == self.hold_at:
            self.hold_at, self.held = None, {"op": op, "path": path}
            self.held_now.set()
            await self.released.wait()
        await self.wait(self.resumed, caller if self.killable else 0)
        if self.delay:
            await self.wait(trio.Event(), caller, self.delay)
        self.answered += 1
        if self.failing:
            raise pyfuse3.FUSEError(self.failing)

    async def wait(self, event, caller, seconds=float("inf")):
        deadline = trio.current_time() + seconds
        while not event.is_set() and trio.current_time() < deadline:
            with trio.move_on_at(min(deadline, trio.current_time() + KILLED_POLL)):
                await event.wait()
            if not event.is_set() and dying(caller):
                raise pyfuse3.FUSEError(errno.EINTR)

    # The calls, each passed on to the backing directory.
    @answered
    async def lookup(self, parent_inode, name, ctx):
        path = self.child(parent_inode, name)
        await self.gate("lookup", path, ctx.pid)
        return self.entry(self.inode_of(path), os.lstat(self.real(path)))

    @answered
    async def getattr(self, inode, ctx):
        await self.gate("getattr", self.paths.get(inode), ctx.pid)
        return self.entry(inode, self.stat_of(inode))

    @answered
    async def setattr(self, inode, attr, fields, fh, ctx):
        await self.gate("setattr", self.paths.get(inode), ctx.pid)
        target = fh if fh in self.files else self.real(self.path_of(inode))
        if fields.update_size:
            os.truncate(target, attr.st_size)
        if fields.update_uid or fields.update_gid:
            os.chown(target, attr.st_uid if fields.update_uid else -1,
                     attr.st_gid if fields.update_gid else -1)
        if fields.update_mode:
            os.chmod(target, stat.S_IMODE(attr.st_mode))
        if fields.update_atime or fields.update_mtime:
            now = os.stat(target)
            os.utime(target, ns=(attr.st_atime_ns if fields.update_atime else now.st_atime_ns,
                                 attr.st_mtime_ns if fields.update_mtime else now.st_mtime_ns))
        return self.entry(inode, self.stat_of(inode))

    @answered
    async def readlink(self, inode, ctx):
        await self.gate("readlink", self.paths.get(inode), ctx.pid)
        return os.fsencode(os.readlink(self.real(self.path_of(inode))))

    @answered
    async def open(self, inode, flags, ctx):
        await self.gate("open", self.paths.get(inode), ctx.pid)
        fd = os.open(self.real(self.path_of(inode)),
                     flags & PASSED_FLAGS | os.O_NOFOLLOW | os.O_CLOEXEC)
        self.files[fd] = Opened(inode, process_of(ctx.pid))
        return pyfuse3.FileInfo(fh=fd, keep_cache=False)

    @answered
    async def create(self, parent_inode, name, mode, flags, ctx):
        path = self.child(parent_inode, name)
        await self.gate("create", path, ctx.pid)
        fd = os.open(self.real(path), flags & PASSED_FLAGS | os.O_CREAT | os.O_NOFOLLOW
                     | os.O_CLOEXEC, stat.S_IMODE(mode))
        try:
            self.own(path, parent_inode, ctx)
            os.fchmod(fd, stat.S_IMODE(mode))  # a new owner loses the set-id bits
            info = os.fstat(fd)
        except OSError:
            os.close(fd)
            raise
        self.files[fd] = Opened(self.inode_of(path), process_of(ctx.pid))
        return pyfuse3.FileInfo(fh=fd, keep_cache=False), self.entry(self.inode_of(path), info)

    @answered
    async def read(self, fh, off, size):
        await self.gate(*self.opened_file(fh, "read"))
        return os.pread(fh, size, off)

    @answered
    async def write(self, fh, off, buf):
        await self.gate(*self.opened_file(fh, "write"))
        return os.pwrite(fh, buf, off)

    @answered
    async def flush(self, fh):
        await self.gate(*self.opened_file(fh, "flush"))

    @answered
    async def fsync(self, fh, datasync):
        await self.gate(*self.opened_file(fh, "fsync"))
        (os.fdatasync if datasync else os.fsync)(fh)

    @answered
    async def release(self, fh):
        try:
            await self.gate(*self.opened_file(fh, "release"))
        finally:
            del self.files[fh]
            os.close(fh)

    @answered
    async def opendir(self, inode, ctx):
        await self.gate("opendir", self.paths.get(inode), ctx.pid)
        if not stat.S_ISDIR(self.stat_of(inode).st_mode):
            raise pyfuse3.FUSEError(errno.ENOTDIR)
        fh = next(self.folder_handles)
        self.folders[fh] = Opened(inode, process_of(ctx.pid))
        return fh

    @answered
    async def readdir(self, fh, start_id, token):
        opened = self.folders[fh]
        path = self.paths.get(opened.inode)
        await self.gate("readdir", path, opened.caller)
        if opened.entries is None or start_id == 0:
            opened.entries = sorted(os.listdir(self.real(self.path_of(opened.inode))))
        for index in range(start_id, len(opened.entries)):
            child = f"{path}/{opened.entries[index]}" if path else opened.entries[index]
            try:
                info = os.lstat(self.real(child))
            except FileNotFoundError:
                continue  # gone meanwhile
            if not pyfuse3.readdir_reply(token, os.fsencode(opened.entries[index]),
                                         self.entry(self.inode_of(child), info), index + 1):
                break

    @answered
    async def releasedir(self, fh):
        opened = self.folders.pop(fh)
        await self.gate("releasedir", self.paths.get(opened.inode), opened.caller)

    @answered
    async def fsyncdir(self, fh, datasync):
        opened = self.folders[fh]
        await self.gate("fsyncdir", self.paths.get(opened.inode), opened.caller)
        fd = os.open(self.real(self.path_of(opened.inode)), os.O_RDONLY | os.O_DIRECTORY)
        try:
            os.fsync(fd)
        finally:
            os.close(fd)

    @answered
    async def mkdir(self, parent_inode, name, mode, ctx):
        path = self.child(parent_inode, name)
        await self.gate("mkdir", path, ctx.pid)
        os.mkdir(self.real(path), stat.S_IMODE(mode))
        self.own(path, parent_inode, ctx)
        return self.entry(self.inode_of(path), os.lstat(self.real(path)))

    @answered
    async def unlink(self, parent_inode, name, ctx):
        path = self.child(parent_inode, name)
        await self.gate("unlink", path, ctx.pid)
        os.unlink(self.real(path))
        self.inodes.pop(path, None)

    @answered
    async def rmdir(self, parent_inode, name, ctx):
        path = self.child(parent_inode, name)
        await self.gate("rmdir", path, ctx.pid)
        os.rmdir(self.real(path))
        self.inodes.pop(path, None)

    @answered
    async def rename(self, parent_inode_old, name_old, parent_inode_new, name_new, flags, ctx):
        old, new = self.child(parent_inode_old, name_old), self.child(parent_inode_new, name_new)
        await self.gate("rename", f"{old} -> {new}", ctx.pid)
        if flags & pyfuse3.RENAME_EXCHANGE:
            raise pyfuse3.FUSEError(errno.EINVAL)
        if flags & pyfuse3.RENAME_NOREPLACE and os.path.lexists(self.real(new)):
            raise pyfuse3.FUSEError(errno.EEXIST)
        os.rename(self.real(old), self.real(new))
        self.moved(old, new)

    @answered
    async def statfs(self, ctx):
        await self.gate("statfs", "", ctx.pid)
        info, answer = os.statvfs(self.backing), pyfuse3.StatvfsData()
        for name in ("f_bsize", "f_frsize", "f_blocks", "f_bfree", "f_bavail", "f_files",
                     "f_ffree", "f_favail", "f_namemax"):
            setattr(answer, name, getattr(info, name))
        return answer

    async def forget(self, inode_list):
        pass  # an inode keeps its number for the mount's life

    # The control socket.
    async def command(self, request):
        do = request["do"]
        if do == "delay":
            self.delay = float(request["ms"]) / 1000
        elif do == "cache":
            self.cached = float(request["seconds"])
        elif do == "pause":
            self.killable = bool(request.get("killable", True))
            if self.resumed.is_set():
                self.resumed = trio.Event()
        elif do == "resume":
            self.resumed.set()
        elif do == "fail":
            error = request.get("errno")
            self.failing = getattr(errno, error) if isinstance(error, str) else error
        elif do == "hold":
            self.released.set()
            self.hold_at = self.arrived + int(request["nth"])
            self.held, self.held_now, self.released = None, trio.Event(), trio.Event()
        elif do == "held":
            with trio.move_on_after(float(request.get("wait_ms", 0)) / 1000):
                await self.held_now.wait()
            return {"held": self.held}
        elif do == "release":
            self.hold_at, self.held = None, None
            self.released.set()
        elif do == "calls":
            return {"calls": self.answered}
        elif do == "quit":
            self.stop()
        else:
            raise ValueError(f"unknown request {do!r}")
        return {}

    async def serve(self, stream):
        pending = b""
        async with stream:
            while chunk := await stream.receive_some(4096):
                pending += chunk
                while b"\n" in pending:
                    line, pending = pending.split(b"\n", 1)
                    try:
                        answer = {"ok": True, **await self.command(json.loads(line))}
                    except (ValueError, KeyError, TypeError, AttributeError) as error:
                        answer = {"ok": False, "error": str(error)}
                    await stream.send_all(json.dumps(answer).encode() + b"\n")

    def stop(self):
        self.resumed.set()
        self.released.set()
        pyfuse3.terminate()

    async def run(self, control):
        listening = trio.socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        await listening.bind(control)
        listening.listen()
        async with trio.open_nursery() as nursery:
            nursery.start_soon(trio.serve_listeners, self.serve, [trio.SocketListener(listening)])
            nursery.start_soon(self.stop_on_signal)
            nursery.start_soon(self.beat)
            print("ready", flush=True)
            await pyfuse3.main(max_tasks=200)
            nursery.cancel_scope.cancel()

    async def beat(self):
        while True:
            try:
                os.write(self.beats, b".")
            except BlockingIOError:
                pass  # the watcher has beats enough to read
            await trio.sleep(STUCK / 4)

    async def stop_on_signal(self):
        with trio.open_signal_receiver(signal.SIGTERM, signal.SIGINT) as signals:
            async for _ in signals:
                self.stop()


def watch(mountpoint, beats):
    """Wakes the server's loop when it stops beating. pyfuse3 waits until /dev/fuse
    is readable and then reads it blocking, holding the interpreter: a request
    withdrawn in between (its caller killed, or an interrupt whose call was just
    answered) leaves it blocked until another request comes. The watcher makes
    one, a statfs of the mount, which the server answers at once and does not
    count."""
    while True:
        ready, _, _ = select.select([beats], [], [], STUCK)
        if ready and not os.read(beats, 4096):
            return  # the server has ended
        if not ready:
            try:
                os.statvfs(mountpoint)
            except OSError:
                pass


def serve(backing, mountpoint, control):
    os.umask(0)  # the kernel has applied the caller's umask already
    # The watcher is forked first: it holds none of the mount's descriptors.
    beats_in, beats = os.pipe()
    watcher = os.fork()
    if watcher == 0:
        os.close(beats)
        watch(mountpoint, beats_in)
        os._exit(0)
    os.close(beats_in)
    os.set_blocking(beats, False)
    file_system = StallFileSystem(backing, watcher, beats)
    options = set(pyfuse3.default_options) | {"allow_other", "fsname=stallfs", "subtype=stallfs"}
    try:
        pyfuse3.init(file_system, mountpoint, options)
        try:
            trio.run(file_system.run, control)
        finally:
            pyfuse3.close(unmount=True)
    finally:
        os.close(beats)
        os.waitpid(watcher, 0)


def mounted(mountpoint):
    """Whether something is mounted at mountpoint, read from the mount table."""
    real = os.path.realpath(mountpoint)
    with open("/proc/self/mountinfo") as handle:
        points = [line.split()[4] for line in handle]
    return any(point.encode().decode("unicode_escape") == real for point in points)


class StallFs:
    """A stallfs mount in a subprocess, and the client of its control socket."""

    def __init__(self, process, mountpoint, scratch):
        self.process, self.mountpoint, self.scratch = process, mountpoint, scratch
        self.control = os.path.join(scratch, "control")

    @classmethod
    def mount(cls, backing, mountpoint, timeout=10.0):
        scratch = tempfile.mkdtemp(prefix="stallfs.")  # a socket's path must be short
        process = subprocess.Popen(
            [sys.executable, os.path.abspath(__file__), backing, mountpoint, "--control",
             os.path.join(scratch, "control")], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        mount = cls(process, mountpoint, scratch)
        ready, _, _ = select.select([process.stdout], [], [], timeout)
        if not ready or process.stdout.readline() != b"ready\n":
            mount.unmount()
            raise RuntimeError(f"stallfs did not mount {backing} at {mountpoint}")
        return mount

    def __enter__(self):
        return self

    def __exit__(self, *_):
        self.unmount()

    def ask(self, **request):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as connection:
            connection.settimeout(60)
            connection.connect(self.control)
            connection.sendall(json.dumps(request).encode() + b"\n")
            answer = b""
            while not answer.endswith(b"\n"):
                chunk = connection.recv(4096)
                if not chunk:
                    raise RuntimeError(f"stallfs closed the control socket at {request}")
                answer += chunk
        reply = json.loads(answer)
        if not reply.pop("ok"):
            raise RuntimeError(f"stallfs refused {request}: {reply['error']}")
        return reply

    def delay(self, ms):
        self.ask(do="delay", ms=ms)

    def cache(self, seconds):
        self.ask(do="cache", seconds=seconds)

    def pause(self, killable=True):
        self.ask(do="pause", killable=killable)

    def resume(self):
        self.ask(do="resume")

    def fail(self, error=errno.EIO):
        """Every call fails with error (an errno number or name); None: none fails."""
        self.ask(do="fail", errno=errno.errorcode.get(error, error))

    def hold(self, nth):
        self.ask(do="hold", nth=nth)

    def held(self, wait=0.0):
        """The held call as {"op", "path"}, waiting up to wait seconds; or None."""
        return self.ask(do="held", wait_ms=int(wait * 1000))["held"]

    def release(self):
        self.ask(do="release")

    def calls(self):
        return self.ask(do="calls")["calls"]

    def unmount(self):
        if self.process.poll() is None:
            try:
                self.ask(do="quit")
                self.process.wait(timeout=10)
            except (OSError, RuntimeError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()
        self.process.stdout.close()
        if mounted(self.mountpoint):  # the server died: its mount is left, broken
            subprocess.run(["umount", "--lazy", self.mountpoint], check=False)
        shutil.rmtree(self.scratch, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("backing")
    parser.add_argument("mountpoint")
    parser.add_argument("--control", required=True, help="the control socket's path")
    arguments = parser.parse_args()
    serve(arguments.backing, arguments.mountpoint, arguments.control)


if __name__ == "__main__":
    main()
