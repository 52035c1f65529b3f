# SPDX-License-Identifier: GPL-3.0-or-later
"""zarvoni.exe under Wine: the same session, read from X and from the screen.

Wine gives a Windows program no AT-SPI tree, and its UI Automation cannot walk
another process's controls (Wine 8). So the dialogs are told apart by their
titles; the exercise is read from a picture of the window, each character
matched with those the answer box shows, in the same font, when typed into; a
verdict is the red message, with the counters it changes. The record files say
the rest, byte for byte.
"""

import glob
import os
import re
import subprocess
from collections import namedtuple

from e2e_common import (
    GAME_TITLE, NAME_FILE, PROGRAM_NAME, SCORE_FILE, UNKNOWN_FORMS, StepFailed, run_quiet)
from e2e_play import equation, solve
from e2e_readonly import make_read_only
from e2e_session import Session

# Rectangles (left, top, right, bottom) in the window below its menu bar, in pixels
# (the control table's twips divided by 15): inside the answer box, each counter
# with the colour of its digits, the message, the record line, bare background.
ANSWER = (556, 108, 733, 180)
COUNTERS = {"right": ((62, 268, 122, 334), (0, 0, 0)),
            "wrong": ((358, 268, 418, 334), (255, 0, 0)),
            "all": ((622, 268, 682, 334), (0, 0, 255))}
MESSAGE = (16, 128, 401, 169)
RECORD_LINE = (160, 500, 742, 545)
BACKGROUND = (250, 300, 251, 301)
RED, CYAN = (255, 0, 0), (0, 255, 255)
DIGITS = ("0123", "4567", "89-")  # typed into the answer box a few at a time
Box = namedtuple("Box", "title texts")


class Screen:
    """A picture of the game window."""

    def __init__(self, window):
        data = subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, timeout=20,
                              check=False).stdout
        header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
        if not header:
            raise StepFailed(f"no picture of the window {window}")
        self.width, self.height = int(header[1]), int(header[2])
        self.px = data[header.end():]
        # The first cyan from the top: the terms' boxes, 17 pixels below the menu bar.
        self.top = next((y for y in range(self.height) if self.runs(y)), None)

    def near(self, x, y, colour, within=40):
        i = 3 * (y * self.width + x)
        return max(abs(a - b) for a, b in zip(self.px[i:i + 3], colour)) < within

    def runs(self, y):
        """Each run of cyan at least 15 pixels long in row y, as (start, end)."""
        found, start = [], None
        for x in range(self.width + 1):
            if x < self.width and self.near(x, y, CYAN):
                start = x if start is None else start
            elif start is not None:
                if x - start >= 15:
                    found.append((start, x))
                start = None
        return found

    def glyphs(self, left, top, right, bottom):
        """The dark characters on cyan in a rectangle, each as its pixels from its corner."""
        dark = {(x, y) for y in range(top, bottom) for x in range(left, right)
                if self.px[3 * (y * self.width + x) + 1] < 128}
        columns = {x for x, _ in dark}
        shapes = []
        for first in sorted(x for x in columns if x - 1 not in columns):
            last = first
            while last + 1 in columns:
                last += 1
            if last - first >= 3:  # narrower: the text cursor
                points = [(x, y) for x, y in dark if first <= x <= last]
                low = min(y for _, y in points)
                shapes.append(frozenset((x - first, y - low) for x, y in points))
        return shapes

    def terms(self):
        """The glyphs of each of the four terms, or None while they are not all shown."""
        boxes = []
        for left, right in self.runs(self.top + 3):
            bottom = next(y for y in range(self.top, self.height) if not self.near(left, y, CYAN))
            boxes.append(self.glyphs(left + 2, self.top + 2, right - 2, bottom - 2))
        return boxes if len(boxes) == 4 and all(boxes) else None

    def answer(self):
        left, top, right, bottom = ANSWER
        return self.glyphs(left, top + self.top - 17, right, bottom + self.top - 17)

    def pixels(self, rectangle, colour, within=40):
        """The points of a rectangle that have the colour, or one close to it."""
        left, top, right, bottom = rectangle
        return {(x, y) for y in range(top, bottom) for x in range(left, right)
                if self.near(x, y + self.top - 17, colour, within)}

    def record_line(self):
        """The record line's text: only its own cyan, not the edges its letters share
        with a background whose colours each exercise draws anew."""
        return self.pixels(RECORD_LINE, CYAN, within=8)

    def ready(self):
        """Four terms, an empty answer box, no verdict."""
        return self.terms() is not None and not self.answer() and not self.pixels(MESSAGE, RED)


def read(shapes, templates):
    """A term as the game writes it ("-12", "3x"), each character the nearest typed
    one; one near none is the unknown's letter."""
    text = ""
    for shape in shapes:
        # The share of the typed character's pixels that differ, at the best of
        # nine one-pixel shifts.
        off, char = min((min(len({(x + dx, y + dy) for x, y in shape} ^ typed)
                             for dx in (-1, 0, 1) for dy in (-1, 0, 1)) / len(typed), char)
                        for char, typed in templates.items())
        text += char if off < 0.5 else "X"
    if text.endswith("X"):
        coefficient = int(text[:-1] or 1)
        return next((f for f, c in UNKNOWN_FORMS.items() if c == coefficient), text)
    return text


class WineSession(Session):
    """The session of a scenario that plays zarvoni.exe in the caller's WINEPREFIX."""

    main = None
    templates = None
    answered = ()

    def start_helpers(self):
        self.step("starting Xvfb and openbox, with an Italian keyboard")
        self.start_desktop()
        # Wine reads the keyboard as it starts: with the Italian layout, "ò" is a key.
        result = run_quiet(["setxkbmap", "it"])
        self.check(result.returncode == 0, "setxkbmap it to succeed", result.stdout)

    def start_game(self):
        self.step("starting zarvoni.exe under Wine")
        with open(self.game_log, "ab") as handle:
            self.game = subprocess.Popen(["wine", self.binary], env=self.env, cwd=self.work,
                                         stdin=subprocess.DEVNULL, stdout=handle,
                                         stderr=subprocess.STDOUT)
        self.main, self.answered = None, set()

    def stop(self):
        super().stop()
        run_quiet(["wineserver", "-k"])

    def describe_tree(self):
        return "(Wine shows no accessibility tree)\n"

    def windows(self):
        """(id, title) of each window on screen; one that goes while it is asked its
        title (a program that ends closes them all) is gone."""
        shown = []
        found = run_quiet(["xdotool", "search", "--onlyvisible", "--name", "."]).stdout.split()
        for window in (word for word in found if word.isdigit()):
            title = run_quiet(["xdotool", "getwindowname", window])
            if title.returncode == 0 and not title.stdout.startswith("X Error"):
                shown.append((window, title.stdout.strip()))
        return shown

    def boxes(self):
        """The windows on screen that no step has answered (their texts unknown)."""
        return [Box(title, ()) for window, title in self.windows()
                if window not in self.answered and window != self.main]

    def wait_window(self, what, title):
        """Waits for a new active window whose title starts with title; its id."""

        def probe():
            active = run_quiet(["xdotool", "getactivewindow"]).stdout.strip()
            shown = self.windows()
            for window, name in shown:
                if window == active and window not in self.answered and name.startswith(title):
                    self.answered.add(window)
                    return True, window
            return False, shown

        return self.wait_until(what, probe)

    def screen(self, what, probe):
        """Waits until probe(picture) holds for a picture of the game window; the picture."""

        def looked():
            screen = Screen(self.main)
            return screen.top is not None and probe(screen), screen

        return self.wait_until(what, looked)

    def start(self, name):
        """Name, greeting, then the window with its first exercise; its picture."""
        self.start_game()
        self.step(f"the name prompt: typing {name!r}")
        self.wait_window("the name prompt", GAME_TITLE)
        self.type_text(name)
        self.key("Return")
        self.dismiss_box(GAME_TITLE)  # the greeting
        self.step("the window with its first exercise")
        self.main = self.wait_window("the game window", GAME_TITLE)
        if self.templates is None:
            self.step("the answer box's characters, typed a few at a time")
            self.templates = {}
            for chunk in DIGITS:
                self.type_text(chunk)
                shown = self.screen(f"{chunk!r} in the answer box",
                                    lambda s, n=len(chunk): len(s.answer()) == n)
                self.templates.update(zip(chunk, shown.answer()))
                self.key(*["BackSpace"] * len(chunk))
        return self.screen("the first exercise, ready for an answer", Screen.ready)

    def answer(self, number, correct):
        """Solves the exercise on screen, types a right or a wrong answer, presses
        Enter and checks which counters the verdict changes."""
        terms = [read(shapes, self.templates) for shapes in Screen(self.main).terms()]
        solution = solve(terms)
        given = str(solution if correct else solution + 1)
        self.step(f"answer {number}: {equation(terms)}, typing {given} "
                  f"({'right' if correct else 'wrong'})")
        self.type_text(given)
        before = self.screen(f"the answer box to show {given}",
                             lambda s: read(s.answer(), self.templates) == given)
        self.key("Return")
        after = self.screen("the verdict, in red", lambda s: s.pixels(MESSAGE, RED))
        seen = {name: before.pixels(*place) != after.pixels(*place)
                for name, place in COUNTERS.items()}
        seen["black"] = bool(after.pixels(BACKGROUND, (0, 0, 0)))
        # A wrong answer turns the background black: the black count of right
        # answers no longer shows.
        expected = ({"right": True, "wrong": False, "all": True, "black": False} if correct
                    else {"wrong": True, "all": True, "black": True})
        self.check(all(seen[name] == value for name, value in expected.items()),
                   f"changed after a {'right' if correct else 'wrong'} answer: {expected}", seen)

    def next_exercise(self):
        self.step("Enter on the focused 'Nuovo calcolo' button")
        self.key("Return")
        self.screen("a new exercise, ready for an answer", Screen.ready)

    def dismiss_box(self, title, key="Return"):
        self.step(f"the box titled {title!r}...")
        self.wait_window(f"a box titled {title!r}...", title)
        self.key(key)

    def end(self, stored):
        """Alt+X: the farewell, the confirmation when a record is stored, the end."""
        self.key("alt+x")
        self.dismiss_box("Data ")
        if stored:
            self.dismiss_box(PROGRAM_NAME)
        self.wait_exit("after the farewell" + (" and the confirmation" if stored else ""))


def check_pair(s, directory, score, name):
    for file_name, expected in ((SCORE_FILE, score), (NAME_FILE, name)):
        path = os.path.join(directory, file_name)
        data = open(path, "rb").read() if os.path.exists(path) else None
        s.check(data == expected, f"{path} holding {expected!r}", repr(data))


def windows_directory(s):
    """C:\\windows, emptied of a record an earlier scenario left there."""
    windows = os.path.join(os.path.dirname(os.path.dirname(s.record_dir)), "windows")
    for file_name in (SCORE_FILE, NAME_FILE):
        if os.path.exists(os.path.join(windows, file_name)):
            os.remove(os.path.join(windows, file_name))
    return windows


def wine_game(s):
    """A first game stores its record in C:\\ProgramData\\Zarvoni, CR LF in Windows-1252;
    a second shows its holder; a record left in C:\\windows is shown while that folder
    holds none, and moves there with the next store."""
    windows = windows_directory(s)
    first = (b"1\r\n", "Niccolò\r\n".encode("cp1252"))
    empty = s.start("Niccolò").record_line()
    s.answer(1, True)
    s.next_exercise()
    s.answer(2, False)
    s.end(stored=True)
    check_pair(s, s.record_dir, *first)

    holder = s.start("Anna").record_line()
    s.check(len(holder) > len(empty) + 100, "the holder and the score in the record line",
            f"{len(holder)} cyan pixels there, {len(empty)} with no record")
    s.end(stored=False)
    check_pair(s, s.record_dir, *first)

    s.step("the record moved to C:\\windows, none left in C:\\ProgramData\\Zarvoni")
    for file_name in (SCORE_FILE, NAME_FILE):
        os.replace(os.path.join(s.record_dir, file_name), os.path.join(windows, file_name))
    legacy = s.start("Anna").record_line()
    s.check(len(legacy ^ holder) <= len(holder) // 10, "the record line of the second game",
            f"{len(legacy ^ holder)} of {len(holder)} cyan pixels differ")
    s.answer(1, True)
    s.next_exercise()
    s.answer(2, True)
    s.end(stored=True)
    check_pair(s, s.record_dir, b"2\r\n", b"Anna\r\n")
    check_pair(s, windows, *first)
    check_results(s, [("Niccolò", "1;1;2;sì"), ("Anna", "0;0;0;no"), ("Anna", "2;0;2;sì")])


def check_results(s, games):
    """Each game left its line beside the record; zarvoni-risultati.exe, which the
    Start menu's "Risultati di Zarvoni" runs, writes them as a sheet in Documents."""
    s.step("the results list beside the record, and the teacher's sheet")
    folder = os.path.join(s.record_dir, "risultati")
    lines = b"".join(open(os.path.join(folder, name), "rb").read()
                     for name in sorted(os.listdir(folder))).split(b"\n")
    s.check(len([line for line in lines if line]) == len(games), f"{len(games)} lines", lines)
    # Wine links Documents, Music, Desktop and the rest to one folder: Documents only.
    pattern = os.path.join(os.path.dirname(os.path.dirname(s.record_dir)), "users", "*",
                           "Documents", "Risultati di Zarvoni *.csv")
    for old in glob.glob(pattern):
        os.remove(old)
    program = os.path.join(os.path.dirname(s.binary), "zarvoni-risultati.exe")
    subprocess.run(["wine", program], env=s.env, cwd=s.work, stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=60, check=False)
    sheets = glob.glob(pattern)
    s.check(len(sheets) == 1, "one sheet in the Documents folder", sheets)
    data = open(sheets[0], "rb").read() if sheets else b""
    rows = data.decode("utf-8-sig", "replace").split("\r\n")
    seen = [(row.split(";")[3].strip('"'), ";".join(row.split(";")[4:8]).replace('"', ""))
            for row in rows[1:] if row]
    s.check(data.startswith(b"\xef\xbb\xbfData e ora;") and seen == games,
            f"the header and a row for each game, {games}", seen)


def wine_read_only(s):
    """The record folder read-only: a winning game gets the failure message instead
    of the confirmation, and ends normally with the folder as it was."""
    windows_directory(s)
    os.makedirs(s.record_dir)
    undo = make_read_only(s.record_dir, s.read_only_method)
    try:
        s.start("Mara")
        s.answer(1, True)
        s.key("alt+x")
        s.dismiss_box("Data ")
        s.dismiss_box(GAME_TITLE)
        s.wait_exit("after the message")
        s.check(os.listdir(s.record_dir) == [], "the record folder still empty",
                os.listdir(s.record_dir))
    finally:
        undo()
