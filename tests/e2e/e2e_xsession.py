# SPDX-License-Identifier: GPL-3.0-or-later
"""A private X server: Xvfb on a display of its own, with openbox managing it.

Shared by the end-to-end scenarios and bench/run. Without a window manager
windows can be neither minimised nor activated by the usual requests."""

import os
import select
import subprocess
import time

from e2e_common import POLL, WAIT, StepFailed, run_quiet, stop


class XSession:
    """Xvfb and openbox, and env: the caller's environment with DISPLAY set to them."""

    def __init__(self, work, screen="1280x1024x24", env=None):
        self.processes = []
        read_end, write_end = os.pipe()
        # -displayfd: Xvfb picks a free display and writes its number when it is ready.
        self.processes.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", screen, "-nolisten", "tcp",
             "-noreset"], pass_fds=(write_end,), stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL))
        os.close(write_end)
        number = b""
        deadline = time.monotonic() + WAIT
        while not number.endswith(b"\n") and time.monotonic() < deadline:
            ready, _, _ = select.select([read_end], [], [], deadline - time.monotonic())
            chunk = os.read(read_end, 16) if ready else b""
            if not chunk:
                break
            number += chunk
        os.close(read_end)
        if not number.strip():
            self.close()
            raise StepFailed("Xvfb did not start")
        self.display = ":" + number.decode().strip()
        self.env = dict(os.environ if env is None else env, DISPLAY=self.display)
        self.env.pop("WAYLAND_DISPLAY", None)
        try:
            self._start_openbox(os.path.join(work, "openbox.log"))
        except BaseException:
            self.close()
            raise

    def _start_openbox(self, log_path):
        # openbox sometimes fails to open a display that has only just come up.
        with open(log_path, "ab") as log:
            for attempt in range(3):
                openbox = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=log, stderr=subprocess.STDOUT)
                deadline = time.monotonic() + WAIT
                while openbox.poll() is None and time.monotonic() < deadline:
                    if "window id" in self.xprop("_NET_SUPPORTING_WM_CHECK"):
                        self.processes.append(openbox)
                        return
                    time.sleep(POLL)
                stop(openbox)
                if attempt == 2:
                    raise StepFailed(f"openbox did not manage the screen (status "
                                     f"{openbox.returncode}; {log_path})")

    def xprop(self, atom):
        """The root window's property atom, as xprop prints it."""
        return run_quiet(["xprop", "-display", self.display, "-root", atom], timeout=5).stdout

    def close(self):
        for process in reversed(self.processes):
            stop(process)
        self.processes = []
