"""The launcher's own splash window under Xvfb: placement, image, texts, the
status driven from Java, the hide rules, and no splash when started hidden."""
import pytest

import runtimes
import splash_util as su
import tovex

TITLE = "Splash E2E"
W, H = 400, 300           # larger than the stub's placeholder image
RED, GREEN = (255, 0, 0), (0, 255, 0)

BASE = f"""APPLICATION_NAME = {TITLE}
MAIN_CLASS = demo.Main
EXE_TYPE = 0
JVM_SEARCH_SEQUENCE = B.\\jre
SPLASH_ENABLED = 1
SPLASH_WIDTH = {W}
SPLASH_HEIGHT = {H}
STATUS_TEXT = WWWWWWWWWW
STATUS_TEXT_X = 10
STATUS_TEXT_Y = 230
STATUS_FONT_NAME = Arial
STATUS_FONT_SIZE = 24
STATUS_FONT_WEIGHT = 700
STATUS_TEXT_COLOR = 255,0,0
VERSION_TEXT = V9
VERSION_TEXT_X = 330
VERSION_TEXT_Y = 10
VERSION_FONT_NAME = Arial
VERSION_FONT_SIZE = 20
VERSION_FONT_WEIGHT = 700
VERSION_TEXT_COLOR = 0,255,0
SPLASH_HIDE_ON_WINDOW = 1
"""
# The scripted main waits for the gate, then opens the application's window,
# which hides the splash (a splash nobody hides keeps the VM's destruction
# waiting for the splash thread).
UNTIL_GATE = "main wait-exists {gate}\nmain window Bye\n"


@pytest.fixture
def gate(tmp_path):
    """A file whose creation lets the scripted main return."""
    path = tmp_path / "gate"
    yield path
    path.touch()


def start(appdir, gate, script, config=BASE, stub="console", args=None):
    rt = runtimes.make_runtime(appdir / "jre", jvm="record", script=script)
    exe = tovex.build_app(appdir, config, stub=stub)
    return rt, tovex.start_exe(exe, args, log=True)


def finish(proc, gate, timeout=120):
    gate.touch()
    out, err = proc.communicate(timeout=timeout)
    return proc.returncode, tovex.decode_text(err)


def splash_threads_detached(rt):
    return [line for line in rt.last_run() if line.startswith("detach thread=")]


def test_splash_centred_with_image_grey_and_both_texts(appdir, gate):
    rt, proc = start(appdir, gate, UNTIL_GATE.format(gate=gate))
    try:
        su.wait_visible(TITLE)
        x0, y0 = su.centred(W, H)
        iw, ih, fw = su.IMAGE_W, su.IMAGE_H, su.FRAME_WIDTH
        shot = tovex.wait_for(lambda: (lambda s: s if s.pixel(x0 + iw // 2, y0 + ih // 2) == su.FIELD else None)(
            su.screenshot("splash-window.png")), 30, what="the splash image on the screen")
        # The image sits in the top left corner, the frame on its edge; grey beyond it.
        assert shot.pixel(x0, y0) == su.FRAME
        assert shot.pixel(x0 + fw - 1, y0 + fw - 1) == su.FRAME
        assert shot.pixel(x0 + iw - 1, y0 + ih - 1) == su.FRAME
        assert shot.count(su.FIELD, x0, y0, x0 + iw, y0 + ih) == (iw - 2 * fw) * (ih - 2 * fw)
        assert shot.pixel(x0 + iw, y0) == su.LTGRAY and shot.pixel(x0, y0 + ih) == su.LTGRAY
        assert shot.pixel(x0 + 390, y0 + 150) == su.LTGRAY
        assert shot.pixel(x0 + 160, y0 + 210) == su.LTGRAY
        # Nothing of the splash outside its rectangle.
        assert shot.pixel(x0 - 1, y0) != su.FRAME and shot.pixel(x0, y0 - 1) != su.FRAME
        assert shot.count(su.LTGRAY, x0 + W, y0, x0 + W + 3, y0 + H) == 0
        # Status text in red at (10, 230), version text in green at (330, 10), nowhere else.
        red = shot.extent(RED, x0, y0, x0 + W, y0 + H)
        green = shot.extent(GREEN, x0, y0, x0 + W, y0 + H)
        assert red and green, "both text lines drawn"
        assert x0 + 10 <= red[0] <= x0 + 20 and y0 + 230 <= red[1] <= y0 + 245, red
        assert red[2] > x0 + 150, "ten bold W at 24 points are wide"
        assert x0 + 330 <= green[0] <= x0 + 340 and y0 + 10 <= green[1] <= y0 + 25, green
        assert shot.count(RED, x0, y0, x0 + W, y0 + 200) == 0
    finally:
        code, err = finish(proc, gate)
    assert code == 0, err


def test_status_text_replaced_from_java_within_a_tick(appdir, gate):
    rt, proc = start(appdir, gate, 'actions 0,0,0,2\ntexts "I"\n' + UNTIL_GATE.format(gate=gate))
    try:
        su.wait_visible(TITLE)
        x0, y0 = su.centred(W, H)
        tovex.wait_for(lambda: any(line == 'call getText -> "I"' for line in rt.last_run()), 60,
                       what="getText in the transcript")

        def narrow_red():
            shot = su.screenshot("splash-status.png")
            red = shot.extent(RED, x0, y0, x0 + W, y0 + H)
            return shot if red and red[2] < x0 + 40 else None
        shot = tovex.wait_for(narrow_red, 30, what="the new status text on the splash")
        red = shot.extent(RED, x0, y0, x0 + W, y0 + H)
        assert y0 + 230 <= red[1] <= y0 + 245, "same position and font as before"
        assert shot.extent(GREEN, x0, y0, x0 + W, y0 + H), "the version line stays"
    finally:
        code, err = finish(proc, gate)
    assert code == 0, err
    run = rt.last_run()
    assert "getstringchars" in run and "releasestringchars" in run
    assert "deletelocalref" in run[run.index('call getText -> "I"'):], "the string's local reference is freed"


def test_hide_request_ends_splash_thread_while_main_runs(appdir, gate):
    rt, proc = start(appdir, gate, f"actions 0,1\nmain wait-exists {gate}\n")
    try:
        tovex.wait_for(lambda: splash_threads_detached(rt), 60, what="the splash thread's detach")
        su.wait_gone(TITLE, 30)
        assert proc.poll() is None, "the program still runs"
        run = rt.last_run()
        attach = [line for line in run if line.startswith("attach thread=")]
        assert attach and attach[0].endswith("daemon=0"), "attached as a non-daemon thread"
        polls = [line for line in run if line.startswith("call getAction")]
        assert polls[-1] == "call getAction -> 1", "no poll after the hide request"
        log = su.current_log()
        assert "Hiding splash screen" in log
    finally:
        code, err = finish(proc, gate)
    assert code == 0, err
    run = rt.last_run()
    assert run.index(splash_threads_detached(rt)[0]) < run.index("destroyed")


def test_first_application_window_hides_the_splash(appdir, gate):
    config = BASE
    rt, proc = start(appdir, gate, f"main wait-exists {gate}.ready\nmain window App Window\nmain wait-exists {gate}\n",
                     config=config)
    try:
        su.wait_visible(TITLE)
        # The splash stays while only the launcher's console (if any) and the splash exist.
        assert "Splash screen auto off" not in su.current_log()
        (gate.parent / "gate.ready").touch()
        su.wait_visible("App Window")
        su.wait_gone(TITLE, 30)
        assert "Splash screen auto off" in su.current_log()
    finally:
        (gate.parent / "gate.ready").touch()
        code, err = finish(proc, gate)
    assert code == 0, err
    # The VM's end waits for attached threads: the run ended, and every attach has its detach.
    attaches = [line for line in rt.last_run() if line.startswith("attach thread=")]
    assert len(splash_threads_detached(rt)) == len(attaches)


def test_splash_hidden_before_the_error_box(appdir, gate):
    config = BASE.replace("EXE_TYPE = 0", "EXE_TYPE = 1") + "CLASS_PATH = A1lib\\missing.jar\n"
    rt = runtimes.make_runtime(appdir / "jre", jvm="record", script="")
    # Slow the start down until the splash is up: the probe of java.exe waits for the gate.
    exe = tovex.build_app(appdir, config, stub="gui")
    proc = tovex.start_exe(exe, log=True)
    try:
        su.wait_visible("Error", 60)
        assert not su.visible_windows(TITLE), "the splash is hidden before the box appears"
        log = su.current_log()
        assert "Hiding splash screen" in log
        if "Initializing splash screen" in log:
            x0, y0 = su.centred(W, H)
            shot = su.screenshot("splash-error.png")
            assert shot.count(su.FRAME, x0, y0, x0 + su.IMAGE_W, y0 + su.IMAGE_H) == 0, \
                "no splash image left on the screen"
        tovex.answer_window("Error", "Return", proc)
        out, err = proc.communicate(timeout=60)
    finally:
        if proc.poll() is None:
            proc.kill()
    assert proc.returncode == 1
    assert "missing.jar" in log


@pytest.mark.parametrize("stub", ["gui", "console"])
def test_started_hidden_shows_no_splash(appdir, gate, stub):
    started = gate.parent / "started"
    rt = runtimes.make_runtime(appdir / "jre", jvm="record", script=f"main touch {started}\nmain wait-exists {gate}\n")
    exe = tovex.build_app(appdir, BASE, stub=stub)
    proc = tovex.start_exe(su.start_hidden_exe(), [str(exe)], log=True)
    try:
        tovex.wait_for(started.exists, 60, what="main to run")
        assert not su.visible_windows(TITLE)
        log = su.current_log()
        assert "Hiding splash screen" in log
        assert "Initializing splash screen" not in log and "Starting splash screen thread" not in log
    finally:
        gate.touch()
        proc.communicate(timeout=120)
    assert proc.returncode == 0
    assert not [line for line in rt.last_run() if line.startswith("attach thread=")], "no splash thread polls Java"
