#!/usr/bin/python3
"""End-to-end scenarios: the real zarvoni binary on a private X server.

Each scenario starts the built game on Xvfb with openbox as window manager,
types and clicks with xdotool as a pupil does, reads the window through AT-SPI
the way a screen reader does, and compares the record files byte for byte.

    zarvoni_e2e.py --binary B --record-dir D --build-root R --work-dir W \
                   --failure-dir F SCENARIO

The record directory is the one baked into the binary; it must lie inside the
build tree, and the scenario empties it before it starts. Run with Debian's
/usr/bin/python3, which has pyatspi. Exit status: 0 passed, 1 failed, 2 cannot
run here, 77 skipped (the machine cannot make a directory read-only).

As root, the read-only directory is a read-only bind mount, else the immutable
flag, else the whole session runs as the user nobody with a mode of 0555; the
environment variable ZARVONI_E2E_READ_ONLY=mount|chattr|nobody picks one.
"""

import argparse
import importlib.util
import os
import pwd
import shutil
import signal
import subprocess
import sys
import time
import traceback

# The driver's other modules lie beside this script, whatever the current
# directory; none of them may leave compiled files in the source tree.
sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.realpath(__file__))
if HERE not in sys.path:
    sys.path.insert(0, HERE)

from e2e_common import (  # noqa: E402
    BUS_LAUNCHER, BUTTON_NO, BUTTON_YES, EXIT_SKIP, GAME_TITLE, MENU_NEW_GAME, NAME_FILE,
    READ_FAILED_START, RESTART_PROMPT, RESTART_TITLE, SCORE_FILE, START_TIME,
    STORE_FAILED_START, StepFailed, log, run_quiet)
from e2e_readonly import make_read_only, probe_read_only_method, release_directory  # noqa: E402
from e2e_play import Play, time_value  # noqa: E402
from e2e_records import (  # noqa: E402
    check_records, check_unchanged, record_path, snapshot, write_record)
from e2e_session import Session  # noqa: E402


# --------------------------------------------------------------------------
# The outer part: checks, a clean record directory, then the X session


REQUIRED_TOOLS = ["xvfb-run", "dbus-run-session", "xdotool", "openbox", "xprop", "import"]


def is_inside(path, root):
    return os.path.commonpath([path, root]) == root and path != root


def outer_main(args):
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
            prefix, problem = unprivileged_prefix(args, record_dir, work, failures)
            if problem:
                log("skipped: as root this machine cannot make a directory read-only ("
                    + "; ".join(reasons) + ") and " + problem)
                return EXIT_SKIP

    inner = [sys.executable, os.path.abspath(__file__), "--inside",
             "--binary", os.path.realpath(args.binary), "--record-dir", record_dir,
             "--build-root", build_root, "--work-dir", args.work_dir,
             "--failure-dir", failures, "--read-only-method", method, args.scenario]
    command = prefix + ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24 -nolisten tcp",
                        "dbus-run-session", "--"] + inner
    started = time.monotonic()
    try:
        result = subprocess.run(command, check=False)
    finally:
        release_directory(record_dir)
    log(f"scenario {args.scenario}: {time.monotonic() - started:.1f} s, "
        + ("passed" if result.returncode == 0 else f"exit status {result.returncode}"))
    return result.returncode


def unprivileged_prefix(args, record_dir, work, failures):
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
                                "-", args.binary, os.path.abspath(__file__), record_dir])
    if check.returncode != 0:
        return [], "user nobody cannot reach the game, this script or the record directory"
    return prefix, None


# --------------------------------------------------------------------------
# The scenarios


class Scenario:
    def __init__(self, function, needs_read_only=False):
        self.function = function
        self.needs_read_only = needs_read_only


def first_run(s):
    """No record directory yet; five answers; Alt+X stores the first record."""
    play = Play(s)
    s.start_game()
    play.start("Anna")
    s.step("the record files, created empty at start-up")
    check_records(s, b"", b"")
    view = s.window()
    s.check(view.label("lblpunti") == "" and view.label("lblnome") == "",
            "an empty record line", view)

    play.answer(1, True, prefix_keys="ab +.")
    for number, correct in ((2, False), (3, True), (4, True), (5, False)):
        play.next_exercise()
        play.answer(number, correct)
    play.farewell("Anna")
    play.confirmation()
    s.step("the end of the game")
    s.wait_exit("after the confirmation")
    check_records(s, b"3\r\n", b"Anna\r\n")


def second_run(s):
    """A stored record is shown; a lower and then an equal score store nothing."""
    os.makedirs(s.record_dir)
    write_record(s, SCORE_FILE, b"2\r\n")
    write_record(s, NAME_FILE, "Nicolò\r\n".encode("cp1252"))
    os.utime(record_path(s, SCORE_FILE), ns=(1_000_000_000, 1_000_000_000))
    before = snapshot(s.record_dir)
    play = Play(s)
    for player, pattern in (("Bruna", "RW"), ("Carlo", "WRR")):
        s.start_game()
        view = play.start(player)
        s.step("the record line")
        s.check(view.label("lblpunti") == "2\r\n" and view.label("lblnome") == "Nicolò\r\n",
                "the record line showing '2\\r\\n' held by 'Nicolò\\r\\n'", view)
        play.play(pattern)
        play.farewell(player)
        s.step(f"the end of {player}'s game, {play.right} right against a record of 2")
        s.wait_exit("after the farewell, with no record to store")
        check_unchanged(s, before, f"after {player}'s game")


def new_game(s):
    """The menu "Nuovo  gioco": No goes on with the game, Yes starts a new one."""
    play = Play(s)
    s.start_game()
    play.start("Dario")
    play.play("RW")

    s.step(f"clicking the menu '{MENU_NEW_GAME}'")
    view = s.window()
    s.check(MENU_NEW_GAME in view.menus, f"the menu {MENU_NEW_GAME!r}", list(view.menus))
    s.click(view.menus[MENU_NEW_GAME])
    box = s.wait_box(RESTART_TITLE, text=RESTART_PROMPT)
    s.check(set(box.buttons) == {BUTTON_YES, BUTTON_NO}, "the buttons Sì and No",
            list(box.buttons))
    s.step("Enter answers the question with its default, No; then the menu opens")
    s.dismiss(box, "Return")
    s.wait_until("the question to close and the menu to open", lambda: (
        not any(b.title == RESTART_TITLE for b in s.boxes()) and s.window().menu_open(),
        f"{'; '.join(map(str, s.boxes()))}; menu open: {s.window().menu_open()}"))
    s.step("Escape closes the menu, a second Escape leaves the menu bar")
    s.key("Escape")
    s.wait_until("the menu to close", lambda: (not s.window().menu_open(), "menu open"))
    s.key("Escape")
    view = s.wait_window("the game to go on: the window active, 'Nuovo calcolo' focused",
                         lambda v: v.active and v.next_state() == "enabled, focused")
    s.check(view.label("lblnome1") == "Dario" and view.counters() == ("1", "1", "2"),
            "the same player and counters 1, 1, 2", view)
    before_clock = time_value(view.label("lblconto"))
    view = s.wait_window("the clock to keep ticking",
                         lambda v: time_value(v.label("lblconto")) < before_clock)
    play.next_exercise()
    play.answer(3, True)
    clock_before_restart = time_value(s.window().label("lblconto"))

    s.step(f"clicking the menu '{MENU_NEW_GAME}' again")
    s.click(s.window().menus[MENU_NEW_GAME])
    box = s.wait_box(RESTART_TITLE, text=RESTART_PROMPT)
    s.step("clicking Sì")
    s.click(box.buttons[BUTTON_YES])
    view = play.start("Elena")
    s.step("a fresh game")
    s.check(time_value(view.label("lblconto")) > clock_before_restart,
            f"the clock started over (it read {clock_before_restart} s before)", view)
    s.check(view.label("lblnome1") == "Elena", "the new player's name", view)
    frames = s.frame_names()
    s.check(len(frames) == 1, "one game window on screen", frames)
    s.step("leaving the new game at once")
    play.farewell("Elena")
    s.wait_exit("after the farewell; the abandoned game's score is not stored")
    check_records(s, b"", b"")


def close_window(s):
    """Closing the window with a better score ends the game and stores nothing."""
    os.makedirs(s.record_dir)
    write_record(s, SCORE_FILE, b"1\r\n")
    write_record(s, NAME_FILE, b"Zoe\r\n")
    before = snapshot(s.record_dir)
    play = Play(s)
    s.start_game()
    play.start("Fabio")
    play.play("RR")
    s.step("Alt+F4: the window manager closes the window")
    s.key("alt+F4")
    s.wait_exit("after closing the window, with no farewell")
    check_unchanged(s, before, "after closing the window")


def clock(s):
    """The clock loses two displayed seconds each real second; minimised, the
    title shows it; restored, the game goes on where it was."""
    play = Play(s)
    s.start_game()
    play.start("Gino")

    def next_change(previous):
        def probe():
            value = time_value(s.window().label("lblconto"))
            return value is not None and value != previous, value
        value = s.wait_until("the clock to change", probe)
        return value, time.monotonic()

    s.step("measuring the clock")
    first, _ = next_change(None)
    first, started = next_change(first)
    # Keep reading the screen for five real seconds, then take the next change.
    s.wait_until("five seconds to pass",
                 lambda: (time.monotonic() - started >= 5.0, s.window().label("lblconto")),
                 timeout=30)
    last, ended = next_change(time_value(s.window().label("lblconto")))
    elapsed = ended - started
    counted = first - last
    log(f"    the clock lost {counted} displayed seconds in {elapsed:.2f} real seconds")
    s.check(2 * elapsed * 0.85 - 1 <= counted <= 2 * elapsed + 1,
            f"about {2 * elapsed:.1f} displayed seconds lost in {elapsed:.2f} s", counted)

    s.step("typing a partial answer, then minimising the window")
    s.type_text("12")
    s.wait_window("the answer box to read '12'", lambda v: v.answer == "12")
    terms = s.window().terms()
    window_id = s.xdotool("getactivewindow")
    s.xdotool("windowminimize", "--sync", window_id)

    # A minimised window has no accessible name: read its title as the task bar does.
    def minimised_title(below):
        title = s.xdotool("getwindowname", window_id)
        shown = time_value(title)
        return shown is not None and shown < below, title

    title = s.wait_until("the minimised window's title to show the remaining time",
                         lambda: minimised_title(time_value(START_TIME)))
    title = s.wait_until(f"the minimised title to count down from {title}",
                         lambda: minimised_title(time_value(title)))

    s.step("restoring the window")
    s.xdotool("windowactivate", "--sync", window_id)
    view = s.wait_window(f"the title {GAME_TITLE!r} back and the window active",
                         lambda v: v.title == GAME_TITLE and v.active)
    s.check(time_value(view.label("lblconto")) <= time_value(title),
            f"the clock at or below the last minimised title {title}", view)
    s.check(view.terms() == terms and view.answer == "12" and view.label("lblMessage") == ""
            and view.counters() == ("0", "0", "0"),
            f"the same exercise {terms} with '12' in the box (no new exercise on activation)",
            view)
    s.step("finishing the answer after the restore")
    s.key("BackSpace", "BackSpace")
    s.wait_window("the answer box empty", lambda v: v.answer == "" and v.answer_focused)
    play.answer(1, True)
    play.farewell("Gino")
    play.confirmation()
    s.wait_exit("after the confirmation")
    check_records(s, b"1\r\n", b"Gino\r\n")


def bad_file_game(s, problem_file, player):
    """The game with a bad record file: the message at start-up names the file,
    the game goes on, and the end leaves the files as they were."""
    before = snapshot(s.record_dir)
    play = Play(s)
    s.start_game()
    play.name_prompt(player)
    play.greeting(player)
    s.step("the message about the bad record file")
    path = record_path(s, problem_file)
    box = s.wait_box(GAME_TITLE, text_start=READ_FAILED_START)
    message = next(t for t in box.texts if t.startswith(READ_FAILED_START))
    s.check(path + ":" in message, f"the message naming {path}", repr(message))
    s.dismiss(box, "Return")
    s.step("the game goes on")
    view = s.wait_window("the first exercise, ready for an answer",
                         lambda v: v.ready_for_answer())
    s.check(view.label("lblpunti") == "" and view.label("lblnome") == "",
            "an empty record line", view)
    play.right = play.wrong = 0
    play.play("R")
    play.farewell(player)
    s.step("the record cannot be stored over a bad file")
    box = s.wait_box(GAME_TITLE, text_start=STORE_FAILED_START)
    message = next(t for t in box.texts if t.startswith(STORE_FAILED_START))
    s.check(path + ":" in message, f"the message naming {path}", repr(message))
    s.dismiss(box, "Return")
    s.wait_exit("after the message, with no confirmation")
    check_unchanged(s, before, "after the game")


def bad_score_directory(s):
    """A directory stands where the score file should be."""
    os.makedirs(os.path.join(s.record_dir, SCORE_FILE, "inside"))
    write_record(s, NAME_FILE, b"Zoe\r\n")
    bad_file_game(s, SCORE_FILE, "Ivo")


def bad_name_bytes(s):
    """The name file holds binary bytes."""
    os.makedirs(s.record_dir)
    write_record(s, SCORE_FILE, b"4\r\n")
    write_record(s, NAME_FILE, b"\x00\x01Zoe\xff\xfe\x00\r\n")
    bad_file_game(s, NAME_FILE, "Lia")


def read_only_directory(s):
    """The directory turns read-only during a winning game: the store fails with
    its message, no confirmation, the old files stay, the exit status is 0."""
    os.makedirs(s.record_dir, exist_ok=True)
    write_record(s, SCORE_FILE, b"1\r\n")
    write_record(s, NAME_FILE, b"Zoe\r\n")
    before = snapshot(s.record_dir)
    play = Play(s)
    s.start_game()
    view = play.start("Mara")
    s.check(view.label("lblpunti") == "1\r\n", "the stored record 1 in the record line", view)
    play.play("RR")
    s.step(f"making the record directory read-only ({s.read_only_method})")
    undo = make_read_only(s.record_dir, s.read_only_method)
    try:
        play.farewell("Mara")
        s.step("the failed store")
        box = s.wait_box(GAME_TITLE, text_start=STORE_FAILED_START)
        message = next(t for t in box.texts if t.startswith(STORE_FAILED_START))
        s.check(s.record_dir in message, f"the message naming {s.record_dir}", repr(message))
        s.dismiss(box, "Return")
        s.wait_exit("after the message, with no confirmation")
    finally:
        undo()
    check_unchanged(s, before, "after the failed store")


SCENARIOS = {
    "first_run": Scenario(first_run),
    "second_run": Scenario(second_run),
    "new_game": Scenario(new_game),
    "close_window": Scenario(close_window),
    "clock": Scenario(clock),
    "bad_score_directory": Scenario(bad_score_directory),
    "bad_name_bytes": Scenario(bad_name_bytes),
    "read_only_directory": Scenario(read_only_directory, needs_read_only=True),
}


def inner_main(args):
    session = Session(args)
    scenario = SCENARIOS[args.scenario]
    log(f"scenario {args.scenario}: {scenario.function.__doc__.strip()}")
    status = 0
    try:
        session.start_helpers()
        scenario.function(session)
        log(f"scenario {args.scenario} passed")
    except StepFailed as failure:
        session.record_failure(str(failure))
        status = 1
    except Exception:
        session.record_failure("unexpected error:\n" + traceback.format_exc())
        status = 1
    finally:
        session.stop()
    return status


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--record-dir", required=True)
    parser.add_argument("--build-root", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--failure-dir", required=True)
    parser.add_argument("--read-only-method", default="chmod",
                        choices=["mount", "chattr", "chmod"])
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    return inner_main(args) if args.inside else outer_main(args)


if __name__ == "__main__":
    sys.exit(main())
