"""pytest fixtures shared by the end-to-end scenarios."""
import os
import shutil
import subprocess
import sys
import pathlib

import pytest

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import tovex  # noqa: E402


def _free_display() -> int:
    for number in range(90, 140):
        if not os.path.exists(f"/tmp/.X11-unix/X{number}") and not os.path.exists(f"/tmp/.X{number}-lock"):
            return number
    raise RuntimeError("no free X display number")


@pytest.fixture(scope="session", autouse=True)
def wine_session():
    """One Xvfb display and a warm wineserver for the whole run."""
    subprocess.run(["bash", str(tovex.ROOT / "tests" / "wine-prefix.sh")], env=tovex.wine_env(), check=True)
    number = _free_display()
    xvfb = subprocess.Popen(["Xvfb", f":{number}", "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    tovex.wait_for(lambda: os.path.exists(f"/tmp/.X11-unix/X{number}"), 30, what="Xvfb")
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
