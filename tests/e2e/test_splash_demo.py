"""The demo application's splash (tools/demo/demo.conf) as the user sees it; the
screenshot it takes is the one in docs/images/splash.png."""
import subprocess
import sys

import splash_util as su
import runtimes
import tovex

WHITE, YELLOW = (255, 255, 255), (255, 255, 0)


def test_demo_splash_screenshot(appdir, tmp_path):
    gate = tmp_path / "gate"
    config = "SPLASH_HIDE_ON_WINDOW = 1\n" + (tovex.ROOT / "tools" / "demo" / "demo.conf").read_text(encoding="utf-8")
    subprocess.run([sys.executable, str(tovex.ROOT / "tools" / "demo" / "make_demo_images.py"), str(appdir)], check=True)
    (appdir / "lib").mkdir()
    for jar in ("hello.jar", "tovex-runtime.jar"):
        (appdir / "lib" / jar).write_bytes(b"PK\x05\x06" + b"\0" * 18)
    runtimes.make_runtime(appdir / "jre", jvm="record", version_output='openjdk version "17.0.15" 2025-04-15\n',
                          script=f'actions 2\ntexts "Loading the demo ..."\nmain wait-exists {gate}\n'
                                 f'main window Hello tovex window\n')
    exe = tovex.build_app(appdir, config, stub="gui", name="HelloTovex.exe")
    proc = tovex.start_exe(exe)
    w, h = 400, 240
    x0, y0 = su.centred(w, h)
    try:
        su.wait_visible("Hello tovex")

        def shown():
            shot = su.screenshot("demo-full.png")
            white = shot.extent(WHITE, x0, y0 + 200, x0 + w, y0 + h)
            return shot if white and white[2] > x0 + 100 else None   # the long status from Java is drawn
        shot = tovex.wait_for(shown, 30, what="the demo's status text")
        # The demo's own image: rounded transparent corners on the grey, a yellow band, a gradient.
        assert shot.pixel(x0 + 1, y0 + 1) == su.LTGRAY
        assert shot.pixel(x0 + 200, y0 + 120) == (250, 200, 0)
        assert shot.pixel(x0 + 10, y0 + 60) == (21, 85, 141)
        assert shot.count(YELLOW, x0 + 300, y0 + 10, x0 + w, y0 + 30) > 0, "the version line in yellow"
        su.crop(shot, x0, y0, w, h, su.OUT / "splash.png")
    finally:
        gate.touch()
        proc.communicate(timeout=120)
    assert proc.returncode == 0
