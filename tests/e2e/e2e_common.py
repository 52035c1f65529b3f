# SPDX-License-Identifier: GPL-3.0-or-later
"""Shared by the end-to-end drivers: the game's texts, its window's layout, timings, and
how a process of theirs ends."""

import subprocess

GAME_TITLE = "Gioca con le zarvoni di I grado"
NAME_PROMPT = "Come ti chiami?"
GREETING_END = " vediamo se sei un vero campione  "
CORRECT = "Esatto. Sei forte!"
WRONG_PREFIX = "Sbagliato!! "
FAREWELL = "Ciao {}, alla prossima sfida!"
RECORD_STORED = "Ok ho registrato il tuo record, C A M P I O N E"
PROGRAM_NAME = "Zarvoni"  # the title of a box that has none of its own
STORE_FAILED_START = "Non sono riuscito a registrare il tuo record."
KEPT_START = "Il tuo record è conservato, ma non sono riuscito a scriverlo nei file dei record."
READ_FAILED_START = "Non riesco a leggere il file dei record."
RESTART_PROMPT = "INIZIAMO UNA NUOVA GARA  ?"
RESTART_TITLE = "INIZIARE NUOVA GARA"
MENU_NEW_GAME = "Nuovo  gioco"
BUTTON_NEXT = "Nuovo calcolo"
BUTTON_YES = "Sì"
BUTTON_NO = "No"
START_TIME = "00:15:00"

SCORE_FILE = "eq.txt"
NAME_FILE = "neq.txt"
LOCK_FILE = ".zarvoni.lock"
# Files a game, or its record keeper, may create there at any time; and the
# results list, to which every finished game adds its line.
BOOKKEEPING = {LOCK_FILE, ".zarvoni.callers", ".zarvoni.kept-lock", ".zarvoni.results-lock",
               "risultati"}

# Labels carry no identifier a screen reader can see, so they are told apart by
# their place: the top-left corner of each control in the window's client area,
# in pixels (the window's control table, in twips, divided by 15).
LABEL_PLACES = {
    "lblNum1": (40, 16),
    "lblNum2": (192, 16),
    "lblNum3": (330, 16),
    "lblNum4": (456, 16),
    "Lblsegno": (104, 24),
    "Lblsegno2": (400, 32),
    "lblMessage": (16, 128),
    "lblScore": (72, 272),
    "lblScore1": (368, 272),
    "lblScore2": (632, 272),
    "lblconto": (592, 40),
    "lblnome1": (352, 440),
    "lblnome": (173, 504),
    "lblpunti": (640, 504),
}
PLACE_TOLERANCE = 3

# What a screen reader calls the labels whose caption alone says too little:
# the caption follows its prefix.
SPOKEN_PREFIXES = {
    "lblScore": "Risposte esatte: ",
    "lblScore1": "Risposte errate: ",
    "lblScore2": "Risposte totali: ",
    "lblconto": "Tempo restante: ",
}
# The "+" signs are named in words; the equals sign too.
SPOKEN_PLUS = "più"
# The names of the controls a screen reader must not see: Command1 and lblTime,
# which other controls cover, and the reminder "X =" beside the answer box.
SILENT_NAMES = ("Command1", "X =")
STOPWATCH_NAME = "Cronometro"

# How the hidden term is shown, and its coefficient.
UNKNOWN_FORMS = {"X": 1, "3x": 3, "4X": 4, "2X": 2}

WAIT = 15.0  # seconds to wait for something the game should do at once
POLL = 0.05
EXIT_SKIP = 77

BUS_LAUNCHER = "/usr/libexec/at-spi-bus-launcher"


class StepFailed(Exception):
    """A scenario step did not see what it expected."""


class Skipped(Exception):
    """The scenario cannot run on this machine, for a reason that is not the game's."""


def log(message):
    print(message, flush=True)


def run_quiet(command, timeout=20):
    return subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                          text=True, timeout=timeout, check=False)


def stop(process):
    """Ends a process of ours: politely, then for certain."""
    if process.poll() is None:
        process.terminate()
        try:
            process.wait(5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
