"""A block larger than the launcher's read-ahead of the file (64 KiB), with files appended behind it."""
import random

import tovex
from files_util import extraction_dir, linux_path, option_value
from runtimes import make_runtime


def test_settings_past_the_read_ahead_and_the_files_behind_the_block_arrive(appdir, tmp_path):
    rng = random.Random(14)
    payload = bytes(rng.randrange(256) for _ in range(70000)) + b"\xd6\x00" * 9
    (tmp_path / "data.bin").write_bytes(payload)
    fillers = "".join(f"{5001 + i} = {chr(ord('a') + i) * 8000}\n" for i in range(12))
    conf = ("MAIN_CLASS = app.Main\n" + fillers + "VM_OPTIONS = -Dafter.read.ahead=yes\n"
            "[lang]\nMSG_ERROR_CAPTION = " + "e" * 3000 + "\n")
    rt = make_runtime(appdir / "jre")
    exe = tovex.build_app(appdir, conf, files={"data.bin": tmp_path / "data.bin"})
    result = tovex.run_exe(exe, env={"TOVEX_JAVA_HOME": rt.home_win}, log=True)
    assert result.returncode == 0, result.stderr
    out = extraction_dir(result.log)
    try:
        assert (out / "data.bin").read_bytes() == payload
        options = rt.options()
        assert "-Dafter.read.ahead=yes" in options
        assert option_value(options, "tovex.unextractedPosition") == str(exe.stat().st_size)
        assert linux_path(option_value(options, "tovex.tempDir")) == out
    finally:
        for p in sorted(out.rglob("*"), reverse=True):
            p.rmdir() if p.is_dir() else p.unlink()
        out.rmdir()
