#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
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
import os
import signal
import sys

# The driver's other modules lie beside this script, whatever the current
# directory; none of them may leave compiled files in the source tree.
sys.dont_write_bytecode = True
HERE = os.path.dirname(os.path.realpath(__file__))
if HERE not in sys.path:
    sys.path.insert(0, HERE)

from e2e_launch import inner_main, outer_main  # noqa: E402
from e2e_scenarios import SCENARIOS  # noqa: E402


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--binary", required=True)
    parser.add_argument("--record-dir", required=True)
    parser.add_argument("--build-root", required=True)
    parser.add_argument("--work-dir", required=True)
    parser.add_argument("--failure-dir", required=True)
    # Where the game of this build looks for the technician's setting.
    parser.add_argument("--config-file", default=None)
    parser.add_argument("--read-only-method", default="chmod",
                        choices=["mount", "chattr", "chmod"])
    parser.add_argument("--inside", action="store_true", help=argparse.SUPPRESS)
    parser.add_argument("scenario", choices=sorted(SCENARIOS))
    args = parser.parse_args()
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    return inner_main(args) if args.inside else outer_main(args, os.path.abspath(__file__))


if __name__ == "__main__":
    sys.exit(main())
