"""Bad configuration blocks: the fixed texts on standard error, exit code 1, nothing else written."""
import struct

import pytest

import spine_util
import tovex


def build(appdir, extra=""):
    return tovex.build_app(appdir, "MAIN_CLASS = com.example.Main\n[wide]\nMSG_ERROR_CAPTION = Fehler\n" + extra)


CASES = [
    ("wrong magic", lambda exe: spine_util.patch_block(exe, 0, b"\x00\x00\x00\x00"), "Internal Error: magic"),
    ("no block", lambda exe: spine_util.cut_block(exe, 0), "Internal Error: magic"),
    ("cut in the reserved words", lambda exe: spine_util.cut_block(exe, 6), "Internal Error: readInt"),
    ("cut in the 64-bit value", lambda exe: spine_util.cut_block(exe, 15), "Internal Error: readLong"),
    ("cut after the string count", lambda exe: spine_util.cut_block(exe, 24), "Internal Error: readInt"),
    ("negative string length", lambda exe: spine_util.patch_block(exe, 28, struct.pack("<i", -1)),
     "Internal Error: readString"),
    ("string length near 2^31", lambda exe: spine_util.patch_block(exe, 28, struct.pack("<i", 0x7FFFFFF0)),
     "Internal Error: readString"),
    ("cut inside a string", lambda exe: spine_util.cut_block(exe, 33), "Internal Error: readString"),
]


@pytest.mark.parametrize("name,damage,text", CASES, ids=[c[0] for c in CASES])
def test_bad_block_ends_with_its_text(appdir, name, damage, text):
    exe = build(appdir)
    damage(exe)
    before = sorted(p.name for p in appdir.iterdir())
    temp_before = set(tovex.WINE_TEMP.iterdir())
    result = tovex.run_exe(exe, ["arg"])
    assert result.returncode == tovex.EXIT_FATAL
    assert result.stderr.replace("\r\n", "\n") == text + "\n"
    assert result.stdout == ""
    assert sorted(p.name for p in appdir.iterdir()) == before
    assert set(tovex.WINE_TEMP.iterdir()) == temp_before, "nothing is written"


def test_bad_wide_string_and_log_line(appdir):
    exe = build(appdir)
    data = exe.read_bytes()
    start = spine_util.block_start(exe)
    ns = struct.unpack_from("<i", data, start + 20)[0]
    at = start + 24
    for _ in range(ns):
        length = struct.unpack_from("<i", data, at + 4)[0]
        at += 8 + length
    assert struct.unpack_from("<i", data, at)[0] == 1  # one wide entry: the caption
    spine_util.patch_block(exe, at - start + 8, struct.pack("<i", 1 << 30))
    result = tovex.run_exe(exe, [], log=True)
    assert result.returncode == tovex.EXIT_FATAL
    text = result.stderr.replace("\r\n", "\n")
    assert text.startswith("Internal Error: readWString\n\nLog: C:\\users\\")
    assert "rawDataSize: " in result.log


def test_box_after_a_failed_read_has_the_caption_read_so_far(appdir):
    exe = tovex.build_app(appdir, "EXE_TYPE = 1\nMAIN_CLASS = a.B\nMSG_ERROR_CAPTION = Kaputt\n", stub="gui")
    data = exe.read_bytes()
    start = spine_util.block_start(exe)
    at = start + 24
    for _ in range(struct.unpack_from("<i", data, start + 20)[0]):
        at += 8 + struct.unpack_from("<i", data, at + 4)[0]
    spine_util.cut_block(exe, at - start + 2)  # inside the count of wide strings, after every string
    code, stderr, _ = spine_util.run_answering(exe, [], caption="Kaputt")
    assert code == tovex.EXIT_FATAL
    assert stderr == "", "the text went to the box"


def test_block_end_at_end_of_file_is_read(appdir):
    exe = build(appdir)
    data = exe.read_bytes()
    trailer = data.rfind(bytes.fromhex("E8E413D5"))
    assert trailer > spine_util.block_start(exe)
    exe.write_bytes(data[:trailer])  # no trailer, no padding
    result = tovex.run_exe(exe, [], log=True)
    assert result.returncode == tovex.EXIT_NO_JVM
