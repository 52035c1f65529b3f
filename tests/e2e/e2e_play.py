# SPDX-License-Identifier: GPL-3.0-or-later
"""What a pupil does with the game, step by step with its checks, and the equations it solves."""

import datetime
import re

from e2e_common import (
    BUTTON_NEXT, CORRECT, FAREWELL, GAME_TITLE, GREETING_END, NAME_PROMPT, PROGRAM_NAME,
    RECORD_STORED, SPOKEN_PLUS, START_TIME, UNKNOWN_FORMS, WRONG_PREFIX, StepFailed)
from e2e_screen import Box, is_focused, text_of


def solve(terms):
    """The value of the unknown in terms[0] + terms[1] = terms[2] + terms[3]."""
    values = []
    unknown = None
    for position, caption in enumerate(terms):
        if caption in UNKNOWN_FORMS:
            if unknown is not None:
                raise StepFailed(f"two unknowns in the exercise {terms!r}")
            unknown = (position, UNKNOWN_FORMS[caption])
            values.append(0)
        elif re.fullmatch(r"-?[0-9]+", caption or ""):
            values.append(int(caption))
        else:
            raise StepFailed(f"cannot read the term {caption!r} of the exercise {terms!r}")
    if unknown is None:
        raise StepFailed(f"no unknown in the exercise {terms!r}")
    position, coefficient = unknown
    left, right = values[0] + values[1], values[2] + values[3]
    # Move everything known to the other side of the unknown.
    total = right - left if position < 2 else left - right
    if total % coefficient != 0:
        raise StepFailed(f"the exercise {terms!r} has no whole-number answer")
    return total // coefficient


def equation(terms):
    a, b, c, d = terms
    right = f"{c} {d}" if d.startswith("-") else f"{c} + {d}"
    return f"{a} + {b} = {right}"


def spoken_term(caption):
    """A term as a screen reader should hear it: signs in words, "3x" as "3 x"."""
    if caption in UNKNOWN_FORMS:
        return " ".join(filter(None, (caption[:-1], caption[-1])))
    number = int(caption)
    return f"meno {-number}" if number < 0 else str(number)


def spoken_exercise(view):
    """The sentence a screen reader should speak for the exercise on screen."""
    terms = view.terms()
    plus_shown = view.label("Lblsegno2") == SPOKEN_PLUS
    a, b, c, d = (spoken_term(term) for term in terms)
    unknown = next(term for term in terms if term in UNKNOWN_FORMS)
    operator = " più " if plus_shown else " "
    return f"{a} più {b} uguale {c}{operator}{d}. Quanto vale {unknown[-1]}?"


def spoken_verdict(correct, solution, counters):
    answer = f"meno {-solution}" if solution < 0 else str(solution)
    verdict = (f"Esatto, la risposta giusta è {answer}. Sei forte!" if correct
               else f"Sbagliato, la risposta giusta era {answer}.")
    right, wrong, total = counters
    return f"{verdict} Risposte esatte {right}, errate {wrong}, totali {total}."


def time_value(text):
    match = re.fullmatch(r"(\d\d):(\d\d):(\d\d)", text or "")
    if not match:
        return None
    hours, minutes, seconds = (int(part) for part in match.groups())
    return hours * 3600 + minutes * 60 + seconds


class Play:
    """What a pupil does, step by step, with the checks after each."""

    def __init__(self, session):
        self.s = session
        self.right = 0
        self.wrong = 0
        # What a screen reader should have said of the last verdict.
        self.verdict = None

    def name_prompt(self, name):
        s = self.s
        s.step("the name prompt")
        box = s.wait_box(GAME_TITLE, text=NAME_PROMPT)

        def field(expected_text=None):
            again = Box(box.accessible)
            fields = [(text_of(f), is_focused(f)) for f in again.fields]
            done = len(fields) == 1 and fields[0][1] and (
                expected_text is None or fields[0][0] == expected_text)
            return done, f"{again}; fields (text, focused): {fields}"

        s.wait_until("the name field to have the focus", field)
        s.step(f"typing the name {name!r}")
        s.type_text(name)
        s.wait_until(f"the name field to read {name!r}", lambda: field(name))
        s.dismiss(box, "Return")

    def greeting(self, name):
        s = self.s
        s.step("the greeting")
        box = s.wait_box(GAME_TITLE, text=f" {name}{GREETING_END}")
        s.dismiss(box, "Return")

    def start(self, name):
        """Name, greeting, then the window with its first exercise."""
        self.name_prompt(name)
        self.greeting(name)
        self.right = self.wrong = 0
        s = self.s
        s.step("the window with its first exercise")
        view = s.wait_window("the first exercise, ready for an answer",
                             lambda v: v.ready_for_answer())
        s.check(view.title == GAME_TITLE, f"the window title {GAME_TITLE!r}", repr(view.title))
        s.check(view.label("lblnome1") == name, f"the player {name!r} in the challenger line",
                view)
        s.check(view.counters() == ("0", "0", "0"), "counters 0, 0, 0", view)
        clock = time_value(view.label("lblconto"))
        start = time_value(START_TIME)
        s.check(clock is not None and start - 10 <= clock <= start,
                f"the clock at {START_TIME} or a few ticks later", view)
        return view

    def answer(self, number, correct, prefix_keys=""):
        """Reads the exercise, types a right or a wrong answer, presses Enter in
        the box and checks the message, the counters and "Nuovo calcolo"."""
        s = self.s
        view = s.window()
        terms = view.terms()
        solution = solve(terms)
        given = solution if correct else solution + 1
        s.step(f"answer {number}: {equation(terms)}, typing {given} "
               f"({'right' if correct else 'wrong'})")
        # The "+" before the fourth term gives way to that term's own minus sign.
        plus_shown = view.label("Lblsegno2") == SPOKEN_PLUS
        s.check(plus_shown != terms[3].startswith("-"),
                "the second '+' shown exactly when the fourth term has no minus sign", view)
        # What a screen reader speaks now: the focused answer box and its exercise.
        focused = view.focused()
        sentence = spoken_exercise(view)
        s.check(focused is not None and focused.name == "Risposta"
                and focused.description == sentence,
                f"the focused answer box described {sentence!r}", focused)
        if prefix_keys:
            # Letters and blanks never reach the box.
            s.type_text(prefix_keys)
        s.type_text(str(given))
        s.wait_window(f"the answer box to read {str(given)!r}",
                      lambda v: v.answer == str(given) and v.answer_focused)
        s.key("Return")
        if correct:
            self.right += 1
            message = CORRECT
        else:
            self.wrong += 1
            message = f"{WRONG_PREFIX}{solution}"
        counters = (str(self.right), str(self.wrong), str(self.right + self.wrong))
        view = s.wait_window("the verdict, with 'Nuovo calcolo' enabled and focused",
                             lambda v: v.label("lblMessage") != "" and
                             v.next_state() == "enabled, focused")
        s.check(view.label("lblMessage") == message, f"the message {message!r}",
                repr(view.label("lblMessage")))
        s.check(view.counters() == counters,
                f"counters right/wrong/total {counters}", f"{view.counters()} in {view}")
        s.check(view.terms() == terms, f"the exercise {terms} still shown", view)
        focused = view.focused()
        sentence = spoken_verdict(correct, solution, counters)
        s.check(focused is not None and focused.name == BUTTON_NEXT
                and focused.description == sentence,
                f"the focused {BUTTON_NEXT!r} described {sentence!r}", focused)
        self.verdict = sentence
        return view

    def next_exercise(self):
        s = self.s
        s.step("Enter on the focused 'Nuovo calcolo' button")
        s.key("Return")
        return s.wait_window("a new exercise, ready for an answer",
                             lambda v: v.ready_for_answer())

    def play(self, pattern):
        """Answers one exercise per letter of pattern (R right, W wrong)."""
        for index, letter in enumerate(pattern):
            if index:
                self.next_exercise()
            self.answer(index + 1, letter == "R")

    def farewell(self, name):
        s = self.s
        s.step("Alt+X: the farewell")
        s.key("alt+x")
        box = s.wait_box_title_start("Data ", text=FAREWELL.format(name))
        today = datetime.date.today()
        allowed = {short_date(today), short_date(today - datetime.timedelta(days=1))}
        s.check(box.title[len("Data "):] in allowed,
                f"the title 'Data ' and today's short date ({short_date(today)})",
                repr(box.title))
        s.dismiss(box, "Return")

    def confirmation(self):
        s = self.s
        s.step("the confirmation of the new record")
        box = s.wait_box(PROGRAM_NAME, text=RECORD_STORED)
        s.dismiss(box, "Return")


def short_date(day):
    # The C locale's short date form, which the game uses under LC_ALL=C.UTF-8.
    return f"{day.day} {day.strftime('%b')} {day.year}"
