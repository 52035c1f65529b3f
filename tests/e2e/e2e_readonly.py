# SPDX-License-Identifier: GPL-3.0-or-later
"""Making the record directory read-only, even for root, and undoing it."""

import os
import shutil
import stat

from e2e_common import StepFailed, run_quiet


def is_writable_by_me(directory):
    probe = os.path.join(directory, ".zarvoni-e2e-probe")
    try:
        with open(probe, "wb"):
            pass
    except OSError:
        return False
    os.unlink(probe)
    return True


def has_immutable_flag(path):
    result = run_quiet(["lsattr", "-d", path])
    return result.returncode == 0 and "i" in result.stdout.split()[0]


def release_directory(directory):
    """Undoes whatever an interrupted run left on the directory: a read-only
    bind mount, the immutable flag, a missing write permission."""
    for _ in range(4):
        if not os.path.ismount(directory):
            break
        run_quiet(["umount", directory])
    if os.path.isdir(directory):
        if os.geteuid() == 0 and shutil.which("lsattr") and has_immutable_flag(directory):
            run_quiet(["chattr", "-i", directory])
        if os.stat(directory).st_uid == os.geteuid():
            os.chmod(directory, 0o755)


def make_read_only(directory, method):
    """Makes directory read-only by method ("mount", "chattr" or "chmod") and
    returns how to undo it; fails when the directory can still be written."""
    if method == "mount":
        for command in (["mount", "--bind", directory, directory],
                        ["mount", "-o", "remount,bind,ro", directory]):
            result = run_quiet(command)
            if result.returncode != 0:
                release_directory(directory)
                raise StepFailed(f"{' '.join(command)} failed: {result.stdout.strip()}")

        def undo():
            run_quiet(["umount", directory])
    elif method == "chattr":
        result = run_quiet(["chattr", "+i", directory])
        if result.returncode != 0:
            raise StepFailed(f"chattr +i failed: {result.stdout.strip()}")

        def undo():
            run_quiet(["chattr", "-i", directory])
    else:
        mode = stat.S_IMODE(os.stat(directory).st_mode)
        os.chmod(directory, 0o555)

        def undo():
            os.chmod(directory, mode)
    if is_writable_by_me(directory):
        undo()
        raise StepFailed(f"{directory} is still writable after making it read-only ({method})")
    return undo


def probe_read_only_method(scratch):
    """As root: the first way of making a directory read-only that works here."""
    reasons = []
    for method in ("mount", "chattr"):
        probe = os.path.join(scratch, f"probe-{method}")
        os.makedirs(probe, exist_ok=True)
        try:
            undo = make_read_only(probe, method)
            undo()
            return method, reasons
        except (StepFailed, OSError) as error:
            reasons.append(f"{method}: {error}")
        finally:
            release_directory(probe)
            shutil.rmtree(probe, ignore_errors=True)
    return None, reasons
