# SPDX-License-Identifier: GPL-3.0-or-later
"""The class's results, end to end: lines appended by the built record keeper,
merged by the built zarvoni-risultati, read back with Python's csv module as
LibreOffice Calc and Excel would read the sheet.

  names: hostile names, one game each: one row per game, each name as typed
         (what a cell cannot show replaced), no cell that starts a formula.
  lab:   three PCs (processes with their own host name and record directory,
         in namespaces of their own, as root) append 300 games each at once to
         one lab folder, some of their keepers killed mid-append: every line
         whole, none lost that was acknowledged, the sheet sorted and complete.

Usage: results_sheet.py names|lab --keeper PATH --sheet PATH --record-dir DIR
                        --config FILE"""

import argparse
import csv
import io
import json
import os
import random
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIPPED = 77
HEADER = ["Data e ora", "Fuso orario", "Computer", "Nome", "Esatte", "Errate", "Totali",
          "Record", "Fine", "Utente"]
FORMULA_STARTS = ("=", "+", "-", "@", "\t", "\r")
NAMES = [b"=1+1", b"+39 333 1234567", b"-2+3", b"@SUM(A1:A9)", b"\t=cmd|' /C calc'!A0",
         b"\r=1", b"Rossi; Anna", b'Anna "la rossa"', b"Riga 1\r\nRiga 2", b"C1 \xc2\x85\xc2\x9f.",
         b"\xff\xfeNon UTF-8 \xc3", b"nul\x00 e bel\x07", "Niccolò Ça żółw".encode(), b"",
         b"a" * 65536]


def shown(raw):
    """What the sheet shows of a name typed as raw: cut to what the record holds,
    then to what a cell holds, controls replaced, an apostrophe before a formula."""
    text = raw.decode("utf-8", "replace")[:65534]
    formula = text.startswith(FORMULA_STARTS)
    text = "".join("\ufffd" if ord(c) < 0x20 or 0x7f <= ord(c) <= 0x9f else c
                   for c in text[:32767 - formula])
    return "'" + text if formula else text


def append(keeper, name, counts=(3, 1, 4), record=0, ending="uscita"):
    """One finished game's line, through the keeper: its status and answer."""
    process = subprocess.run([keeper, "result", *map(str, counts), str(record), ending,
                              str(len(name))], input=name, capture_output=True, env={},
                             timeout=30, check=False)
    return process.returncode, process.stdout


def sheet_rows(options, failures):
    process = subprocess.run([options.sheet], capture_output=True, timeout=60, check=False)
    data = process.stdout
    if not data.startswith(b"\xef\xbb\xbf"):
        failures.append(f"no byte-order mark: {data[:20]!r}")
    if data.replace(b"\r\n", b"").count(b"\n") or data.replace(b"\r\n", b"").count(b"\r"):
        failures.append("a line break other than CR LF between rows")
    rows = list(csv.reader(io.StringIO(data.decode("utf-8-sig"), newline=""), delimiter=";"))
    if not rows or rows[0] != HEADER:
        failures.append(f"the header: {rows[:1]}")
    for row in rows[1:]:
        starts = [cell for cell in row if cell.startswith(FORMULA_STARTS)]
        if len(row) != len(HEADER) or starts:
            failures.append(f"a row of {len(row)} cells, or a formula in {starts!r:.80}")
    return process, rows[1:]


def names(options):
    """Then a line changed by hand and one cut short by a kill: both reported and
    left out, and the next game's line starts afresh after them."""
    failures = []
    subprocess.run([options.keeper, "clear-results"], capture_output=True, env={}, check=False)
    for number, raw in enumerate(NAMES):
        if number == len(NAMES) - 1:
            folder = os.path.join(options.record_dir, "risultati")
            with open(os.path.join(folder, os.listdir(folder)[0]), "ab") as handle:
                handle.write(b"Z1\t2026-12-09T10:15:03+01:00\tpc\tAnna\t9\n" + b"Z1\t2026-12")
        code, out = append(options.keeper, raw)
        if (code, out) != (0, b"appended\n"):
            failures.append(f"{raw[:30]!r} not appended: {code} {out[:200]!r}")
    process, rows = sheet_rows(options, failures)
    if process.returncode != 1 or process.stderr.count(b": riga ") != 2:
        failures.append(f"zarvoni-risultati: {process.returncode}, not 1 and two lines left "
                        f"out: {process.stderr[-500:]!r}")
    if len(rows) != len(NAMES):
        failures.append(f"{len(rows)} rows for {len(NAMES)} games")
    for raw, row in zip(NAMES, rows):
        if row[3] != shown(raw):
            failures.append(f"{raw[:30]!r} shown as {row[3][:40]!r}, not {shown(raw)[:40]!r}")
        if row[4:9] != ["3", "1", "4", "no", "uscita"]:
            failures.append(f"the counts of {raw[:30]!r}: {row[4:9]}")
    return failures


def worker(options):
    """One PC: its own host name and record directory, 300 games, 3 at once, one
    keeper in ten killed at a moment of its run. Prints the acknowledged names."""
    socket.sethostname(options.pc)
    subprocess.run(["mount", "--bind", options.local, options.record_dir], check=True)
    subprocess.run([options.keeper, "read"], capture_output=True, env={}, check=True)  # claims
    acknowledged, lock = [], threading.Lock()

    def games(first):
        for game in range(first, options.games, 3):
            name = f"{options.pc}-{game:03d}".encode()
            process = subprocess.Popen([options.keeper, "result", "2", "1", "3", "0", "tempo",
                                        str(len(name))], stdin=subprocess.PIPE,
                                       stdout=subprocess.PIPE, env={})
            if game % 10 == 7:
                time.sleep(random.uniform(0, 0.004))
                process.kill()
            out, _ = process.communicate(name, timeout=30)
            if process.returncode == 0 and out == b"appended\n":
                with lock:
                    acknowledged.append(name.decode())

    threads = [threading.Thread(target=games, args=(n,)) for n in range(3)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    print(json.dumps(acknowledged))
    return []


def lab(options):
    if os.geteuid() != 0 or subprocess.run(["unshare", "--uts", "--mount", "true"],
                                           check=False).returncode != 0:
        print("results_sheet lab: needs root and namespaces: skipped")
        sys.exit(SKIPPED)
    failures = []
    # This machine's own list is read too: it starts empty.
    subprocess.run([options.keeper, "clear-results"], capture_output=True, env={}, check=True)
    with tempfile.TemporaryDirectory() as scratch:
        folder = os.path.join(scratch, "lab")
        os.mkdir(folder)
        os.makedirs(os.path.dirname(options.config), exist_ok=True)
        with open(options.config, "w") as handle:
            handle.write(f"record-folder = {folder}\n")
        os.chmod(options.config, 0o644)
        try:
            pcs = []
            for pc in ("pc-01", "pc-02", "pc-03"):
                local = os.path.join(scratch, pc)
                os.mkdir(local)
                pcs.append(subprocess.Popen(
                    ["unshare", "--uts", "--mount", "--propagation", "private", sys.executable,
                     __file__, "worker", "--pc", pc, "--local", local, "--games",
                     str(options.games), "--keeper", options.keeper, "--sheet", options.sheet,
                     "--record-dir", options.record_dir, "--config", options.config],
                    stdout=subprocess.PIPE))
            acknowledged = set()
            for pc in pcs:
                out, _ = pc.communicate(timeout=600)
                acknowledged |= set(json.loads(out or b"[]"))
                if pc.returncode != 0:
                    failures.append(f"a PC's games ended with {pc.returncode}")
            process, rows = sheet_rows(options, failures)
        finally:
            os.unlink(options.config)
    if process.returncode != 0:
        failures.append(f"zarvoni-risultati: {process.returncode}: every line whole? "
                        f"{process.stderr[-800:]!r}")
    seen = [row[3] for row in rows]
    lost = acknowledged - set(seen)
    if len(acknowledged) < 3 * options.games * 8 // 10 or lost or len(seen) != len(set(seen)):
        failures.append(f"{len(acknowledged)} acknowledged, {len(seen)} in the sheet, "
                        f"{len(set(seen))} of them different, lost: {sorted(lost)[:10]}")
    if [row[0] for row in rows] != sorted(row[0] for row in rows):
        failures.append("the sheet is not sorted by time")
    if {row[2] for row in rows} != {"pc-01", "pc-02", "pc-03"}:
        failures.append(f"the computers: {sorted({row[2] for row in rows})}")
    print(f"results_sheet lab: {len(acknowledged)} games acknowledged, {len(rows)} in the sheet")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case", choices=("names", "lab", "worker"))
    for option in ("--keeper", "--sheet", "--record-dir", "--config"):
        parser.add_argument(option, required=True)
    parser.add_argument("--games", type=int, default=300)
    parser.add_argument("--pc")
    parser.add_argument("--local")
    options = parser.parse_args()
    options.keeper = os.path.abspath(options.keeper)
    os.makedirs(options.record_dir, exist_ok=True)
    failures = {"names": names, "lab": lab, "worker": worker}[options.case](options)
    for failure in failures:
        print(f"FAIL: results_sheet {options.case}: {failure}", file=sys.stderr)
    if not failures and options.case != "worker":
        print(f"results_sheet {options.case}: ok")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
