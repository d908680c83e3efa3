"""pytest fixtures shared by the end-to-end scenarios."""
import os
import pathlib
import select
import subprocess
import sys

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import tovex  # noqa: E402


def _start_xvfb() -> tuple[subprocess.Popen, int]:
    """Starts Xvfb on a display number it chooses itself.

    With -displayfd the server takes the first free number while it binds it and
    writes that number to the pipe: two runs starting at once never pick the same.
    """
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, pass_fds=(write_end,))
    os.close(write_end)
    with os.fdopen(read_end) as pipe:
        ready, _, _ = select.select([pipe], [], [], 60)
        line = pipe.readline() if ready else ""
    if not line.strip().isdigit():
        xvfb.kill()
        xvfb.wait()
        raise RuntimeError(f"Xvfb did not start (exit code {xvfb.poll()})")
    return xvfb, int(line)


@pytest.fixture(scope="session", autouse=True)
def wine_session():
    """One Xvfb display and a warm wineserver for the whole run."""
    subprocess.run(["bash", str(tovex.ROOT / "tests" / "wine-prefix.sh")], env=tovex.wine_env(), check=True)
    xvfb, number = _start_xvfb()
    os.environ["DISPLAY"] = f":{number}"
    tovex.restart_wine()
    yield number
    tovex.wineserver("-k")
    tovex.wineserver("-w")
    xvfb.terminate()
    xvfb.wait()


@pytest.fixture
def appdir(tmp_path):
    """A fresh folder whose name has blanks and non-ASCII characters (representable in Windows-1252)."""
    d = tmp_path / "My App Ünïcode"
    d.mkdir()
    return d
