# SPDX-License-Identifier: GPL-3.0-or-later
"""The record files: writing them before a game, checking them after it."""

import os
import stat

from e2e_common import BOOKKEEPING, NAME_FILE, SCORE_FILE


def record_path(session, name):
    return os.path.join(session.record_dir, name)


def write_record(session, name, data):
    with open(record_path(session, name), "wb") as handle:
        handle.write(data)


def snapshot(directory):
    """Every entry of the directory, with its type, bytes and modification time,
    but the lock and the keepers' count, which any game may create."""
    result = {}
    for entry in sorted(set(os.listdir(directory)) - BOOKKEEPING):
        path = os.path.join(directory, entry)
        info = os.lstat(path)
        if stat.S_ISDIR(info.st_mode):
            result[entry] = ("directory", tuple(sorted(os.listdir(path))), info.st_mtime_ns)
        else:
            with open(path, "rb") as handle:
                result[entry] = ("file", handle.read(), info.st_mtime_ns,
                                 stat.S_IMODE(info.st_mode))
    return result


def check_unchanged(session, before, what):
    after = snapshot(session.record_dir)
    session.check(after == before, f"{what}: the record directory unchanged, {before}",
                  str(after))


def check_records(session, score, name):
    s = session
    entries = sorted(set(os.listdir(s.record_dir)) - BOOKKEEPING)
    s.check(entries == sorted([SCORE_FILE, NAME_FILE]),
            f"only {SCORE_FILE}, {NAME_FILE} and the lock in {s.record_dir}", entries)
    for file_name, expected in ((SCORE_FILE, score), (NAME_FILE, name)):
        with open(record_path(s, file_name), "rb") as handle:
            data = handle.read()
        s.check(data == expected, f"{file_name} holding {expected!r}", repr(data))
        mode = stat.S_IMODE(os.stat(record_path(s, file_name)).st_mode)
        s.check(mode == 0o660, f"{file_name} with mode 0660", oct(mode))
