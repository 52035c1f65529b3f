# SPDX-License-Identifier: GPL-3.0-or-later
"""The class's record on a school's server that stalls and fails: the real game,
its lab folder behind a FUSE file system of the tests' own (tests/lab/stallfs.py),
29 other computers' pairs in it."""

import errno
import glob
import os
import sys

from e2e_common import GAME_TITLE, StepFailed
from e2e_play import Play, time_value

sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "lab"))
from stallfs import StallFs  # noqa: E402

UNREACHABLE = "? (server non raggiungibile ora)"
KEPT = "entrerà nel record della classe appena il server del laboratorio risponderà"
OTHERS = 29  # the other computers of the room, with scores 1 and 2
SKIPPED = 77


def pair_of(folder):
    with open(os.path.join(folder, "record.txt"), "rb") as pair:
        return pair.read()


def own_folder(disk):
    """This computer's folder in the lab folder, as the server's disk holds it."""
    found = [f for f in glob.glob(os.path.join(disk, "aula", "*")) if "/pc-" not in f]
    return found[0] if len(found) == 1 else None


def lab_server(s):
    """A server that stops answering at start-up and at the end of a game, then
    one that fails: the window never waits, the clock ticks, answers are judged at
    once, a better score is kept and delivered by the next game that reaches it."""
    if os.geteuid() != 0 or not os.path.exists("/dev/fuse"):
        print("skipped: the lab server needs root and /dev/fuse")
        sys.exit(SKIPPED)
    if not s.config_file:
        print("skipped: no --config-file, the setting this build's game reads")
        sys.exit(SKIPPED)
    disk, mount = os.path.join(s.work, "disk"), os.path.join(s.work, "server")
    for number in range(1, OTHERS + 1):
        folder = os.path.join(disk, "aula", f"pc-{number:02}")
        os.makedirs(folder)
        with open(os.path.join(folder, "record.txt"), "wb") as pair:
            pair.write(f"{1 + number % 2}\r\nP{number}\r\n".encode())
    os.makedirs(mount)
    os.makedirs(os.path.dirname(s.config_file), mode=0o755, exist_ok=True)
    with open(s.config_file, "w") as setting:
        setting.write(f"record-folder = {mount}/aula\n")
    os.chmod(s.config_file, 0o644)
    server = StallFs.mount(disk, mount)
    play = Play(s)
    try:
        s.step("the server stops answering before the game starts")
        server.pause()
        s.start_game()
        play.start("Anna")
        view = s.wait_window("the record line to say the server cannot be reached",
                             lambda v: v.label("lblnome") == UNREACHABLE)
        clock = time_value(view.label("lblconto"))
        s.wait_window("the clock to keep ticking",
                      lambda v: time_value(v.label("lblconto")) < clock)
        play.play("RRR")  # each answer judged at once
        server.resume()

        s.step("the server stops answering again as the game ends, with a better score")
        server.pause()
        play.farewell("Anna")
        box = s.wait_box(GAME_TITLE)
        s.check(any(KEPT in text for text in box.texts), f"the message that {KEPT!r}", box)
        s.dismiss(box, "Return")
        s.wait_exit("after the message that the score is kept")
        own = own_folder(disk)
        s.check(own is None or not os.path.exists(os.path.join(own, "record.txt")),
                "nothing on the server while it did not answer", own)
        server.resume()

        s.step("the next game reaches the server and delivers the kept score")
        s.start_game()
        play.start("Bruno")
        s.wait_window("the class's record: Anna's 3",
                      lambda v: (v.label("lblpunti"), v.label("lblnome")) == ("3\r\n", "Anna\r\n"))
        play.farewell("Bruno")
        s.wait_exit("after the farewell, with no record to store")
        own = own_folder(disk)
        s.check(own is not None and pair_of(own) == b"3\r\nAnna\r\n",
                "Anna's pair in this computer's folder on the server", own)

        s.step("a server that fails every call")
        server.fail(errno.EIO)
        s.start_game()
        play.start("Carla")
        s.wait_window("the record line to say the server cannot be reached",
                      lambda v: v.label("lblnome") == UNREACHABLE)
        play.play("RRRR")
        play.farewell("Carla")
        box = s.wait_box(GAME_TITLE)
        s.check(any(KEPT in text for text in box.texts), f"the message that {KEPT!r}", box)
        s.dismiss(box, "Return")
        s.wait_exit("after the message that the score is kept")
        server.fail(None)
        s.start_game()
        play.start("Dario")
        s.wait_window("the class's record: Carla's 4, kept while the server failed",
                      lambda v: (v.label("lblpunti"), v.label("lblnome")) == ("4\r\n", "Carla\r\n"))
        play.farewell("Dario")
        s.wait_exit("after the farewell")
        s.check(pair_of(own_folder(disk)) == b"4\r\nCarla\r\n", "Carla's pair on the server",
                pair_of(own_folder(disk)))
    except StepFailed:
        server.resume()
        raise
    finally:
        server.unmount()
        os.unlink(s.config_file)
