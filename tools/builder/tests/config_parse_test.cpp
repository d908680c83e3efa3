// The configuration-file format: values, sections and the errors with their line numbers.
#include "test_util.h"

using builder::BuildInput;
using builder::parseConfigText;

namespace {

struct ErrorCase {
    const char* what;
    const char* text;
    const char* expected;  // the whole message starts with this
};

const ErrorCase kErrors[] = {
    {"line without =", "MAIN_CLASS = a\njust text\n", "app.conf:2: expected NAME = value"},
    {"unknown name after blank and comment lines", "\n# c\nNO_SUCH = 1\n", "app.conf:3: unknown setting NO_SUCH"},
    {"missing name", "= 1\n", "app.conf:1: missing setting name"},
    {"int with letters", "EXE_TYPE = 1x\n", "app.conf:1: EXE_TYPE: not a number: \"1x\""},
    {"int empty", "EXE_TYPE =\n", "app.conf:1: EXE_TYPE: not a number"},
    {"int with blank inside quotes", "EXE_TYPE = \" 1\"\n", "app.conf:1: EXE_TYPE: not a number"},
    {"flag beyond int32", "SPLASH_ENABLED = 2147483648\n", "app.conf:1: SPLASH_ENABLED: not a number"},
    {"int below int32", "SPLASH_WIDTH = -2147483649\n", "app.conf:1: SPLASH_WIDTH: not a number"},
    {"colour with two parts", "STATUS_TEXT_COLOR = 1,2\n", "app.conf:1: STATUS_TEXT_COLOR: not a colour"},
    {"colour with four parts", "STATUS_TEXT_COLOR = 1,2,3,4\n", "app.conf:1: STATUS_TEXT_COLOR: not a colour"},
    {"colour part above 255", "VERSION_TEXT_COLOR = 1,2,256\n", "app.conf:1: VERSION_TEXT_COLOR: not a colour"},
    {"colour with empty part", "VERSION_TEXT_COLOR = 1,,2\n", "app.conf:1: VERSION_TEXT_COLOR: not a colour"},
    {"flavour of two characters", "LAUNCHER_FLAVOUR = ie\n", "app.conf:1: LAUNCHER_FLAVOUR: exactly one character"},
    {"font name of 32 characters", "MAIN_CLASS = a\nVERSION_FONT_NAME = abcdefghijklmnopqrstuvwxyz012345\n",
     "app.conf:2: VERSION_FONT_NAME: a font name has at most 31 characters"},
    {"unknown escape", "MAIN_CLASS = \"a\\qb\"\n", "app.conf:1: bad escape: \\q"},
    {"\\x with one digit", "MAIN_CLASS = \"\\x4\"\n", "app.conf:1: bad escape: \\x needs two hex digits"},
    {"unterminated quote", "MAIN_CLASS = a\nMIN_VERSION = \"1.8\n", "app.conf:2: unterminated quote"},
    {"backslash at the end of a quote", "MAIN_CLASS = \"abc\\\"\n", "app.conf:1: unterminated quote"},
    {"text after the closing quote", "APP_ARGUMENTS = \"a b\" c\n", "app.conf:1: unexpected text after the closing quote"},
    {"character outside Windows-1252", "MAIN_CLASS = \xE6\x97\xA5\n", "app.conf:1: character U+65E5"},
    {"invalid UTF-8", "MAIN_CLASS = \xFF\n", "app.conf:1: invalid UTF-8"},
    {"id beyond int32", "4294967296 = x\n", "app.conf:1: setting id 4294967296 is outside the 32-bit range"},
    {"unknown section", "[foo]\n", "app.conf:1: unknown section [foo]"},
    {"section without bracket", "[wide\n", "app.conf:1: section header without \"]\""},
    {"unknown name in [wide]", "[wide]\nNOPE = x\n", "app.conf:2: unknown setting NOPE"},
    {"file name with ..", "[files]\n..\\a.jar = a\n", "app.conf:2: file name ..\\a.jar must not contain a \".\" or \"..\""},
    {"file name with . component", "[files]\nlib/./a.jar = a\n", "app.conf:2: file name lib/./a.jar must not contain"},
    // Windows drops trailing dots and blanks of a component: these are "..", and the launcher refuses them.
    {"file name with three dots", "[files]\n...\\x.jar = a\n", "app.conf:2: file name ...\\x.jar would leave the extraction directory"},
    {"file name with dots and a blank", "[files]\n. .\\x.jar = a\n", "app.conf:2: file name . .\\x.jar would leave the extraction directory"},
    {"file name with two dots and a blank", "[files]\n.. /x.jar = a\n", "app.conf:2: file name .. /x.jar would leave the extraction directory"},
    {"absolute file name", "[files]\n/a.jar = a\n", "app.conf:2: file name /a.jar must be relative"},
    {"file name with leading backslash", "[files]\n\\a.jar = a\n", "app.conf:2: file name \\a.jar must be relative"},
    {"file name with drive letter", "[files]\nC:a.jar = a\n", "app.conf:2: file name C:a.jar must be relative"},
    {"two directory levels", "[files]\na/b/c.jar = a\n", "app.conf:2: file name a/b/c.jar has more than one directory level"},
    {"empty file name", "[files]\n = a\n", "app.conf:2: empty file name"},
    {"file name with empty component", "[files]\nlib//a.jar = a\n", "app.conf:2: file name lib//a.jar has an empty path component"},
    {"file name with ;", "[files]\na;b.jar = a\n", "app.conf:2: file name a;b.jar must not contain \";\""},
    {"file name twice, other case", "[files]\nlib/A.jar = a\nLIB\\a.jar = b\n", "app.conf:3: file name LIB\\a.jar is given twice"},
    {"file without path", "[files]\na.jar =\n", "app.conf:2: no path given"},
    {"NUL in a path", "[files]\na.jar = \"x\\u0000y\"\n", "app.conf:2: a path cannot hold a NUL character"},
    {"half of a surrogate pair in a path", "[files]\na.jar = \"x\\uD800\"\n", "app.conf:2: a path cannot hold U+D800"},
};

TEST(ConfigParse, ErrorsNameFileAndLine) {
    for (const ErrorCase& c : kErrors) {
        BuildInput input;
        std::string error;
        EXPECT_FALSE(parseConfigText(c.text, "app.conf", "/base", input, error)) << c.what;
        EXPECT_EQ(error.compare(0, std::strlen(c.expected), c.expected), 0)
            << c.what << "\n  got:      " << error << "\n  expected: " << c.expected;
    }
}

struct ValueCase {
    const char* what;
    const char* line;
    int32_t id;
    std::string value;
};

const ValueCase kValues[] = {
    {"plain", "MAIN_CLASS = a.B", 122, "a.B"},
    {"blanks around a plain value trimmed", "MAIN_CLASS = \t spaced value  \t", 122, "spaced value"},
    {"empty plain value", "MAIN_CLASS =", 122, ""},
    {"no blanks around =", "MAIN_CLASS=x=y", 122, "x=y"},
    {"plain value keeps quotes inside", "APP_ARGUMENTS = c \"a b\"", 124, "c \"a b\""},
    {"plain value keeps #", "VM_OPTIONS = -Dx=#1", 123, "-Dx=#1"},
    {"quoted keeps blanks", "MAIN_CLASS = \"  keep  \"", 122, "  keep  "},
    {"quoted empty", "MAIN_CLASS = \"\"", 122, ""},
    {"escapes", "MAIN_CLASS = \"a\\n\\r\\t\\\\\\\"\\x41\\xfF\\x00\"", 122, std::string("a\n\r\t\\\"A\xFF\0", 9)},
    {"comment after the closing quote", "MAIN_CLASS = \"x\"   # note", 122, "x"},
    {"UTF-8 to Windows-1252", "MAIN_CLASS = \xC3\x9C\x6E\xC3\xAF \xE2\x82\xAC", 122, "\xDCn\xEF \x80"},
    {"\\u of a Windows-1252 character", "MAIN_CLASS = \"\\u20AC\"", 122, "\x80"},
    {"prefix CFG_", "CFG_MAIN_CLASS = z", 122, "z"},
    {"numeric id", "99999 = anything", 99999, "anything"},
    {"negative numeric id", "-7 = y", -7, "y"},
    {"numeric id of a known setting is not checked", "107 = gui", 107, "gui"},
    {"negative int", "EXE_TYPE = -5", 107, "-5"},
    {"int with plus sign", "EXE_TYPE = +3", 107, "+3"},
    {"int32 minimum", "SPLASH_WIDTH = -2147483648", 141, "-2147483648"},
    {"colour with blanks", "STATUS_TEXT_COLOR = 10, 20 ,30", 10114, "10, 20 ,30"},
    {"font name of 31 characters", "STATUS_FONT_NAME = abcdefghijklmnopqrstuvwxyz01234", 10112,
     "abcdefghijklmnopqrstuvwxyz01234"},
    {"list is not checked", "CLASS_PATH = A1lib\\a.jar;;", 121, "A1lib\\a.jar;;"},
};

TEST(ConfigParse, Values) {
    for (const ValueCase& c : kValues) {
        BuildInput input;
        std::string error;
        ASSERT_TRUE(parseConfigText(std::string(c.line) + "\n", "app.conf", ".", input, error)) << c.what << ": " << error;
        ASSERT_EQ(input.strings.count(c.id), 1u) << c.what;
        EXPECT_EQ(input.strings[c.id].value, c.value) << c.what;
    }
}

TEST(ConfigParse, LaterLineWinsAndOriginsNameTheLine) {
    BuildInput input;
    std::string error;
    ASSERT_TRUE(parseConfigText("\xEF\xBB\xBFMAIN_CLASS = a\r\nMAIN_CLASS = b\r\n122 = c\r\nEXE_TYPE = 1\r\n", "x.conf", ".",
                                input, error))
        << error;
    EXPECT_EQ(input.strings[122].value, "c");
    EXPECT_EQ(input.strings[122].origin, "x.conf:3");
    EXPECT_EQ(input.strings[107].value, "1");  // no \r left from the CRLF line end
    ASSERT_EQ(input.warnings.size(), 2u);  // a key given again is reported, and the later line counts
    EXPECT_EQ(input.warnings[0].origin, "x.conf:2");
    EXPECT_EQ(input.warnings[0].text, "MAIN_CLASS is given again (earlier at x.conf:1): this line's value counts");
    EXPECT_EQ(input.warnings[1].text, "122 (MAIN_CLASS) is given again (earlier at x.conf:2): this line's value counts");
}

TEST(ConfigParse, Utf16TextIsRead) {
    auto utf16 = [](const std::string& text, bool little) {
        std::string out;
        for (char c : text) out += little ? std::string(1, c) + '\0' : std::string(1, '\0') + c;
        return out;
    };
    const std::string conf = "MAIN_CLASS = a.Main\r\n[wide]\r\nAPPLICATION_NAME = ";
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        {"UTF-16LE with a byte-order mark", "\xFF\xFE" + utf16(conf, true) + std::string("\x3D\xD8\x00\xDE", 4)},
        {"UTF-16BE with a byte-order mark", "\xFE\xFF" + utf16(conf, false) + std::string("\xD8\x3D\xDE\x00", 4)},
        {"UTF-16LE without one", utf16(conf, true) + std::string("\x3D\xD8\x00\xDE", 4)},
    };
    for (const Case& c : cases) {
        BuildInput input;
        std::string error;
        ASSERT_TRUE(parseConfigText(c.text, "u.conf", ".", input, error)) << c.what << ": " << error;
        EXPECT_EQ(input.strings[122].value, "a.Main") << c.what;
        EXPECT_EQ(input.wides[101].value, u"\U0001F600") << c.what;
    }
    BuildInput input;
    std::string error;
    EXPECT_FALSE(parseConfigText("\xFF\xFE" + utf16("A = ", true) + std::string("\x00\xD8", 2), "u.conf", ".", input, error));
    EXPECT_EQ(error, "u.conf:1: the file is UTF-16LE (Notepad's \"Unicode\", PowerShell 5's \">\") text with a broken "
                     "character (half of a surrogate pair at byte 10)");
}

TEST(ConfigParse, SectionsWideLanguageSetsAndFiles) {
    const char* text =
        "MAIN_CLASS = a\n"
        "[wide]\n"
        "APPLICATION_NAME = Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80\n"
        "500 = \"\\u00e9\\uD800\\x41\"\n"
        "[lang de_DE]\n"
        "MSG_ERROR_CAPTION = Fehler\n"
        "[lang]\n"
        "MSG_ERROR_CAPTION = Error!\n"
        "[lang de_DE]\n"
        "MSG_ERROR_CAPTION = Fehler 2\n"
        "[strings]\n"
        "MIN_VERSION = 1.8\n"
        "[files]\n"
        "lib/a.jar = jars/a.jar\n"
        "b.txt = /abs/b.txt\n";
    BuildInput input;
    std::string error;
    ASSERT_TRUE(parseConfigText(text, "app.conf", "/cfg", input, error)) << error;
    EXPECT_EQ(input.strings[122].value, "a");
    EXPECT_EQ(input.strings[126].value, "1.8");
    ASSERT_EQ(input.wides.count(101), 1u);
    EXPECT_EQ(input.wides[101].value, u"Gr\u00FC\u00DFe \U0001F600");
    EXPECT_EQ(input.wides[500].value, std::u16string(u"\u00E9") + char16_t(0xD800) + u"A");
    ASSERT_EQ(input.sets.size(), 3u);
    EXPECT_EQ(input.sets[0].key, "de_DE");
    EXPECT_EQ(input.sets[1].key, "");
    EXPECT_EQ(input.sets[2].key, "de_DE");
    EXPECT_EQ(input.sets[2].entries[1000].value, u"Fehler 2");
    EXPECT_EQ(input.sets[1].entries[1000].value, u"Error!");
    ASSERT_EQ(input.files.size(), 2u);
    EXPECT_EQ(input.files[0].name, "lib\\a.jar");
    EXPECT_EQ(input.files[0].path, "/cfg/jars/a.jar");
    EXPECT_EQ(input.files[1].name, "b.txt");
    EXPECT_EQ(input.files[1].path, "/abs/b.txt");
}

TEST(ConfigParse, SetArgumentIsLiteralAndChecked) {
    BuildInput input;
    std::string error;
    ASSERT_TRUE(builder::parseConfigText("MAIN_CLASS = a\n", "c", ".", input, error));
    ASSERT_TRUE(builder::applySetArgument("MAIN_CLASS= \"x y\" ", input, error)) << error;
    EXPECT_EQ(input.strings[122].value, " \"x y\" ");
    ASSERT_TRUE(builder::applySetArgument("MAIN_CLASS=last", input, error));
    EXPECT_EQ(input.strings[122].value, "last");
    ASSERT_TRUE(builder::applySetArgument("CFG_VM_OPTIONS=-Da=b=c", input, error));
    EXPECT_EQ(input.strings[123].value, "-Da=b=c");
    EXPECT_FALSE(builder::applySetArgument("EXE_TYPE=abc", input, error));
    EXPECT_EQ(error, "--set EXE_TYPE: EXE_TYPE: not a number: \"abc\" (a decimal integer within 32 bits is expected)");
    EXPECT_FALSE(builder::applySetArgument("NOPE=1", input, error));
    EXPECT_EQ(error, "--set NOPE: unknown setting NOPE");
    EXPECT_FALSE(builder::applySetArgument("MAIN_CLAS=x", input, error));
    EXPECT_EQ(error, "--set MAIN_CLAS: unknown setting MAIN_CLAS; did you mean MAIN_CLASS?");
    EXPECT_FALSE(builder::applySetArgument("MAIN_CLASS", input, error));

    // [resources] keys: checked as in the file, a path taken from the current directory.
    ASSERT_TRUE(builder::applySetArgument("FILE_VERSION=1.2.3", input, error)) << error;
    EXPECT_EQ(input.resources.lines["FILE_VERSION"].value, "1.2.3");
    EXPECT_EQ(input.resources.lines["FILE_VERSION"].origin, "--set FILE_VERSION");
    ASSERT_TRUE(builder::applySetArgument("ICON=img/app.ico", input, error)) << error;
    EXPECT_EQ(input.resources.lines["ICON"].value, builder::absolutePath("img/app.ico"));
    EXPECT_FALSE(builder::applySetArgument("PRODUCT_VERSION=1.x", input, error));
    EXPECT_EQ(error.compare(0, 35, "--set PRODUCT_VERSION: PRODUCT_VERS"), 0) << error;
    EXPECT_FALSE(builder::applySetArgument("UTF8_CODE_PAGE=1", input, error));
    EXPECT_EQ(error, "--set UTF8_CODE_PAGE: UTF8_CODE_PAGE decides how the other settings are written: set it in the "
                     "[resources] section of the configuration file");
}

TEST(ConfigParse, AppendedNamesAreStoredInWindows1252WithBackslashes) {
    std::string stored, error;
    ASSERT_TRUE(builder::checkAppendedName("user/\xC3\xBC.jar", stored, error)) << error;
    EXPECT_EQ(stored, "user\\\xFC.jar");
    EXPECT_FALSE(builder::checkAppendedName("a\xE2\x80\x81.jar", stored, error));  // U+2001 has no byte
    EXPECT_FALSE(builder::checkAppendedName("a?.jar", stored, error));
    EXPECT_FALSE(builder::checkAppendedName("dir\\", stored, error));
}

}  // namespace
