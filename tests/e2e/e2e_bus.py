# SPDX-License-Identifier: GPL-3.0-or-later
"""A D-Bus session of our own with the accessibility bus on it, as a desktop has.

Shared by the end-to-end scenarios and bench/run: the game's accessibility
bridge comes up on it, and a screen reader or a listener hears the game there."""

import re
import subprocess
import time

from e2e_common import BUS_LAUNCHER, POLL, WAIT, StepFailed, stop


def bus_call(env, *arguments):
    return subprocess.run(["dbus-send", "--print-reply", *arguments], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                          check=False)


def method_calls(path):
    """The method calls AccessibilityBus.monitor wrote to path: (sender, destination,
    member) of each."""
    with open(path, encoding="utf-8", errors="replace") as calls:
        return re.findall(r"^method call .* sender=(\S+) -> destination=(\S+) .* member=(\S+)$",
                          calls.read(), re.MULTILINE)


class AccessibilityBus:
    """dbus-daemon and at-spi-bus-launcher; env: the given environment with the
    session bus set and Qt's accessibility bridge on."""

    def __init__(self, env):
        self.processes = []
        daemon = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
        self.processes.append(daemon)
        address = daemon.stdout.readline().decode().strip()
        if not address:
            self.close()
            raise StepFailed("dbus-daemon did not start")
        self.env = dict(env, DBUS_SESSION_BUS_ADDRESS=address,
                        QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.env.pop("NO_AT_BRIDGE", None)
        self.processes.append(subprocess.Popen([BUS_LAUNCHER, "--launch-immediately"],
                                               env=self.env, stdout=subprocess.DEVNULL,
                                               stderr=subprocess.DEVNULL))
        try:
            self.address = self.wait_until("the accessibility bus to start", self._a11y_address)
        except StepFailed:
            self.close()
            raise

    def _a11y_address(self):
        reply = bus_call(self.env, "--session", "--dest=org.a11y.Bus", "/org/a11y/bus",
                         "org.a11y.Bus.GetAddress")
        match = re.search(r'string "(.+)"', reply.stdout)
        return match.group(1) if reply.returncode == 0 and match else None

    def listened_events(self):
        """The kinds of event some client of the accessibility bus has asked for."""
        reply = bus_call(self.env, f"--bus={self.address}", "--dest=org.a11y.atspi.Registry",
                         "/org/a11y/atspi/registry",
                         "org.a11y.atspi.Registry.GetRegisteredEvents")
        return re.findall(r'string "([^"]*)"', reply.stdout) if reply.returncode == 0 else []

    def wait_unlistened(self):
        self.wait_until("the last listener to leave the accessibility bus",
                        lambda: not self.listened_events())

    def monitor(self, path):
        """Starts writing every method call on the accessibility bus to path; the
        caller stops the process returned (method_calls reads what it wrote)."""
        with open(path, "w", encoding="utf-8") as calls:
            return subprocess.Popen(["dbus-monitor", "--address", self.address,
                                     "type='method_call'"], stdout=calls,
                                    stderr=subprocess.DEVNULL)

    @staticmethod
    def wait_until(what, probe, timeout=WAIT):
        """Polls probe() until it returns something true, and returns that."""
        deadline = time.monotonic() + timeout
        while True:
            value = probe()
            if value:
                return value
            if time.monotonic() > deadline:
                raise StepFailed(f"waited {timeout:.0f} s for {what}")
            time.sleep(POLL)

    def close(self):
        for process in reversed(self.processes):
            stop(process)
        self.processes = []
