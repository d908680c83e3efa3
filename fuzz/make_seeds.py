#!/usr/bin/env python3
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

The seeds are rows of the unit-test tables in the input form of each target
(pieces separated by NUL bytes where a target takes several). Run it after
changing a table or a target's input form; its output is checked in.
"""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def u16(text):
    return text.encode("utf-16-le")


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
    "tokenizer": [u16(t) for t in ["a  b", "  a b  ", "\"\"", "a \"\" b", "-Dname=\"x y\" z", "\"a\"b",
                                   "don't stop", "'say \"hi\"' x", "a\\\"b c\"", "\"a b", "a\tb c",
                                   "\"C:\\My App\\app.exe\" -x", "a b\"c d\"", "\u00fc \u4e2d\u6587"]],
    "version_output": [b"java version \"1.8.0_292\"\nJava(TM) SE Runtime Environment\n",
                       b"Picked up _JAVA_OPTIONS: -Xmx1g\r\nopenjdk version \"17.0.2\" 2022-01-18\r\n",
                       b"openjdk version \"17", b"Error: could not open\n"],
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
