# SPDX-License-Identifier: GPL-3.0-or-later
"""Running one scenario: checks and a clean record directory outside, the X session inside."""

import importlib.util
import os
import pwd
import shutil
import subprocess
import sys
import time
import traceback

from e2e_common import BUS_LAUNCHER, EXIT_SKIP, Skipped, StepFailed, log, run_quiet
from e2e_readonly import probe_read_only_method, release_directory
from e2e_scenarios import SCENARIOS
from e2e_session import Session


REQUIRED_TOOLS = ["Xvfb", "dbus-daemon", "dbus-send", "xdotool", "openbox", "xprop", "import"]


def is_inside(path, root):
    return os.path.commonpath([path, root]) == root and path != root


def outer_main(args, script):
    """Runs script --inside, which makes a private X session; returns the scenario's
    exit status."""
    record_dir = os.path.realpath(args.record_dir)
    build_root = os.path.realpath(args.build_root)
    if not is_inside(record_dir, build_root):
        log(f"refusing to run: the record directory {record_dir} is not inside the build "
            f"tree {build_root}; the scenarios empty it before they start")
        return 2
    missing = [tool for tool in REQUIRED_TOOLS if shutil.which(tool) is None]
    if not os.access(BUS_LAUNCHER, os.X_OK):
        missing.append(BUS_LAUNCHER)
    if importlib.util.find_spec("pyatspi") is None:
        missing.append(f"pyatspi for {sys.executable}")
    if SCENARIOS[args.scenario].needs_orca and shutil.which("orca") is None:
        missing.append("orca")
    if missing:
        log("cannot run: missing " + ", ".join(missing) + " (run tools/install-deps test)")
        return 2
    if not os.access(args.binary, os.X_OK):
        log(f"cannot run: no game binary at {args.binary}")
        return 2

    work = os.path.join(os.path.realpath(args.work_dir), args.scenario)
    failures = os.path.realpath(args.failure_dir)
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    os.makedirs(failures, exist_ok=True)
    for old in os.listdir(failures):
        if old.startswith(args.scenario + "-"):
            os.unlink(os.path.join(failures, old))

    release_directory(record_dir)
    shutil.rmtree(record_dir, ignore_errors=True)
    if os.path.exists(record_dir):
        log(f"cannot run: {record_dir} cannot be emptied")
        return 2

    prefix = []
    method = "chmod"
    if SCENARIOS[args.scenario].needs_read_only and os.geteuid() == 0:
        # Root writes through a mode of 0555; a read-only bind mount or the
        # immutable flag stop it, and failing both the game runs as nobody.
        forced = os.environ.get("ZARVONI_E2E_READ_ONLY", "")
        if forced in ("mount", "chattr"):
            method, reasons = forced, []
        elif forced == "nobody":
            method, reasons = None, ["ZARVONI_E2E_READ_ONLY=nobody"]
        else:
            method, reasons = probe_read_only_method(work)
        if method is None:
            method = "chmod"
            # Wine runs a prefix only for the user who owns it.
            prefix, problem = (unprivileged_prefix(args, record_dir, work, failures, script)
                               if SCENARIOS[args.scenario].session is Session
                               else ([], "Wine's prefix is root's"))
            if problem:
                log("skipped: as root this machine cannot make a directory read-only ("
                    + "; ".join(reasons) + ") and " + problem)
                return EXIT_SKIP

    inner = [sys.executable, script, "--inside",
             "--binary", os.path.realpath(args.binary), "--record-dir", record_dir,
             "--build-root", build_root, "--work-dir", args.work_dir,
             "--failure-dir", failures, "--read-only-method", method]
    if args.config_file:
        inner += ["--config-file", args.config_file]
    inner.append(args.scenario)
    command = prefix + inner
    started = time.monotonic()
    try:
        result = subprocess.run(command, check=False)
    finally:
        release_directory(record_dir)
    log(f"scenario {args.scenario}: {time.monotonic() - started:.1f} s, "
        + ("passed" if result.returncode == 0 else f"exit status {result.returncode}"))
    return result.returncode


def unprivileged_prefix(args, record_dir, work, failures, script):
    """The command prefix that runs the whole session as nobody, or why it cannot."""
    try:
        nobody = pwd.getpwnam("nobody")
    except KeyError:
        return [], "there is no user nobody"
    if shutil.which("setpriv") is None:
        return [], "setpriv is missing"
    os.makedirs(record_dir)
    for path in (record_dir, work, failures):
        os.chown(path, nobody.pw_uid, nobody.pw_gid)
    prefix = ["setpriv", f"--reuid={nobody.pw_uid}", f"--regid={nobody.pw_gid}",
              "--clear-groups", "env", f"HOME={work}"]
    check = run_quiet(prefix + ["sh", "-c", 'test -x "$1" && test -r "$2" && test -w "$3"',
                                "-", args.binary, script, record_dir])
    if check.returncode != 0:
        return [], "user nobody cannot reach the game, this script or the record directory"
    return prefix, None


def inner_main(args):
    """Runs the scenario in an X session and a D-Bus session of its own; returns the
    exit status."""
    scenario = SCENARIOS[args.scenario]
    session = scenario.session(args)
    log(f"scenario {args.scenario}: {scenario.function.__doc__.strip()}")
    status = 0
    try:
        session.start_helpers()
        scenario.function(session)
        log(f"scenario {args.scenario} passed")
    except Skipped as reason:
        log(f"skipped: {reason}")
        status = EXIT_SKIP
    except StepFailed as failure:
        session.record_failure(str(failure))
        status = 1
    except Exception:
        session.record_failure("unexpected error:\n" + traceback.format_exc())
        status = 1
    finally:
        session.stop()
    return status
