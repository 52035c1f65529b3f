# SPDX-License-Identifier: GPL-3.0-or-later
"""The X session of one scenario: its helpers, the game process, input, waits and failures."""

import os
import subprocess
import time

from e2e_bus import AccessibilityBus
from e2e_common import POLL, WAIT, StepFailed, log, run_quiet
from e2e_listener import Listener
from e2e_orca import Orca
from e2e_screen import ScreenReader, centre_of, load_pyatspi
from e2e_xsession import XSession


class Session(ScreenReader):
    """The X session's helpers, the game process and what the screen reader sees."""

    def __init__(self, args):
        self.scenario = args.scenario
        self.binary = args.binary
        self.record_dir = args.record_dir
        self.config_file = args.config_file
        self.work = os.path.join(os.path.realpath(args.work_dir), args.scenario)
        self.failure_dir = args.failure_dir
        self.read_only_method = args.read_only_method
        self.x = self.bus = self.listener = None
        self.game = None
        self.orca = None
        self.game_log = os.path.join(self.work, "game.log")
        self.step_name = "setting up"
        self.started = time.monotonic()
        self.failure_count = 0
        self.dismissed = None
        home = os.path.join(self.work, "home")
        runtime = os.path.join(self.work, "runtime")
        os.makedirs(home, exist_ok=True)
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        os.chmod(runtime, 0o700)
        self.env = dict(os.environ)
        self.env.update({
            "HOME": home,
            "XDG_RUNTIME_DIR": runtime,
            "XDG_CONFIG_HOME": os.path.join(home, ".config"),
            "XDG_CACHE_HOME": os.path.join(home, ".cache"),
            "QT_QPA_PLATFORM": "xcb",
            "QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1",
            # A fixed locale gives a known short date in the farewell's title.
            "LC_ALL": "C.UTF-8",
            "LANG": "C.UTF-8",
        })
        for name in ("QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_STYLE_OVERRIDE",
                     "QT_ACCESSIBILITY", "LANGUAGE"):
            self.env.pop(name, None)
        os.environ.update({k: self.env[k] for k in ("HOME", "XDG_RUNTIME_DIR")})

    # ---- helpers of the session

    def start_helpers(self):
        self.step("starting Xvfb, openbox and the accessibility bus")
        self.start_desktop()
        load_pyatspi()

    def start_desktop(self):
        """A private X server with openbox, and a D-Bus session with the
        accessibility bus; this process and whatever the scenario starts use them."""
        self.x = XSession(self.work, env=self.env)
        self.bus = AccessibilityBus(self.x.env)
        self.env = self.bus.env
        os.environ.update({name: self.env[name]
                           for name in ("DISPLAY", "DBUS_SESSION_BUS_ADDRESS")})

    def start_orca(self):
        """Starts the Orca screen reader on the session's accessibility bus."""
        self.step("starting Orca")
        self.orca = Orca(self.work, self.bus)
        self.orca.wait_ready()
        return self.orca

    def start_listener(self):
        """Starts a listener subscribed to every accessibility event."""
        self.step("starting a listener of every accessibility event")
        self.listener = Listener(self.bus)
        return self.listener

    def stop(self):
        if self.game and self.game.poll() is None:
            self.game.kill()
            self.game.wait()
        if self.orca:
            self.orca.stop()
        for helper in (self.listener, self.bus, self.x):
            if helper:
                helper.close()

    # ---- steps, waits and failures

    def step(self, name):
        self.step_name = name
        log(f"  {time.monotonic() - self.started:5.1f} s  step: {name}")

    def wait_until(self, what, probe, timeout=WAIT):
        """Polls probe() -> (done, what it saw) until done, or fails naming what."""
        deadline = time.monotonic() + timeout
        seen = None
        while True:
            try:
                done, seen = probe()
            except StepFailed:
                raise
            except Exception as error:  # the accessibility tree changes under our feet
                done, seen = False, f"({type(error).__name__}: {error})"
            if done:
                return seen
            if self.game and self.game.poll() is not None and not getattr(probe, "after_exit",
                                                                          False):
                raise StepFailed(f"the game exited with status {self.game.returncode} while "
                                 f"waiting for {what}; last seen: {seen}{self.game_log_tail()}")
            if time.monotonic() > deadline:
                raise StepFailed(f"waited {timeout:.0f} s for {what}; last seen: {seen}")
            time.sleep(POLL)

    def check(self, condition, expected, seen):
        if not condition:
            raise StepFailed(f"expected {expected}; saw {seen}")

    def game_log_tail(self):
        try:
            with open(self.game_log, "rb") as handle:
                text = handle.read().decode("utf-8", "replace").strip()
        except OSError:
            return ""
        lines = [line for line in text.splitlines() if line.strip()][-10:]
        return ("\n  game output:\n    " + "\n    ".join(lines)) if lines else ""

    def record_failure(self, reason):
        self.failure_count += 1
        base = os.path.join(self.failure_dir, f"{self.scenario}-{self.failure_count}")
        shot = base + ".png"
        result = run_quiet(["import", "-window", "root", shot], timeout=20)
        if result.returncode != 0:
            shot = f"(no screenshot: {result.stdout.strip()})"
        tree = base + "-accessibility.txt"
        try:
            with open(tree, "w", encoding="utf-8") as handle:
                handle.write(self.describe_tree())
        except Exception as error:
            tree = f"(no accessibility tree: {error})"
        log(f"FAILED: scenario {self.scenario}, step '{self.step_name}':\n  {reason}\n"
            f"  screenshot: {shot}\n  accessibility tree: {tree}")

    # ---- the game process

    def start_game(self):
        self.step("starting the game")
        if self.game and self.game.poll() is None:
            raise StepFailed("a game is still running")
        handle = open(self.game_log, "ab")
        self.game = subprocess.Popen([self.binary], env=self.env, cwd=self.work,
                                     stdin=subprocess.DEVNULL, stdout=handle,
                                     stderr=subprocess.STDOUT)
        handle.close()

    def dismiss(self, box, key):
        """Answers the box with a key; the box may linger a moment on the bus."""
        self.dismissed = (box.title, tuple(box.texts))
        self.key(key)

    def wait_exit(self, what):
        """Waits for the game to end with status 0, failing if it shows a new box
        meanwhile (the one just answered may still be listed for a moment)."""

        def ended():
            if self.game.poll() is None:
                boxes = [box for box in self.boxes()
                         if (box.title, tuple(box.texts)) != self.dismissed]
                if boxes:
                    raise StepFailed(f"{what}: expected the game to end, but it shows "
                                     + "; ".join(str(box) for box in boxes))
            return self.game.poll() is not None, "still running"

        ended.after_exit = True
        self.wait_until(f"the game to end ({what})", ended)
        self.check(self.game.returncode == 0, "exit status 0",
                   f"exit status {self.game.returncode}{self.game_log_tail()}")
        self.check("non riesce a disegnare" not in self.game_log_tail(),
                   "every picture drawn", self.game_log_tail())

    # ---- input, as a pupil gives it

    def xdotool(self, *arguments):
        result = run_quiet(["xdotool", *arguments], timeout=20)
        if result.returncode != 0:
            raise StepFailed(f"xdotool {' '.join(arguments)} failed: {result.stdout.strip()}")
        return result.stdout.strip()

    def key(self, *keys):
        self.xdotool("key", "--delay", "40", *keys)

    def type_text(self, text):
        self.xdotool("type", "--delay", "40", "--", text)

    def click(self, accessible):
        x, y = centre_of(accessible)
        # No --sync: it waits for the pointer to move, forever when it is already there.
        self.xdotool("mousemove", str(x), str(y), "click", "1")

    # ---- waiting for what the screen reader sees

    def wait_box(self, title, text=None, text_start=None):
        def matches(box):
            return (box.title == title and (text is None or text in box.texts)
                    and (text_start is None
                         or any(t.startswith(text_start) for t in box.texts)))

        wanted = f"an active box titled {title!r}"
        if text is not None:
            wanted += f" saying {text!r}"
        if text_start is not None:
            wanted += f" saying {text_start!r}..."
        return self.wait_active_box(wanted, matches)

    def wait_box_title_start(self, title_start, text):
        return self.wait_active_box(
            f"an active box titled {title_start!r}... saying {text!r}",
            lambda box: box.title.startswith(title_start) and text in box.texts)

    def wait_active_box(self, wanted, matches):
        """Waits for an active box for which matches(box) holds, and returns it."""

        def found():
            boxes = self.boxes()
            for box in boxes:
                if box.active and matches(box):
                    return True, box
            return False, "; ".join(str(box) for box in boxes) or "no box"

        return self.wait_until(wanted, found)

    def wait_window(self, what, condition):
        def probe():
            view = self.window()
            if view is None:
                return False, "no window; boxes: " + ("; ".join(map(str, self.boxes())) or "none")
            return condition(view), view

        return self.wait_until(what, probe)
