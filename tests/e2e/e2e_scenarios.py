# SPDX-License-Identifier: GPL-3.0-or-later
"""The end-to-end scenarios, one function each, named in SCENARIOS."""

import os
import time

from e2e_common import (
    BUTTON_NO, BUTTON_YES, GAME_TITLE, KEPT_START, MENU_NEW_GAME, NAME_FILE, READ_FAILED_START,
    RESTART_PROMPT, RESTART_TITLE, SCORE_FILE, SILENT_NAMES, SPOKEN_PLUS, START_TIME,
    STOPWATCH_NAME, STORE_FAILED_START, log)
from e2e_lab import lab_server
from e2e_listener import FOCUS_MOVED, difference
from e2e_play import Play, spoken_exercise, time_value
from e2e_readonly import make_read_only
from e2e_records import check_records, check_unchanged, record_path, snapshot, write_record
from e2e_session import Session
from e2e_wine import WineSession, wine_game, wine_read_only


class Scenario:
    """A scenario's function, whether it needs a directory it can make read-only or
    the Orca screen reader, and the session it runs in."""

    def __init__(self, function, needs_read_only=False, needs_orca=False, session=Session):
        self.function = function
        self.needs_read_only = needs_read_only
        self.needs_orca = needs_orca
        self.session = session


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


def screen_reader(s):
    """A game by keyboard alone, as a blind pupil plays it: the focused control says
    each exercise and each verdict, and Tab from the answer box only ever reaches
    controls a pupil can see."""
    play = Play(s)
    s.start_game()
    view = play.start("Olga")
    s.step("the controls a screen reader finds")
    names = [control.name for control in view.controls]
    for silent in SILENT_NAMES:
        s.check(silent not in names, f"no control named {silent!r}", names)
    for named in (STOPWATCH_NAME, SPOKEN_PLUS, "uguale"):
        s.check(named in names, f"a control named {named!r}", names)
    for number, correct in enumerate((True, False, True, False), start=1):
        if number > 1:
            play.next_exercise()
        tab_round(s)
        play.answer(number, correct)
    play.farewell("Olga")
    play.confirmation()
    s.wait_exit("after the confirmation")
    check_records(s, b"2\r\n", b"Olga\r\n")


def orca(s):
    """With the Orca screen reader listening, a pupil who only listens hears each
    exercise, every next one too, and each verdict with the right answer and the
    counters; the last next exercise is asked for with Alt+N from the answer box,
    where the focus does not move."""
    reader = s.start_orca()
    play = Play(s)
    s.start_game()
    play.start("Dario")
    for number, correct in enumerate((False, True, False), start=1):
        if number == 2:
            play.next_exercise()
        elif number == 3:
            back_to_the_answer_box(s)
            s.step("Alt+N in the answer box")
            s.key("alt+n")
            s.wait_window("a new exercise, ready for an answer", lambda v: v.ready_for_answer())
        sentence = spoken_exercise(s.window())
        ways = [sentence]
        if number == 3:
            # Announced, not read with the focus: Orca names the role first, in the
            # same sentence (Orca 43) or in one of its own (Orca 48).
            ways = [f"notification {sentence}", ("notification", sentence)]
        s.step(f"Orca says the exercise: {sentence!r}")
        reader.wait_for(*ways)
        play.answer(number, correct)
        s.step(f"Orca says the verdict: {play.verdict!r}")
        reader.wait_for(play.verdict)
    log(f"    Orca said: {reader.spoken!r}")
    # The end of the game is another scenario's; the session ends this one.


# What an exercise (a digit, Enter, Enter) may tell a screen reader: the digit
# typed (the text and the caret), then twice the focus moving (off one control,
# onto the other, and the focus event).
MAX_EVENTS_PER_EXERCISE = 8
COUNTED_EXERCISES = 10
IDLE_SECONDS = 3.0


def accessibility_events(s):
    """A listener subscribed to every accessibility event hears nothing while the
    game waits, and at most eight events an exercise as a pupil plays."""
    listener = s.start_listener()
    play = Play(s)
    s.start_game()
    play.start("Ugo")
    s.step(f"{IDLE_SECONDS:.0f} s with nobody typing")
    before = listener.settled(lambda counts: True)
    started = time.monotonic()

    def idle():
        heard = difference(listener.counts(), before)
        s.check(not heard, "no event while the game waits", heard)
        return time.monotonic() - started >= IDLE_SECONDS, heard

    s.wait_until("the idle seconds to pass", idle)
    s.step(f"{COUNTED_EXERCISES} exercises, each a digit, Enter, Enter")
    s.key(*(["5", "Return", "Return"] * COUNTED_EXERCISES))
    moves = before.get(FOCUS_MOVED, 0) + 4 * COUNTED_EXERCISES
    after = listener.settled(lambda counts: counts.get(FOCUS_MOVED, 0) >= moves)
    s.wait_window(f"exercise {COUNTED_EXERCISES + 1}, ready for an answer",
                  lambda v: v.ready_for_answer() and v.counters()[2] == str(COUNTED_EXERCISES))
    heard = difference(after, before)
    each = sum(heard.values()) / COUNTED_EXERCISES
    log(f"    events an exercise: {each:.1f}, "
        + ", ".join(f"{kind} {count / COUNTED_EXERCISES:.1f}" for kind, count in heard.items()))
    s.check(each <= MAX_EVENTS_PER_EXERCISE,
            f"at most {MAX_EVENTS_PER_EXERCISE} events an exercise", heard)


def back_to_the_answer_box(s):
    s.step("Shift+Tab back to the answer box")
    focused = s.window().focused()
    for _ in range(4):
        focused = move_focus(s, "shift+Tab", focused).focused()
        if focused.name == "Risposta":
            return
    s.check(False, "the focus back in the answer box within four Shift+Tabs", focused)


def move_focus(s, key, focused):
    """Press key and wait for the focus to leave the control that has it; the view
    with the control that has it now."""
    before = focused.name if focused else None
    s.key(key)

    def moved(view):
        now = view.focused()
        return now is not None and now.name != before

    return s.wait_window(f"the focus to move on from {before!r} to a control of the window",
                         moved)


def tab_round(s):
    """Tab from the answer box until the focus is back in it: every control on the
    way is one a pupil can see, not one that another control covers."""
    s.step("Tab from the answer box, round to it again")
    previous = s.window().focused()
    s.check(previous is not None and previous.name == "Risposta", "the focus in the answer box",
            previous)
    visited = []
    while True:
        view = move_focus(s, "Tab", previous)
        previous = view.focused()
        visited.append(previous.name)
        s.check(previous.showing and view.covering(previous) is None,
                "the focus on a control that shows", f"{previous}, covered by "
                f"{view.covering(previous)}")
        if previous.name == "Risposta":
            break
        s.check(len(visited) < 4, "the focus back in the answer box within three Tabs", visited)
    log(f"    Tab visited {visited}")


def answer_message(s, text_start, part, named):
    """Waits for the game's box saying text_start..., checks that the message
    holds part, which names the path named, and answers it with Enter."""
    box = s.wait_box(GAME_TITLE, text_start=text_start)
    message = next(t for t in box.texts if t.startswith(text_start))
    s.check(part in message, f"the message naming {named}", repr(message))
    s.dismiss(box, "Return")


def bad_file_game(s, problem_file, player):
    """The game with a bad record file: the message at start-up names the file,
    the game goes on, and the end leaves the files as they were, its better score
    kept beside them for the next game that can write them."""
    before = snapshot(s.record_dir)
    play = Play(s)
    s.start_game()
    play.name_prompt(player)
    play.greeting(player)
    s.step("the message about the bad record file")
    path = record_path(s, problem_file)
    answer_message(s, READ_FAILED_START, path + ":", path)
    s.step("the game goes on")
    view = s.wait_window("the first exercise, ready for an answer",
                         lambda v: v.ready_for_answer())
    s.check(view.label("lblpunti") == "" and view.label("lblnome") == "",
            "an empty record line", view)
    play.play("R")
    play.farewell(player)
    s.step("the record cannot be stored over a bad file: it is kept")
    answer_message(s, KEPT_START, path + ":", path)
    s.wait_exit("after the message, with no confirmation")
    after = snapshot(s.record_dir)
    kept = [name for name in after if name.startswith(".zarvoni.kept.")]
    s.check(len(kept) == 1 and after[kept[0]][1] == f"1\r\n{player}\r\n".encode(),
            "the score kept beside the record files", [after[name][1] for name in kept])
    s.check({name: after[name] for name in after if name not in kept} == before,
            "the record directory otherwise unchanged", after)


def bad_score_directory(s):
    """A directory stands where the score file should be."""
    os.makedirs(os.path.join(s.record_dir, SCORE_FILE, "inside"))
    write_record(s, NAME_FILE, b"Zoe\r\n")
    bad_file_game(s, SCORE_FILE, "Ivo")


def altered_records(s):
    """Record files altered by hand are shown as they are, read by the leading
    number, and replaced when beaten."""
    os.makedirs(s.record_dir)
    write_record(s, SCORE_FILE, b"\x01\x02")
    write_record(s, NAME_FILE, b"\x01\x02Zoe\xff\xfe\x7f\r\n")
    play = Play(s)
    s.start_game()
    view = play.start("Lia")
    s.check("Zoe" in view.label("lblnome"), "the altered name in the record line, no message",
            view)
    play.play("R")
    play.farewell("Lia")
    play.confirmation()
    s.wait_exit("after the confirmation")
    check_records(s, b"1\r\n", b"Lia\r\n")


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
        answer_message(s, STORE_FAILED_START, s.record_dir, s.record_dir)
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
    "altered_records": Scenario(altered_records),
    "read_only_directory": Scenario(read_only_directory, needs_read_only=True),
    "screen_reader": Scenario(screen_reader),
    "orca": Scenario(orca, needs_orca=True),
    "accessibility_events": Scenario(accessibility_events),
    "lab_server": Scenario(lab_server),
    # zarvoni.exe under Wine, in the WINEPREFIX of the caller (tests/wine/run).
    "wine_game": Scenario(wine_game, session=WineSession),
    "wine_read_only": Scenario(wine_read_only, needs_read_only=True, session=WineSession),
}
