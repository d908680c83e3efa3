"""A GUI-type launcher shows its errors in a message box (under Xvfb)."""
import spine_util
import tovex


def test_gui_launcher_error_box_with_configured_caption(appdir):
    exe = tovex.build_app(appdir, "EXE_TYPE = 1\nMAIN_CLASS = a.B\nMSG_ERROR_CAPTION = Oops Tovex\n", stub="gui")
    code, stderr, _ = spine_util.run_answering(exe, [], caption="Oops Tovex", key="Return")
    assert code == tovex.EXIT_NO_JVM
    assert "No JVM" not in stderr, "the text went to the box, not to standard error"


def test_gui_launcher_caption_from_the_language_set(tmp_path):
    appdir = tmp_path / "gui app"  # ASCII: see ascii_dir in test_spine_log.py
    config = "EXE_TYPE = 1\nMAIN_CLASS = a.B\n[lang de]\nMSG_ERROR_CAPTION = Fehler beim Start\n"
    exe = tovex.build_app(appdir, config, stub="gui")
    code, _, _ = spine_util.run_answering(exe, [], caption="Fehler beim Start", env={"LC_ALL": "de_DE.UTF-8"})
    assert code == tovex.EXIT_NO_JVM
