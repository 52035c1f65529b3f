# SPDX-License-Identifier: GPL-3.0-or-later
"""A stand-in for a screen reader that subscribes to every accessibility event
(object, window and focus) on the session's accessibility bus and counts what it
hears, by kind, and that hears every key as a screen reader does, before the
program it is typed into. It asks nothing back: what a screen reader asks on top
is the screen reader's own (e2e_orca).

Shared by the end-to-end scenarios and bench/run, which start it with Listener.
Run as a program (Debian's python3, which has pyatspi), it prints "ready" once
subscribed, on SIGUSR1 one line of JSON with the counts so far, and ends on
SIGTERM."""

import json
import select
import signal
import subprocess
import sys
import time

from e2e_common import POLL, WAIT, StepFailed, stop

# The kind of event that says a control has taken or lost the focus.
FOCUS_MOVED = "object:state-changed:focused"


class Listener:
    """The listening program on the bus, and the counts it reports."""

    def __init__(self, bus):
        self.process = subprocess.Popen([sys.executable, "-B", __file__], env=bus.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        text=True)
        if self._line() != "ready":
            self.close()
            raise StepFailed("the listener did not start")
        bus.wait_until("the listener to subscribe", bus.listened_events)

    def _line(self):
        ready, _, _ = select.select([self.process.stdout], [], [], WAIT)
        return self.process.stdout.readline().strip() if ready else None

    def counts(self):
        """The events received so far, by kind."""
        self.process.send_signal(signal.SIGUSR1)
        line = self._line()
        if not line:
            raise StepFailed("the listener did not report")
        return json.loads(line)

    def settled(self, enough, quiet=1.0, timeout=WAIT):
        """The counts once enough(counts) holds and none has changed for quiet seconds."""
        deadline = time.monotonic() + timeout
        last, since = None, time.monotonic()
        while True:
            now = self.counts()
            if now != last:
                last, since = now, time.monotonic()
            elif enough(now) and time.monotonic() - since >= quiet:
                return now
            if time.monotonic() > deadline:
                raise StepFailed(f"waited {timeout:.0f} s for the events to settle; "
                                 f"heard {now}")
            time.sleep(POLL)

    def close(self):
        stop(self.process)


def difference(after, before):
    """The events heard between two counts, by kind."""
    return {kind: after[kind] - before.get(kind, 0) for kind in after
            if after[kind] != before.get(kind, 0)}


def listen():
    import collections

    import pyatspi
    from gi.repository import GLib

    counts = collections.Counter()

    def report():
        print(json.dumps(counts), flush=True)
        return GLib.SOURCE_CONTINUE

    def end():
        pyatspi.Registry.stop()
        return GLib.SOURCE_REMOVE

    pyatspi.Registry.registerEventListener(lambda event: counts.update((event.type,)),
                                           "object", "window", "focus")
    # Each key waits for this listener's answer (that the key goes on) before the
    # program it is typed into gets it.
    pyatspi.Registry.registerKeystrokeListener(
        lambda event: False, mask=pyatspi.allModifiers(),
        kind=(pyatspi.KEY_PRESSED_EVENT, pyatspi.KEY_RELEASED_EVENT), synchronous=True)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, report)
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, end)
    print("ready", flush=True)
    pyatspi.Registry.start(gil=False)


if __name__ == "__main__":
    listen()
