# SPDX-License-Identifier: Apache-2.0
"""The readers file written as the virtual reader writes it, under byte 0 of `<file>.lock`: pcscd
powers a card down a while after its last connection and the driver writes that back; a write
outside the lock could be lost under it, or find the card's old memory laid over it."""

import contextlib
import fcntl
import json
import os


@contextlib.contextmanager
def locked(path):
    descriptor = os.open(path + ".lock", os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o600)
    try:
        fcntl.lockf(descriptor, fcntl.LOCK_EX, 1, 0, os.SEEK_SET)
        yield
    finally:
        os.close(descriptor)


def _replace(path, contents):
    with open(path + ".new", "w") as out:
        json.dump(contents, out)
    os.replace(path + ".new", path)


def write(path, contents):
    """Replaces the readers file by `contents` in one step."""
    with locked(path):
        _replace(path, contents)


def edit(path, change):
    """Applies `change` to the file's contents, read and written under one lock."""
    with locked(path), open(path) as f:
        contents = json.load(f)
        change(contents)
        _replace(path, contents)
