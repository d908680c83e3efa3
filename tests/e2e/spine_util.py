"""Helpers for the spine scenarios: block offsets in a built exe, runs that answer a message box."""
from __future__ import annotations

import os
import signal
import pathlib
import struct

import tovex

MAGIC = bytes.fromhex("D513E4E8")


def block_start(exe: os.PathLike | str) -> int:
    """File offset of the configuration block: after the raw data of the last section-table entry."""
    data = pathlib.Path(exe).read_bytes()
    pe = struct.unpack_from("<I", data, 60)[0]
    sections = struct.unpack_from("<H", data, pe + 6)[0]
    optional = struct.unpack_from("<H", data, pe + 20)[0]
    q = pe + optional + 40 * sections
    size, offset = struct.unpack_from("<II", data, q)
    start = offset + size
    assert data[start:start + 4] == MAGIC, "no block where the launcher looks for it"
    return start


def patch_block(exe: os.PathLike | str, offset: int, new: bytes) -> None:
    """Overwrites bytes at offset from the block start."""
    path = pathlib.Path(exe)
    data = bytearray(path.read_bytes())
    at = block_start(path) + offset
    data[at:at + len(new)] = new
    path.write_bytes(bytes(data))


def cut_block(exe: os.PathLike | str, offset: int) -> None:
    """Cuts the file off at offset from the block start."""
    path = pathlib.Path(exe)
    data = path.read_bytes()
    path.write_bytes(data[:block_start(path) + offset])


def first_string_entry(exe: os.PathLike | str) -> tuple[int, int]:
    """(id, offset of its length field from the block start) of the first string entry."""
    path = pathlib.Path(exe)
    data = path.read_bytes()
    start = block_start(path)
    count = struct.unpack_from("<i", data, start + 20)[0]
    assert count > 0
    return struct.unpack_from("<i", data, start + 24)[0], 28


def logs() -> set[str]:
    return set(str(p) for p in tovex.WINE_TEMP.glob("mlk_nlog_*"))


def read_new_log(before: set[str]) -> str | None:
    new = sorted(logs() - before, key=os.path.getmtime)
    return tovex.decode_text(pathlib.Path(new[-1]).read_bytes()) if new else None


def run_answering(exe, args=None, *, caption: str, key: str = "Return", env=None, log=False, timeout=120):
    """Starts exe, answers the message box titled caption with key, waits for the end.

    Returns (returncode, stderr, log text of the run or None)."""
    before = logs()
    proc = tovex.start_exe(exe, args, env=env, log=log)
    try:
        tovex.answer_window(caption, key, proc)
        out, err = proc.communicate(timeout=timeout)
    finally:
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
            proc.communicate()
    return proc.returncode, tovex.decode_text(err), read_new_log(before)
