// --dump writes a block back so that it rebuilds the same executable.
#include "test_util.h"

using testutil::fakePe;
using testutil::runCli;
using testutil::ScratchDir;

namespace {

// Every kind of entry: escapes, bytes without a character, blanks to keep,
// empty values, ids without a name, values that fail their form's check,
// wide text beyond Windows-1252 (also a lone surrogate), several language
// sets with an empty key, a repeated key and a key with blanks and "]".
const char kEverything[] =
    "APPLICATION_NAME = \"  two blanks each side  \"\n"
    "MAIN_CLASS = demo.Main\n"
    "VM_OPTIONS = \"-Dline=a\\nb\\r\\t\\\"q\\\" \\\\ \\x01\\x7F\"\n"
    "APP_ARGUMENTS = \"\\\"starts with a quote\"\n"
    "MIN_VERSION =\n"
    "STATUS_TEXT = \"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \\x81\\x8D\\xA0\\xFF\"\n"
    "STATUS_TEXT_COLOR = 10, 20 ,30\n"
    "107 = gui\n"
    "99999 = unknown id\n"
    "-1 = \"\"\n"
    "MSG_ERROR_CAPTION = Fehler\n"
    "[wide]\n"
    "APPLICATION_NAME = \"\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 \\uD800 \\u0085 tab\\t\"\n"
    "MAIN_CLASS = plain\n"
    "4242 =\n"
    "[lang de]\n"
    "MSG_ERROR_CAPTION = Fehler\n"
    "[lang]\n"
    "MSG_ERROR_CAPTION = \" Error \"\n"
    "[lang de]\n"
    "MSG_ERROR_CAPTION = Fehler 2\n"
    "[lang \"x ]y\\xFC\"]\n"
    "[lang de_DE]\n"
    "1000 = \xC3\xA4\n";

TEST(Dump, RebuildsAByteIdenticalExecutable) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    dir.write("app.conf", kEverything);
    auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe")});
    ASSERT_EQ(r.code, 0) << r.err;

    auto d = runCli({"--dump", dir.file("app.exe")});
    ASSERT_EQ(d.code, 0) << d.err;
    dir.write("dump.conf", d.out);
    r = runCli({"--stub", stub, "--config", dir.file("dump.conf"), "--out", dir.file("again.exe")});
    ASSERT_EQ(r.code, 0) << r.err << "\n" << d.out;
    EXPECT_EQ(dir.read("again.exe"), dir.read("app.exe")) << d.out;

    // The dump of the rebuilt executable is the same text (apart from the file name).
    auto d2 = runCli({"--dump", dir.file("again.exe")});
    ASSERT_EQ(d2.code, 0);
    EXPECT_EQ(d2.out.substr(d2.out.find('\n')), d.out.substr(d.out.find('\n')));

    // Readable forms where they round-trip.
    EXPECT_NE(d.out.find("\nMAIN_CLASS = demo.Main\n"), std::string::npos) << d.out;
    EXPECT_NE(d.out.find("\nAPPLICATION_NAME = \"  two blanks each side  \"\n"), std::string::npos);
    EXPECT_NE(d.out.find("\nMIN_VERSION = \"\"\n"), std::string::npos);
    EXPECT_NE(d.out.find("\n107 = gui\n"), std::string::npos);  // not a number: written by id
    EXPECT_NE(d.out.find("\n99999 = unknown id\n"), std::string::npos);
    EXPECT_NE(d.out.find("\nSTATUS_TEXT = \"Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC \\x81\\x8D\xC2\xA0\xC3\xBF\"\n"),
              std::string::npos)
        << d.out;
    EXPECT_NE(d.out.find("\n[lang]\nMSG_ERROR_CAPTION = \" Error \"\n"), std::string::npos);
    EXPECT_NE(d.out.find("\n[lang \"x \\x5Dy\xC3\xBC\"]\n"), std::string::npos) << d.out;
}

TEST(Dump, ExtractWritesFilesAndTheDumpRebuildsThem) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    dir.write("a.bin", std::string("\xD6\x00zip", 5));
    dir.write("b.bin", "");
    dir.write("app.conf", "MAIN_CLASS = m\n[files]\nuser/\xC3\xA4.jar = a.bin\nb.txt = b.bin\n");
    ASSERT_EQ(runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe")}).code, 0);

    auto plain = runCli({"--dump", dir.file("app.exe")});
    ASSERT_EQ(plain.code, 0);
    EXPECT_NE(plain.out.find("# 2 appended files follow the block"), std::string::npos) << plain.out;
    EXPECT_EQ(plain.out.find("\nFILE_COUNT"), std::string::npos);

    auto d = runCli({"--dump", dir.file("app.exe"), "--extract", dir.file("out")});
    ASSERT_EQ(d.code, 0) << d.err;
    EXPECT_EQ(dir.read("out/user/\xC3\xA4.jar"), std::string("\xD6\x00zip", 5));
    EXPECT_EQ(dir.read("out/b.txt"), "");
    dir.write("dump.conf", d.out);
    auto r = runCli({"--stub", stub, "--config", dir.file("dump.conf"), "--out", dir.file("again.exe")});
    ASSERT_EQ(r.code, 0) << r.err << d.out;
    EXPECT_EQ(dir.read("again.exe"), dir.read("app.exe"));
}

TEST(Dump, FilePathsReadBack) {
    const std::string paths[] = {"/p/a b.jar", "/p/ lead and trail ", "/p/ctl\x01\x1F\x7F.jar", "/p/tab\tx\ny\r",
                                 "/p/\xC3\xA4\"q\\"};
    for (const std::string& path : paths) {
        builder::AppendedFile file;
        file.name = "a.jar";
        file.path = path;
        std::string text = builder::dumpBlock(builder::BlockData(), {file});
        builder::BuildInput input;
        std::string error;
        ASSERT_TRUE(builder::parseConfigText(text, "dump", "/base", input, error)) << error << "\n" << text;
        ASSERT_EQ(input.files.size(), 1u);
        EXPECT_EQ(input.files[0].path, path) << text;
    }
}

TEST(Dump, FailsOnExecutablesWithoutABlock) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    auto r = runCli({"--dump", stub});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("no configuration block"), std::string::npos) << r.err;
    r = runCli({"--dump", dir.file("missing.exe")});
    EXPECT_EQ(r.code, 1);
}

struct FormatCase {
    std::string value;
    std::string written;
};

TEST(Dump, NarrowValueForms) {
    const FormatCase cases[] = {
        {"plain text", "plain text"},
        {"", "\"\""},
        {" lead", "\" lead\""},
        {"trail\t", "\"trail\\t\""},
        {"\"quoted\"", "\"\\\"quoted\\\"\""},
        {"a\\b", "a\\b"},
        {"x\ny", "\"x\\ny\""},
        {std::string("\0", 1), "\"\\x00\""},
        {"\x80\x81\xE9", "\"\xE2\x82\xAC\\x81\xC3\xA9\""},
        {"#not a comment", "#not a comment"},
    };
    for (const FormatCase& c : cases) {
        EXPECT_EQ(builder::formatNarrowValue(c.value), c.written) << c.value;
        // Reading the written form gives the value back.
        builder::BuildInput input;
        std::string error;
        ASSERT_TRUE(builder::parseConfigText("500 = " + c.written + "\n", "c", ".", input, error)) << error;
        EXPECT_EQ(input.strings[500].value, c.value);
    }
}

}  // namespace
