#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are rows of the unit-test tables in the input form of each target
(pieces separated by NUL bytes where a target takes several). Run it after
changing a table or a target's input form; its output is checked in.
"""
import os
import shutil
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")
sys.path.insert(0, os.path.join(HERE, "..", "tools", "resources"))
import image_files  # noqa: E402


def u16(text):
    return text.encode("utf-16-le")


def unescape(field):
    """A field of tests/data/argument_splitting.tsv: \\t, \\\\ and \\uXXXX (one UTF-16 code unit) undone."""
    units = []
    i = 0
    while i < len(field):
        if field[i] != "\\":
            units.append(ord(field[i]))
        elif field[i + 1] in "t\\":
            i += 1
            units.append(9 if field[i] == "t" else 0x5C)
        else:
            units.append(int(field[i + 2:i + 6], 16))
            i += 5
        i += 1
    return struct.pack("<%dH" % len(units), *units).decode("utf-16-le", "surrogatepass")


def tokenizer_inputs():
    """The inputs of the tokenizer's case table, which the C++ and the Java tests read."""
    path = os.path.join(HERE, "..", "tests", "data", "argument_splitting.tsv")
    with open(path, encoding="ascii") as table:
        return [unescape(line.rstrip("\n").split("\t")[1]) for line in table if line.strip() and line[0] != "#"]


def block(strings=(), wides=(), sets=()):
    """A configuration block: magic, reserved words, the byte count, then the entries."""
    body = struct.pack("<I", len(strings))
    for ident, value in strings:
        body += struct.pack("<iI", ident, len(value)) + value
    body += struct.pack("<I", len(wides))
    for ident, value in wides:
        body += struct.pack("<iI", ident, len(value)) + value
    body += struct.pack("<I", len(sets))
    for key, entries in sets:
        body += struct.pack("<I", len(key)) + key + struct.pack("<I", len(entries))
        for ident, value in entries:
            body += struct.pack("<iI", ident, len(value)) + value
    head = struct.pack("<III", 0xE8E413D5, 0, 0)
    return head + struct.pack("<Q", len(body) + 8) + body


def pe32plus(raw_offset=0x200, raw_size=0x40):
    """A PE32+ image with one section whose raw data ends where the block begins."""
    image = bytearray(raw_offset + raw_size)
    image[0:2] = b"MZ"
    pe = 0x80
    struct.pack_into("<I", image, 0x3C, pe)
    image[pe:pe + 4] = b"PE\0\0"
    struct.pack_into("<HH", image, pe + 4, 0x8664, 1)
    struct.pack_into("<H", image, pe + 20, 240)
    struct.pack_into("<H", image, pe + 24, 0x20B)
    entry = pe + 24 + 240
    image[entry:entry + 5] = b".text"
    struct.pack_into("<II", image, entry + 16, raw_size, raw_offset)
    return bytes(image)


def appended(files):
    out = b""
    for content in files:
        out += struct.pack("<q", len(content)) + bytes(b ^ 0xD6 for b in content)
    return out


SAMPLE = block(
    strings=[(122, b"com.example.Main"), (126, b"1.8"), (128, b"B.\\jre;Y;E JAVA_HOME"), (1000, b"Error"),
             (10114, b"255,128,0"), (121, b"A0lib\\a.jar;E1CP")],
    wides=[(1000, u16("Fehler"))],
    sets=[(b"de", [(1009, u16("Interner Fehler {0}"))]), (b"fr_FR", [(1000, u16("Erreur"))])])
WITH_FILES = block(strings=[(2002, b"2"), (2003, b"app.jar;user\\lib.jar"), (122, b"a.B")])


def unusual_tree(entries, base):
    """A resource tree written the other way round from the builder (as the writer's
    tests make it): the data first, then the directories in first-seen order, the
    strings last. Returns the bytes and the offset of the root."""
    out = bytearray()
    data_rva = []
    for _, _, _, data in entries:
        data_rva.append(base + len(out))
        out += data
        while len(out) % 4:
            out += b"\0"
    types, names = [], []
    for i, (rtype, rname, _, _) in enumerate(entries):
        if rtype not in types:
            types.append(rtype)
            names.append([])
        t = types.index(rtype)
        row = next((n for n in names[t] if n[0] == rname), None)
        if row is None:
            row = (rname, [])
            names[t].append(row)
        row[1].append(i)
    root = len(out)
    cursor = root + 16 + 8 * len(types)
    type_dirs, name_dirs, leaf_at = [], [], [0] * len(entries)
    for t in range(len(types)):
        type_dirs.append(cursor)
        cursor += 16 + 8 * len(names[t])
    for t in range(len(types)):
        for row in names[t]:
            name_dirs.append(cursor)
            cursor += 16 + 8 * len(row[1])
    for i in range(len(entries)):
        leaf_at[i] = cursor
        cursor += 16
    out += bytes(cursor - len(out))

    def field(name):
        if isinstance(name, int):
            return name
        at = len(out) - root
        out.extend(struct.pack("<H", len(name)) + u16(name))
        return 0x80000000 | at

    def header(at, listed):
        named = sum(1 for n in listed if not isinstance(n, int))
        struct.pack_into("<HH", out, at + 12, named, len(listed) - named)

    header(root, types)
    k = 0
    for t, rtype in enumerate(types):
        struct.pack_into("<II", out, root + 16 + 8 * t, field(rtype), 0x80000000 | (type_dirs[t] - root))
        header(type_dirs[t], [row[0] for row in names[t]])
        for n, (rname, members) in enumerate(names[t]):
            struct.pack_into("<II", out, type_dirs[t] + 16 + 8 * n, field(rname), 0x80000000 | (name_dirs[k] - root))
            header(name_dirs[k], [0] * len(members))
            for j, i in enumerate(members):
                struct.pack_into("<II", out, name_dirs[k] + 16 + 8 * j, entries[i][2], leaf_at[i] - root)
                struct.pack_into("<II", out, leaf_at[i], data_rva[i], len(entries[i][3]))
            k += 1
    return bytes(out), root


def linker_stub(sections):
    """A PE32+ image like a linker's (as the writer's tests make it): headers 0x400, file
    alignment 0x200, section alignment 0x1000, a stale CheckSum, the sections (name,
    data, offset of the resource root) in order, a certificate table after them."""
    image = bytearray(0x400)
    image[0:2] = b"MZ"
    pe, opt = 0x80, 0x80 + 24
    table = opt + 240
    struct.pack_into("<I", image, 0x3C, pe)
    image[pe:pe + 4] = b"PE\0\0"
    struct.pack_into("<HHI", image, pe + 4, 0x8664, len(sections), 0x12345678)
    struct.pack_into("<H", image, pe + 20, 240)
    struct.pack_into("<H", image, opt, 0x20B)
    struct.pack_into("<II", image, opt + 32, 0x1000, 0x200)
    struct.pack_into("<II", image, opt + 60, 0x400, 0xDEADBEEF)
    struct.pack_into("<I", image, opt + 108, 16)
    va = 0x1000
    for i, (name, data, root) in enumerate(sections):
        entry = table + 40 * i
        raw = (len(data) + 0x1FF) // 0x200 * 0x200
        image[entry:entry + len(name)] = name
        struct.pack_into("<IIII", image, entry + 8, len(data), va, raw, len(image))
        struct.pack_into("<I", image, entry + 36, 0x40000040)
        if name == b".rsrc":
            struct.pack_into("<II", image, opt + 112 + 16, va + root, len(data) - root)
        if name == b".reloc":
            struct.pack_into("<II", image, opt + 112 + 40, va, len(data))
        image += data + bytes(raw - len(data))
        va += (len(data) + 0xFFF) // 0x1000 * 0x1000
    struct.pack_into("<I", image, opt + 56, va)
    struct.pack_into("<II", image, opt + 112 + 32, len(image), 16)
    return bytes(image) + b"S" * 16


def icon_group(ids):
    out = struct.pack("<HHH", 0, 1, len(ids))
    for i in ids:
        out += struct.pack("<BBBBHHIH", 32, 32, 0, 0, 1, 32, 0, i)
    return out


STUB_ENTRIES = [(24, 1, 0x409, b"<assembly/>"), (5, 101, 0x409, b"dialog template"), (3, 2, 0x409, b"old icon two"),
                (3, 1, 0x409, b"old icon one"), (14, 1001, 0x409, icon_group([1])),
                (14, "ID_SPLASH_ICON", 0x409, icon_group([2])), (2, 10000, 0x407, b"old bitmap, German"),
                (2, 10000, 0x409, b"old bitmap"), ("LOGO", "MAIN", 0, b"kept as it is"), (10, 10000, 0x409, b"old png")]
STUB_TREE, STUB_ROOT = unusual_tree(STUB_ENTRIES, 0x2000)
STUB_LAYOUTS = [
    linker_stub([(b".text", b"\xAB" * 0x300, 0), (b".rsrc", STUB_TREE, STUB_ROOT)]),
    linker_stub([(b".text", b"\xAB" * 0x300, 0), (b".rsrc", STUB_TREE, STUB_ROOT), (b".reloc", b"\xCD" * 0x20, 0)]),
    linker_stub([(b".text", b"\xAB" * 0x300, 0), (b".reloc", b"\xCD" * 0x20, 0)]),
]
# The writer's changes in the resources target's text form.
EVERY_KIND = (b"icon 16 16 0 1 32 sixteen\nicon 32 32 0 1 32 thirty-two pixels\ngroup 1001\ngroup \"ID_SPLASH_ICON\"\n"
              b"res 2 10000 1033 0 new bitmap\nres 10 10000 1033 0 new png bytes\nres 16 1 1033 0 version\n"
              b"res 24 1 1033 0 <assembly>new</assembly>\n")
CHANGES = [EVERY_KIND, EVERY_KIND + b"time 1700000000\n", b"time 0\n", b"",
           b"res \"LOGO\" \"MAIN\" 0 1252 replaced\nicon 0 0 0 0 0 \x89PNG\r\n\x1a\n"]



def png_header(width, height):
    """The start of a PNG that declares a size (as the [resources] tests write it)."""
    ihdr = b"\0\0\0\x0dIHDR" + struct.pack(">II", width, height) + b"\x08\x06\0\0\0"
    return b"\x89PNG\r\n\x1a\n" + ihdr + bytes(12)


def bmp(width, height, bits=24):
    row = (width * bits + 31) // 32 * 4
    pixels = bytes((x * 37) & 0xFF for x in range(row * height))
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 0, 0, 0, 0)
    return b"BM" + struct.pack("<IHHI", 14 + len(info) + len(pixels), 0, 0, 14 + len(info)) + info + pixels


def red_blue(x, y):
    return (255, 0, 0, 255) if (x + y) % 2 else (0, 0, 255, 128)


# An 8x8 red JPEG and a 3x2 blue GIF (ImageMagick: convert -size 8x8 xc:red -strip jpg:-, and
# convert -size 3x2 xc:blue -strip gif:-).
JPEG_8X8 = bytes.fromhex(
    "ffd8ffe000104a46494600010100000100010000ffdb004300030202020202030202020303030304060404040404080606050609080a0a"
    "090809090a0c0f0c0a0b0e0b09090d110d0e0f101011100a0c12131210130f101010ffdb00430103030304030408040408100b090b1010"
    "101010101010101010101010101010101010101010101010101010101010101010101010101010101010101010101010ffc00011080008"
    "000803011100021101031101ffc40014000100000000000000000000000000000008ffc40014100100000000000000000000000000000000"
    "ffc4001501010100000000000000000000000000000709ffc40014110100000000000000000000000000000000ffda000c03010002110311"
    "003f003a03154dffd9")
GIF_3X2 = bytes.fromhex("47494638396103000200f000000000ff00000021f90400000000002c0000000003000200000202845f003b")
ICO_CUT = bytes([0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 44, 0, 0, 0, 22, 0, 0, 0]) + struct.pack("<I", 40) + bytes(36)
MANIFESTS = [
    b"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- c --><assembly a='1' b=\"&amp;&#65;&#x42;\"><x/>t"
    b"<![CDATA[<]]></assembly>\n",
    b"<asm:assembly xmlns:asm=\"urn:x\"></asm:assembly>", b"<assembly><a></b></assembly>", b"<assembly>",
    b"<assembly a=1/>", b"<assembly a='1' a='2'/>", b"<assembly>&nbsp;</assembly>", b"<assembly/><more/>",
    b"<!DOCTYPE x><assembly/>", b"<assembly><!-- a -- b --></assembly>", b"<dependency/>", b"",
    b"\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
    b"<application xmlns=\"urn:schemas-microsoft-com:asm.v3\"><windowsSettings><activeCodePage>UTF-8</activeCodePage>"
    b"</windowsSettings></application></assembly>\n",
]
LINES = [
    b"FILE_VERSION\0" b"1.2.3.4\0PRODUCT_VERSION\0" b"65535.0.7\0COMPANY_NAME\0Acme \xE2\x9C\x93\0COMMENTS\0\xF0\x9F\x98\x80",
    b"FILE_VERSION\0" b"1.2.3.4.5\0PRODUCT_VERSION\0a.b\0ORIGINAL_FILENAME\0x.exe\0INTERNAL_NAME\0\xFF\xFE",
    b"EXECUTION_LEVEL\0highestAvailable\0DPI_AWARENESS\0system\0LONG_PATHS\0" b"1\0UTF8_CODE_PAGE\0" b"1",
    b"EXECUTION_LEVEL\0admin\0LONG_PATHS\0yes\0ICONS\0a.ico\0LEGAL_COPYRIGHT\0" + b"x" * 1025,
]

SEEDS = {
    "block_decoder": [pe32plus() + SAMPLE, pe32plus() + WITH_FILES + appended([b"PK", b"jar"]),
                      pe32plus() + block(), pe32plus()[:0x100]],
    "builder_dump": [pe32plus() + SAMPLE + b"\xE8\xE4\x13\xD5", pe32plus() + WITH_FILES + appended([b"PK", b"jar"]),
                     pe32plus() + block(wides=[(5, b"\x41\x00\x00\xD8")])],
    "builder_config": [
        b"MAIN_CLASS = com.example.Main\nMIN_VERSION = 1.8\nJVM_SEARCH_SEQUENCE = B.\\jre;Y\n"
        b"STATUS_TEXT_COLOR = 255,128,0\nVM_OPTIONS = \"-Dq=a b\" -Xmx64m\n",
        b"# comment\n[strings]\nAPP_ARGUMENTS = \"  keep \\x00 \\t\"\n12345 = by id\n[wide]\nMSG_ERROR_CAPTION = Fehler\n"
        b"[lang de]\nMSG_INTERNAL_ERROR = \"Interner Fehler {0} \\uD800\"\n[lang \"a]b\"]\n1000 = x\n",
        b"\xEF\xBB\xBFMAIN_CLASS = a\r\n[files]\napp.jar = app.jar\nuser/lib.jar = \"/abs/lib.jar\"\n",
        b"[lang]\nMSG_ERROR_CAPTION = \"\\\"q\\\"\"\nLAUNCHER_FLAVOUR = e\n",
    ],
    "tokenizer": [u16(t) for t in tokenizer_inputs()],
    "version_output": [b"java version \"1.8.0_292\"\nJava(TM) SE Runtime Environment\n",
                       b"Picked up _JAVA_OPTIONS: -Xmx1g\r\nopenjdk version \"17.0.2\" 2022-01-18\r\n",
                       b"openjdk version \"17", b"Error: could not open\n",
                       b"OpenJDK 64-Bit Server VM warning: Attempt to get process group affinity failed\r\n"
                       b"openjdk version \"21.0.8\" 2025-07-15 LTS\r\n"],
    "options": [
        b"-Xmx64m \"-Dq=a b\" -classpath/a \"-classpath/p C:\\pre.jar\"\0-Dfile=1\n\0A0lib\\a.jar\0-Jelement0\n-J-Dj=1",
        b"-include-options inc\\a.vmoptions -Dlast -include-options\0"
        b"\xEF\xBB\xBF-Dbom=1\r\n   -Dspaces=1   \r\n\t-Dtab=1\t\n    # c\n#c\n\n-classpath\n-Dv=${LIBDIR}\n"
        b"-include-options C:\\App\\inc\\b.vmoptions\n-classpath ${JARS}\0S0${LIBDIR};E0JARS;E0QUOTED;D0lib\\sub\0"
        b"-Dsun.locale.formatasdefault=false",
        b"\0-classpath/a x.jar\n-classpath/p %TOVEX_EXEDIR%lib\\y.zip\n\0A1lib\\x.jar;E1NO_SUCH;S1lib\0i",
    ],
    "expansion": [b"\0" + t for t in [b"%TOVEX_EXEDIR%lib", b"a%TOVEX_PATHLIST_SEPARATOR%b", b"${launcher:sys.tempDir}",
                                       b"${TEMP}\\x %TEMP% ${Path}${PATH}${path}", b"${lower}${LOWER}${TEMP",
                                       b"%MARLOWKIT_JVM_HOME%${MARLOWKIT_TEMPDIR}${=C:}${Mixed_Case}"]]
                 + [b"\1${A}${TEMP}%TOVEX_EXEDIR%${launcher:sys.jvmHome}" * 4],
    "version_rules": [b"1.8.0_292\0" b"1.8\0" b"1.9\0" b"1.7.0\n1.8.0_40\n1.8\n9\n1.8.0_292-ea",
                      b"17.0.2-beta\0\0\0" b"17\n11\n\n", b"1.8\0" b"1.8.0\0" b"1.8.0_999\0" b"1.8.0_1\n1.8.1"],
    "language": [b"\x07\x04\x09\x04\x00" + u16("-Dsun.locale.formatasdefault=false"),
                 b"\x14\x08\x09\x04\x01" + u16("x\n-Dsun.locale.formatasdefault=true"),
                 b"\xff\xff\x00\x00\x00" + u16("-Dsun.locale.formatasdefault=")],
    "extract_names": [b"app.jar;user\\lib.jar", b";;a.jar;;b.jar;", b"a..b.jar;..jar;.\\x.jar;..\\evil.jar",
                      b"user\\..\\..\\evil.jar;../evil.jar;. .\\evil.jar;...\\evil.jar;.. \\evil.jar",
                      b"\\evil.jar;/evil.jar;\\\\server\\share\\x;C:\\evil.jar;C:evil.jar;lib.jar:stream"],
    "path_rules": [b"C:\\App\\\\lib\\\\x.jar", b"\\\\server\\\\share\\x", b"\"C:\\x", b"C:\\.\\.", b"lib\\x.jar;;y.jar",
                   b"c:\\program files\\java\\jre7\\bin\\javaw.exe", b"C:\\RT\\BIN\\JAVA.EXE", b"\x80\x9f\xff"],
    "numbers": [b"42", b" \t-17", b"+2147483647", b"2147483648", b"-2147483649", b"99999999999999999999",
                b"255,128,0", b",1,,2,3", b" 1 , 2 ,3", b"1,2", b"256,0,0"],
    "search": [b"B.\\jre;;E JAVA_HOME_X;S;Y;a;xfoo;A${X}\\jre;", b"Ac:\\java\\jre;R\\\\server\\share\\jre;A\\jre;Ac",
               b"c:\\java\\jre\r\nsecond\r\n", b"\r\nc:\\java\\jre", b"c:\\app\\jre\\\\", b"\\\\\\"],
    "handover": [u16(t) for t in ["\"C:\\Program Files\\App\\app.exe\" one \"two words\"", "\"C:\\Program Files\\App\\app.exe",
                                  "app.exe    a   b ", "\"app.exe\"x y", "app.exe \u00fc\u20ac", "*x",
                                  "*a\U0001F600"]],
    "numeric_version": [b"1.8.0_372-b07\0" b"1.8\0" b"17", b"17.0.9+9\0" b"11\0" b"21.0.1",
                        b"22-ea+27-2262\0" b"9.0.4\0" b"22", b"1.1.5\0" b"1\0" b"1.2.3.4.5.6.7.8",
                        b'\xEF\xBB\xBFIMPLEMENTOR="Eclipse Adoptium"\r\nJAVA_VERSION="17.0.9"\r\n'
                        b'JAVA_RUNTIME_VERSION="17.0.9+9"\r\n',
                        b'JAVA_VERSION="22"\nJAVA_RUNTIME_VERSION="22-ea+27-2262"\nJAVA_VERSION="1"\n'],
    "message": [b"An internal error occurred (error code: {0})\0" b"7", b"{0} and {0}\0" b"{0}",
                b"no placeholder\0arg\0Fehler {0}", b"{0\0x"],
    "resources": [changes + b"\0" + stub for stub in STUB_LAYOUTS for changes in CHANGES]
                 + [b"group 1001\nicon 16 16 0 1 32 x\0" + pe32plus()],
    "resource_inputs": [b"icon\0" + image_files.ico([(16, red_blue), (32, red_blue)]),
                        b"icon\0" + image_files.ico([(16, red_blue)], png_images=True),
                        b"icon\0" + image_files.png(32, 32, red_blue), b"icon\0" + ICO_CUT + b"tail",
                        b"icon\0" + ICO_CUT[:40], b"icon\0" + bytes([0, 0, 1, 0, 0, 0]), b"icon\0" + png_header(300, 300),
                        b"splash\0" + image_files.png(5, 3, red_blue), b"splash\0" + bmp(5, 3), b"splash\0" + bmp(7, 2, 32),
                        b"splash\0" + bmp(9, 4, 8)[:60], b"splash\0" + JPEG_8X8, b"splash\0" + GIF_3X2,
                        b"splash\0" + png_header(0, 0), b"splash\0" + png_header(30000, 30000),
                        b"splash\0this is text, not an image\n"]
                       + [b"manifest\0" + m for m in MANIFESTS] + [b"lines\0" + m for m in LINES],
}


def main():
    for target, seeds in SEEDS.items():
        directory = os.path.join(CORPUS, target)
        shutil.rmtree(directory, ignore_errors=True)
        os.makedirs(directory)
        for index, seed in enumerate(seeds):
            with open(os.path.join(directory, "seed%02d" % index), "wb") as out:
                out.write(seed)


if __name__ == "__main__":
    main()
