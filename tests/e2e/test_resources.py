"""The builder's [resources]: icon, splash image, version information and manifest as independent
readers see them (python3-pefile, icoutils' wrestool, Windows' own functions under Wine, a screenshot),
the UTF-8 code page, reproducible output from the Linux and the Windows builder, and Authenticode signing."""
import os
import pathlib
import shutil
import struct
import subprocess
import sys

import pefile
import pytest

import runtimes
import splash_util as su
import tovex
from files_util import extraction_dir, option_value

sys.path.insert(0, str(tovex.ROOT / "tools" / "resources"))
import image_files  # noqa: E402

RESINFO = tovex.WIN / "testing" / "resinfo.exe"
WIN_BUILDER = tovex.WIN / "tovex-build.exe"
NOWHERE = "MAIN_CLASS = app.Main\nJVM_SEARCH_SEQUENCE = Bno-such-jre\nMSG_NO_JVM_BITS = no java here\n"
RED, BLUE, GREEN = (255, 0, 0, 255), (0, 0, 255, 255), (0, 160, 0, 255)
VERSION = """FILE_VERSION = 1.2.3.4
PRODUCT_VERSION = 5.6
COMPANY_NAME = ACME Ünïcode
FILE_DESCRIPTION = The app ✓
PRODUCT_NAME = My App
LEGAL_COPYRIGHT = © 2026 ACME
INTERNAL_NAME = myapp
COMMENTS = "  kept blanks  "
"""
STRINGS = {"CompanyName": "ACME Ünïcode", "FileDescription": "The app ✓", "FileVersion": "1.2.3.4",
           "InternalName": "myapp", "LegalCopyright": "© 2026 ACME", "OriginalFilename": "app.exe",
           "ProductName": "My App", "ProductVersion": "5.6", "Comments": "  kept blanks  "}


def solid(colour):
    return lambda x, y: colour


def resinfo(exe, icon_size=32) -> dict:
    proc = subprocess.run(["wine", str(RESINFO), tovex.wine_path(exe), str(icon_size)], capture_output=True,
                          env=tovex.wine_env(), stdin=subprocess.DEVNULL)
    assert proc.returncode == 0, proc.stdout
    return dict(line.split("=", 1) for line in proc.stdout.decode("utf-8").splitlines())


def builder(*args, env=None, check=True):
    proc = subprocess.run([str(tovex.BUILDER), *map(str, args)], capture_output=True,
                          env=dict(os.environ, **(env or {})))
    if check:
        assert proc.returncode == 0, proc.stderr.decode("utf-8", "replace")
    return proc


def check_headers(exe: pathlib.Path) -> pefile.PE:
    """Headers an image loader accepts: contiguous sections, the resource section last, a true CheckSum."""
    pe = pefile.PE(str(exe))
    assert pe.verify_checksum(), "CheckSum"
    sections = pe.sections
    align = pe.OPTIONAL_HEADER.SectionAlignment
    for a, b in zip(sections, sections[1:]):
        end = a.VirtualAddress + max(a.Misc_VirtualSize, a.SizeOfRawData)
        assert b.VirtualAddress == (end + align - 1) // align * align, (a.Name, b.Name)
    last = sections[-1]
    assert last.Name.rstrip(b"\0") == b".rsrc"
    assert pe.OPTIONAL_HEADER.DATA_DIRECTORY[2].VirtualAddress == last.VirtualAddress
    assert pe.OPTIONAL_HEADER.SizeOfImage == (last.VirtualAddress + last.Misc_VirtualSize + align - 1) // align * align
    raw_end = max(s.PointerToRawData + s.SizeOfRawData for s in sections)
    assert raw_end == last.PointerToRawData + last.SizeOfRawData, "the last entry's raw data ends the image"
    assert exe.read_bytes()[raw_end:raw_end + 4] == b"\xd5\x13\xe4\xe8", "the block follows it"
    return pe


def version_strings(pe: pefile.PE) -> dict:
    for info in pe.FileInfo[0]:
        if info.Key == b"StringFileInfo":
            table = info.StringTable[0]
            assert table.LangID == b"040904B0"
            return {k.decode(): v.decode("utf-8") for k, v in table.entries.items()}
    return {}


def wrestool_group(exe: pathlib.Path, name: str) -> bytes:
    proc = subprocess.run(["wrestool", "-x", "--type=14", f"--name={name}", str(exe)], capture_output=True)
    assert proc.returncode == 0 and proc.stdout, proc.stderr
    return proc.stdout


ICONS = {
    "ico of bitmaps": lambda: image_files.ico([(16, solid(RED)), (32, solid(BLUE))]),
    "ico of PNG images": lambda: image_files.ico([(16, solid(RED)), (32, solid(BLUE))], png_images=True),
    "single PNG": lambda: image_files.png(32, 32, solid(BLUE)),
}


@pytest.mark.parametrize("kind", list(ICONS))
def test_icon_and_version_as_windows_pefile_and_wrestool_read_them(appdir, kind):
    icon = ICONS[kind]()
    (appdir / "icon file").write_bytes(icon)
    exe = tovex.build_app(appdir, NOWHERE + "[resources]\nICON = icon file\n" + VERSION, stub="gui")

    pe = check_headers(exe)
    assert version_strings(pe) == STRINGS
    fixed = pe.VS_FIXEDFILEINFO[0]
    assert (fixed.FileVersionMS, fixed.FileVersionLS) == (0x10002, 0x30004)
    assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x50006, 0)

    # wrestool rebuilds both groups as .ico files whose images are the input's.
    expected = [icon] if kind == "single PNG" else image_files.ico_images(icon)
    for group in ("1001", "ID_SPLASH_ICON"):
        assert image_files.ico_images(wrestool_group(exe, group)) == expected

    # Windows' own functions: the version strings, and each image at its size.
    info = resinfo(exe, 32)
    assert info["fixed file"].startswith("1.2.3.4 product=5.6.0.0 ")
    assert info["translation"] == "0409 04b0"
    assert {k[len("string "):]: v for k, v in info.items() if k.startswith("string ")} == STRINGS
    for group in ("icon 1001", "icon ID_SPLASH_ICON"):
        assert info[group] == "32x32 centre=0,0,255 corner=0,0,255"
    if kind != "single PNG":
        assert resinfo(exe, 16)["icon 1001"] == "16x16 centre=255,0,0 corner=255,0,0"

    # The launcher still finds its block behind the new last section.
    result = tovex.run_exe(exe)
    assert (result.returncode, result.stderr.strip()) == (tovex.EXIT_NO_JVM, "no java here")


# The splash pattern: four quadrants, a transparent top left corner, a half-transparent band.
SW, SH = 120, 80


def splash_pixel(x, y):
    if x < 20 and y < 20:
        return (0, 255, 0, 0)                       # fully transparent: the grey shows
    if 40 <= y < 50:
        return (255, 0, 0, 128)                     # half red over grey
    return [[(250, 200, 0, 255), (0, 90, 200, 255)], [(200, 0, 160, 255), (0, 160, 120, 255)]][y >= SH // 2][x >= SW // 2]


def blend(c, a, grey=192):
    return tuple((c[k] * a + grey * (255 - a) + 127) // 255 for k in range(3))


def test_splash_image_on_screen_with_its_size_and_grey_corner(appdir, tmp_path):
    (appdir / "splash.png").write_bytes(image_files.png(SW, SH, splash_pixel))
    title = "Splash Image E2E"
    conf = (f"APPLICATION_NAME = {title}\nMAIN_CLASS = demo.Main\nEXE_TYPE = 0\nJVM_SEARCH_SEQUENCE = B.\\jre\n"
            "SPLASH_ENABLED = 1\nSPLASH_HIDE_ON_WINDOW = 1\n[resources]\nSPLASH_IMAGE = splash.png\n")
    gate = tmp_path / "gate"
    rt = runtimes.make_runtime(appdir / "jre", jvm="record", script=f"main wait-exists {gate}\nmain window Bye\n")
    exe = tovex.build_app(appdir, conf)
    dump = builder("--dump", exe).stdout.decode()
    assert f"SPLASH_WIDTH = {SW}\n" in dump and f"SPLASH_HEIGHT = {SH}\n" in dump
    pe = check_headers(exe)
    raw = [e for t in pe.DIRECTORY_ENTRY_RESOURCE.entries if t.id == 10 for e in t.directory.entries if e.id == 10000]
    data = raw[0].directory.entries[0].data.struct
    assert pe.get_data(data.OffsetToData, data.Size) == (appdir / "splash.png").read_bytes(), "raw data 10000"

    proc = tovex.start_exe(exe, log=True)
    try:
        su.wait_visible(title)
        x0, y0 = su.centred(SW, SH)
        shot = tovex.wait_for(lambda: (lambda s: s if s.pixel(x0 + 30, y0 + 10) == (250, 200, 0) else None)(
            su.screenshot("splash-image.png")), 30, what="the splash image on the screen")
        assert shot.pixel(x0 + 5, y0 + 5) == su.LTGRAY, "transparent corner shows the grey"
        assert shot.pixel(x0 + 19, y0 + 19) == su.LTGRAY and shot.pixel(x0 + 20, y0 + 20) == (250, 200, 0)
        assert shot.pixel(x0 + SW - 5, y0 + 5) == (0, 90, 200)
        assert shot.pixel(x0 + 5, y0 + SH - 5) == (200, 0, 160)
        assert shot.pixel(x0 + SW - 5, y0 + SH - 5) == (0, 160, 120)
        assert shot.pixel(x0 + 60, y0 + 45) == blend((255, 0, 0), 128)
        assert shot.pixel(x0 - 2, y0 + 30) != (250, 200, 0) and shot.pixel(x0 + SW + 1, y0 + 60) != (0, 160, 120)
    finally:
        gate.touch()
        out, err = proc.communicate(timeout=120)
    assert proc.returncode == 0, err


def test_utf8_code_page_brings_non_ascii_text_intact(appdir):
    rt = runtimes.make_runtime(appdir / "jre", jvm="record")
    conf = ("MAIN_CLASS = démo.Grüße✓日本\nJVM_SEARCH_SEQUENCE = B.\\jre\nAPP_ARGUMENTS = ✓ Ω\n"
            "[resources]\nUTF8_CODE_PAGE = 1\n")
    exe = tovex.build_app(appdir, conf)
    pe = pefile.PE(str(exe))
    manifest = [t for t in pe.DIRECTORY_ENTRY_RESOURCE.entries if t.id == 24][0].directory.entries[0]
    assert manifest.id == 1
    entry = manifest.directory.entries[0].data.struct
    assert b"<activeCodePage" in pe.get_data(entry.OffsetToData, entry.Size)
    assert tovex.run_exe(exe).returncode == 0
    args = rt.main_args()
    assert "démo.Grüße✓日本" in args and args[-2:] == ["✓", "Ω"], args
    # A message text, too: the bytes written are UTF-8.
    exe = tovex.build_app(appdir, NOWHERE.replace("no java here", "Kein Java ✓ 日本") +
                          "[resources]\nUTF8_CODE_PAGE = 1\n", name="msg.exe")
    result = tovex.run_exe(exe, encoding="utf-8")
    assert (result.returncode, result.stderr.strip()) == (tovex.EXIT_NO_JVM, "Kein Java ✓ 日本")
    dump = builder("--dump", exe).stdout
    assert 'MSG_NO_JVM_BITS = "Kein Java ✓ 日本"\n' in dump.decode()
    (appdir / "dump.conf").write_bytes(dump)
    again = appdir / "again" / "msg.exe"
    again.parent.mkdir()
    builder("--stub", tovex.STUBS["console"], "--config", appdir / "dump.conf", "--out", again)
    assert again.read_bytes() == exe.read_bytes(), "the dump rebuilds the same exe"


def test_reproducible_from_the_linux_and_the_windows_builder(appdir, tmp_path):
    (appdir / "app.ico").write_bytes(image_files.ico([(16, solid(RED)), (32, solid(BLUE))]))
    (appdir / "splash.png").write_bytes(image_files.png(SW, SH, splash_pixel))
    payload = appdir / "lib.bin"
    payload.write_bytes(bytes(range(256)) * 40 + b"\x01")
    conf = (NOWHERE + "[resources]\nICON = app.ico\nSPLASH_IMAGE = splash.png\nDPI_AWARENESS = system\n" + VERSION +
            "[files]\nlib\\p.bin = lib.bin\n")
    (appdir / "app.conf").write_text(conf, encoding="utf-8")
    stub = tovex.STUBS["gui"]
    outs = {}
    for name, env in (("a", {}), ("b", {}), ("epoch1", {"SOURCE_DATE_EPOCH": "1700000000"}),
                      ("epoch2", {"SOURCE_DATE_EPOCH": "1700000000"})):
        (appdir / name).mkdir()
        builder("--stub", stub, "--config", appdir / "app.conf", "--out", appdir / name / "app.exe", env=env)
        outs[name] = (appdir / name / "app.exe").read_bytes()
    assert outs["a"] == outs["b"] and outs["epoch1"] == outs["epoch2"] and outs["a"] != outs["epoch1"]
    assert pefile.PE(str(appdir / "epoch1" / "app.exe")).FILE_HEADER.TimeDateStamp == 1700000000
    assert pefile.PE(str(appdir / "a" / "app.exe")).FILE_HEADER.TimeDateStamp == pefile.PE(str(stub)).FILE_HEADER.TimeDateStamp

    # The Windows builder under Wine writes the same bytes (ORIGINAL_FILENAME from the same output name).
    for name, env in (("a", {}), ("epoch1", {"SOURCE_DATE_EPOCH": "1700000000"})):
        win_dir = tmp_path / "win" / name
        win_dir.mkdir(parents=True)
        proc = subprocess.run(["wine", str(WIN_BUILDER), "--stub", tovex.wine_path(stub), "--config",
                               tovex.wine_path(appdir / "app.conf"), "--out", tovex.wine_path(win_dir / "app.exe")],
                              capture_output=True, env=tovex.wine_env(env), stdin=subprocess.DEVNULL)
        assert proc.returncode == 0, proc.stderr.decode("utf-8", "replace")
        assert (win_dir / "app.exe").read_bytes() == outs[name], name


def openssl_cert(directory: pathlib.Path):
    key, cert = directory / "key.pem", directory / "cert.pem"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=tovex test signer",
                    "-days", "2", "-keyout", str(key), "-out", str(cert)], check=True, capture_output=True)
    return key, cert


def test_signed_exe_runs_extracts_and_rebuilds_without_its_signature(appdir, tmp_path):
    rt = runtimes.make_runtime(appdir / "jre")
    (appdir / "app.ico").write_bytes(image_files.ico([(32, solid(GREEN))]))
    payload = tmp_path / "payload.bin"
    payload.write_bytes(bytes(range(256)) * 64 + b"\xd6\x00")
    conf = "MAIN_CLASS = app.Main\nJVM_SEARCH_SEQUENCE = B.\\jre\n[resources]\nICON = app.ico\nFILE_VERSION = 2.0\n"
    exe = tovex.build_app(appdir, conf, files={"user\\p.bin": payload}, name="unsigned.exe")
    unsigned_size = exe.stat().st_size
    key, cert = openssl_cert(tmp_path)
    signed = appdir / "app.exe"
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-n", "tovex test", "-h", "sha256",
                    "-in", str(exe), "-out", str(signed)], check=True, capture_output=True)
    verify = subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(signed)], capture_output=True,
                            text=True)
    assert verify.returncode == 0 and "Signature verification: ok" in verify.stdout, verify.stdout + verify.stderr
    assert pefile.PE(str(signed)).verify_checksum()

    result = tovex.run_exe(signed, log=True)
    assert result.returncode == 0, result.stderr
    out = extraction_dir(result.log)
    try:
        assert (out / "user" / "p.bin").read_bytes() == payload.read_bytes()
        assert option_value(rt.options(), "tovex.unextractedPosition") == str(unsigned_size)
    finally:
        shutil.rmtree(out)
    dump = builder("--dump", signed).stdout.decode()
    assert "MAIN_CLASS = app.Main\n" in dump and "FILE_COUNT = 1" in dump
    # The certificate table is named, not taken for unknown bytes after the appended files.
    table = pefile.PE(str(signed)).OPTIONAL_HEADER.DATA_DIRECTORY[4]
    assert (f"# The executable is signed: its certificate table ({table.Size} bytes at offset "
            f"{table.VirtualAddress}) ends the file.") in dump, dump
    assert "1 appended files follow the block" in dump and "neither the trailer" not in dump, dump

    # Rebuilt over the signed exe: signature, old block and files gone, the same bytes as a fresh build.
    (appdir / "again.conf").write_text(conf, encoding="utf-8")
    again = appdir / "again.exe"
    builder("--stub", signed, "--config", appdir / "again.conf", "--out", again)
    direct = appdir / "direct" / "again.exe"
    direct.parent.mkdir()
    builder("--stub", exe, "--config", appdir / "again.conf", "--out", direct)
    assert again.read_bytes() == direct.read_bytes()
    pe = check_headers(again)
    assert pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].VirtualAddress == 0 and pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size == 0
    unsigned = subprocess.run(["osslsigncode", "verify", "-CAfile", str(cert), "-in", str(again)], capture_output=True)
    assert unsigned.returncode != 0, "the rebuilt exe carries no signature"
    assert resinfo(again)["icon 1001"] == "32x32 centre=0,160,0 corner=0,160,0"


def test_set_passes_the_version_without_templating_the_file(appdir):
    """A build tool gives the version on the command line: --set of [resources] keys replaces the
    file's lines, as Windows' version functions read them."""
    (appdir / "app.conf").write_text(NOWHERE + "[resources]\nFILE_VERSION = 1.0\nPRODUCT_NAME = My App\n",
                                     encoding="utf-8")
    exe = appdir / "app.exe"
    builder("--stub", tovex.STUBS["gui"], "--config", appdir / "app.conf", "--out", exe,
            "--set", "FILE_VERSION=1.2.3", "--set", "COMPANY_NAME=ACME Ünïcode")
    info = resinfo(exe)
    assert info["fixed file"].startswith("1.2.3.0 product=1.2.3.0 ")
    assert info["string FileVersion"] == "1.2.3"
    assert info["string CompanyName"] == "ACME Ünïcode"
    assert info["string ProductName"] == "My App"
    refused = builder("--stub", tovex.STUBS["gui"], "--config", appdir / "app.conf", "--out", appdir / "no.exe",
                      "--set", "FILE_VERSION=1.2.x", check=False)
    assert refused.returncode == 1 and b"--set FILE_VERSION: FILE_VERSION: " in refused.stderr
    assert not (appdir / "no.exe").exists()
