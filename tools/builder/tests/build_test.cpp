// Whole builds through the command line: output layout, appended files,
// replacement of an existing block, and nothing written on failure.
#include "test_util.h"

#include <algorithm>
#include <sstream>

#include "launcher/config_block.h"
#include "launcher/config_ids.h"

using testutil::bytes;
using testutil::fakePe;
using testutil::runCli;
using testutil::ScratchDir;

namespace {

uint64_t le(const std::string& data, size_t pos, int width) {
    uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[pos + i]);
    return v;
}

builder::BlockData decodeAt(const std::string& image, uint64_t start, uint64_t& end) {
    builder::BlockData block;
    std::string error;
    EXPECT_TRUE(builder::decodeBlock(image, start, block, end, error)) << error;
    return block;
}

std::string valueOf(const builder::BlockData& block, int32_t id) {
    for (const auto& e : block.strings)
        if (e.id == id) return e.value;
    return "<absent>";
}

TEST(Build, StubThenBlockThenTrailerPaddedTo512) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe({{0x200, 0x1F3}}));
    dir.write("app.conf", "MAIN_CLASS = demo.Main\n[lang de]\nMSG_ERROR_CAPTION = Fehler\n");
    auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string out = dir.read("app.exe");
    std::string in = dir.read("stub.exe");
    // The stub's bytes, except the CheckSum (optional header + 64), now that of the whole file.
    ASSERT_EQ(out.substr(0, 0xD8), in.substr(0, 0xD8));
    ASSERT_EQ(out.substr(0xDC, 0x3F3 - 0xDC), in.substr(0xDC, 0x3F3 - 0xDC));
    EXPECT_NE(le(out, 0xD8, 4), 0u);
    uint64_t end = 0;
    builder::BlockData block = decodeAt(out, 0x3F3, end);
    EXPECT_EQ(le(out, 0x3F3 + 12, 8), end - 0x3F3 - 12);  // reserved 64-bit value
    EXPECT_EQ(le(out, 0x3F3 + 4, 8), 0u);                 // reserved words
    EXPECT_EQ(valueOf(block, 122), "demo.Main");
    ASSERT_EQ(block.sets.size(), 1u);
    EXPECT_EQ(block.sets[0].key, "de");
    EXPECT_EQ(out.substr(end, 4), bytes({0xE8, 0xE4, 0x13, 0xD5}));
    EXPECT_EQ(out.size() % 512, 0u);
    EXPECT_LT(out.size() - end, 516u);
    EXPECT_EQ(out.find_first_not_of('\0', end + 4), std::string::npos);
    EXPECT_EQ(dir.list(), (std::vector<std::string>{"app.conf", "app.exe", "stub.exe"}));
}

TEST(Build, AppendedFilesAreXoredWithLengthsAndNoTrailer) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    dir.write("a.bin", bytes({0xD6, 0x00, 0x41, 0xFF}));
    dir.write("empty.bin", "");
    std::string big(20000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7);
    std::string bigPath = dir.write("big.bin", big);
    dir.write("app.conf", "MAIN_CLASS = m\n[files]\nuser/a.jar = a.bin\nempty.txt = empty.bin\n");
    auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe"), "--file",
                     "big.dat=" + bigPath});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("warning"), std::string::npos);  // the empty file
    std::string out = dir.read("app.exe");
    uint64_t end = 0;
    builder::BlockData block = decodeAt(out, 0x400, end);
    EXPECT_EQ(valueOf(block, 2002), "3");
    EXPECT_EQ(valueOf(block, 2003), "user\\a.jar;empty.txt;big.dat");
    size_t pos = end;
    EXPECT_EQ(le(out, pos, 8), 4u);
    EXPECT_EQ(out.substr(pos + 8, 4), bytes({0x00, 0xD6, 0x97, 0x29}));
    pos += 12;
    EXPECT_EQ(le(out, pos, 8), 0u);
    pos += 8;
    ASSERT_EQ(le(out, pos, 8), 20000u);
    pos += 8;
    ASSERT_EQ(out.size(), pos + 20000);  // the region ends the file: no trailer, no padding
    for (size_t i = 0; i < big.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char>(out[pos + i]), static_cast<unsigned char>(big[i]) ^ 0xD6) << i;
}

TEST(Build, ABuiltLauncherAsStubGetsItsBlockAndFilesReplaced) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe({{0x200, 0x180}}));
    dir.write("a.bin", std::string(1000, 'a'));
    dir.write("one.conf", "MAIN_CLASS = first\nVM_OPTIONS = -Xmx1g\n[files]\na.jar = a.bin\n");
    dir.write("two.conf", "MAIN_CLASS = second\n");
    ASSERT_EQ(runCli({"--stub", stub, "--config", dir.file("one.conf"), "--out", dir.file("one.exe")}).code, 0);
    ASSERT_EQ(runCli({"--stub", dir.file("one.exe"), "--config", dir.file("two.conf"), "--out", dir.file("two.exe")}).code, 0);
    ASSERT_EQ(runCli({"--stub", stub, "--config", dir.file("two.conf"), "--out", dir.file("direct.exe")}).code, 0);
    EXPECT_EQ(dir.read("two.exe"), dir.read("direct.exe"));
    // And the other way round: a trailer and padding are replaced by files.
    ASSERT_EQ(runCli({"--stub", dir.file("two.exe"), "--config", dir.file("one.conf"), "--out", dir.file("again.exe")}).code, 0);
    EXPECT_EQ(dir.read("again.exe"), dir.read("one.exe"));
}

TEST(Build, BlockStartFollowsTheLastSectionTableEntry) {
    ScratchDir dir;
    // The last entry decides, not the highest offset (of a section without raw data).
    std::string stub = dir.write("stub.exe", fakePe({{0x400, 0}, {0x200, 0x100}}));
    auto r = runCli({"--stub", stub, "--out", dir.file("app.exe"), "--set", "MAIN_CLASS=x"});
    ASSERT_EQ(r.code, 0) << r.err;
    std::string out = dir.read("app.exe");
    EXPECT_EQ(out.substr(0x300, 4), bytes({0xD5, 0x13, 0xE4, 0xE8}));
    uint64_t end = 0;
    EXPECT_EQ(valueOf(decodeAt(out, 0x300, end), 122), "x");
}

TEST(Build, SetOverridesTheFileAndLastSetWins) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    dir.write("app.conf", "MAIN_CLASS = fromfile\nMIN_VERSION = 11\n");
    auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe"), "--set",
                     "MAIN_CLASS=one", "--set", "CFG_MAIN_CLASS=two", "--set", "APP_ARGUMENTS=\"a b\" c",
                     "--set=99999= raw "});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");  // --set after the file is no repeat
    uint64_t end = 0;
    builder::BlockData block = decodeAt(dir.read("app.exe"), 0x400, end);
    EXPECT_EQ(valueOf(block, 122), "two");
    EXPECT_EQ(valueOf(block, 126), "11");
    EXPECT_EQ(valueOf(block, 124), "\"a b\" c");
    EXPECT_EQ(valueOf(block, 99999), " raw ");
}

TEST(Build, AKeyGivenAgainInTheFileIsAWarning) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    dir.write("app.conf", "MAIN_CLASS = a\nMIN_VERSION = 11\nCFG_MAIN_CLASS = b\n");
    auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe")});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "tovex-build: warning: " + dir.file("app.conf") + ":3: MAIN_CLASS is given again (earlier at " +
                         dir.file("app.conf") + ":1): this line's value counts\n");
    uint64_t end = 0;
    EXPECT_EQ(valueOf(decodeAt(dir.read("app.exe"), 0x400, end), 122), "b");
}

struct FailureCase {
    const char* what;
    std::string stub;          // stub content
    std::string config;        // config content
    std::vector<std::string> extra;
    const char* expected;      // part of the message
};

TEST(Build, FailuresWriteNothingAndKeepAnOldOutput) {
    std::string pe = fakePe();
    std::string shortOfHeaders = fakePe({{0x200, 0x100}});  // the raw data ends before SizeOfHeaders
    testutil::put(shortOfHeaders, 0x80 + 24 + 60, 0x400, 4);
    const FailureCase cases[] = {
        {"not a PE", "hello", "MAIN_CLASS = a\n", {}, "not a PE32+ image"},
        {"PE32 stub", fakePe({{0x200, 0x200}}, 0x10B), "MAIN_CLASS = a\n", {}, "not a PE32+ image"},
        {"truncated stub", pe.substr(0, 0x300), "MAIN_CLASS = a\n", {}, "beyond the end of the file"},
        {"a section's raw data after the last entry's", fakePe({{0x400, 0x200}, {0x200, 0x100}}), "MAIN_CLASS = a\n", {},
         "section 1's raw data (offset 0x400, size 0x200) lies after the end of the last section-table entry's (0x300)"},
        {"the last entry's raw data inside the headers", fakePe({{0x200, 0x200}, {0, 0}}), "MAIN_CLASS = a\n", {},
         "the last section-table entry's raw data ends at 0x0, inside the headers"},
        {"the last entry's raw data within SizeOfHeaders", shortOfHeaders, "MAIN_CLASS = a\n", {},
         "the last section-table entry's raw data ends at 0x300, inside the headers"},
        {"bad config line", pe, "MAIN_CLASS = a\n\nEXE_TYPE = gui\n", {}, "app.conf:3: EXE_TYPE: not a number"},
        {"unknown setting", pe, "FOO = 1\n", {}, "app.conf:1: unknown setting FOO"},
        {"missing appended file", pe, "[files]\na.jar = nowhere.jar\n", {}, "app.conf:2: cannot"},
        {"bad --file name", pe, "", {"--file", "../x.jar=app.conf"}, "--file ../x.jar: file name ../x.jar must not"},
        {"--file name the launcher refuses", pe, "", {"--file", "...\\x.jar=app.conf"},
         "file name ...\\x.jar would leave the extraction directory"},
        {"--file name a dump cannot write", pe, "", {"--file", "#x.jar=app.conf"},
         "--file #x.jar: file name #x.jar cannot be written in a configuration file"},
        {"--file name with a trailing blank", pe, "", {"--file", "x.jar =app.conf"}, "file name x.jar  cannot be written"},
        {"FILE_LIST by hand with files", pe, "FILE_LIST = a.jar\n", {"--file", "a.jar=app.conf"},
         "app.conf:1: FILE_LIST is set by hand while files are appended"},
        {"bad --set", pe, "", {"--set", "SPLASH_WIDTH=wide"}, "--set SPLASH_WIDTH: SPLASH_WIDTH: not a number"},
    };
    for (const FailureCase& c : cases) {
        ScratchDir dir;
        std::string stub = dir.write("stub.exe", c.stub);
        dir.write("app.conf", c.config);
        dir.write("app.exe", "old content");
        std::vector<std::string> args = {"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        auto r = runCli(args);
        EXPECT_EQ(r.code, 1) << c.what;
        EXPECT_EQ(r.err.compare(0, 13, "tovex-build: "), 0) << c.what << ": " << r.err;
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.what << ": " << r.err;
        EXPECT_EQ(dir.read("app.exe"), "old content") << c.what;
        EXPECT_EQ(dir.list(), (std::vector<std::string>{"app.conf", "app.exe", "stub.exe"})) << c.what;
    }
}

TEST(Build, ConfigErrorsNameTheFileAsGiven) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    std::string conf = dir.write("my.conf", "MAIN_CLASS = a\n[lang de]\nMSG_NOPE = x\n");
    auto r = runCli({"--stub", stub, "--config", conf, "--out", dir.file("app.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "tovex-build: " + conf + ":3: unknown setting MSG_NOPE\n");
}

TEST(Cli, UsageErrorsGiveExitCode2) {
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"--bogus"},
        {"--stub", stub},
        {"--stub", "gui"},
        {"--check", stub, "--out", dir.file("x.exe")},
        {"--app-dir", dir.path(), "--out", dir.file("x.exe")},
        {"--stub", stub, "--out"},
        {"--stub", stub, "--stub", stub, "--out", dir.file("x.exe")},
        {"--dump", stub, "--out", dir.file("x.exe")},
        {"--stub", stub, "--out", dir.file("x.exe"), "--extract", dir.path()},
        {"--list-settings", "--stub", stub},
    };
    for (const auto& args : cases) {
        auto r = runCli(args);
        EXPECT_EQ(r.code, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(r.err.find("usage:"), std::string::npos);
    }
    EXPECT_EQ(dir.list(), std::vector<std::string>{"stub.exe"});
}

TEST(Cli, HelpNamesEveryOptionOnALineOfItsOwn) {
    auto r = runCli({"--help"});
    ASSERT_EQ(r.code, 0);
    for (const char* option : {"--stub", "--config", "--out", "--set", "--file", "--check", "--app-dir", "--dump",
                               "--extract", "--list-settings", "--version", "--help"})
        EXPECT_NE(r.out.find(std::string("\n  ") + option + " "), std::string::npos) << option;
    auto v = runCli({"--version", "--bogus"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out.rfind("tovex-build ", 0), 0u) << v.out;
}

// A value of id's form that no other id gets (so a value written under the wrong id shows).
std::string distinctValue(const ConfigIdInfo& info) {
    switch (info.form) {
        case ConfigForm::Int:
        case ConfigForm::Flag: return std::to_string(info.id);
        case ConfigForm::Color: return std::to_string(info.id % 256) + ",1,2";
        case ConfigForm::Char: return "e";
        case ConfigForm::String:
        case ConfigForm::List: break;
    }
    return std::string("value of ") + info.name;
}

TEST(Cli, EveryKnownIdRoundTripsThroughTheLaunchersDecoder) {
    // Every id of the table, set by name in a configuration file, built into an
    // executable and read back by the launcher's own block decoder: the same value.
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    std::string config;
    for (int i = 0; i < count; ++i) config += std::string(table[i].name) + " = " + distinctValue(table[i]) + "\n";
    ScratchDir dir;
    std::string stub = dir.write("stub.exe", fakePe());
    dir.write("app.conf", config);
    auto r = runCli({"--stub", stub, "--config", dir.file("app.conf"), "--out", dir.file("app.exe")});
    ASSERT_EQ(r.code, 0) << r.err;

    MemoryByteSource source(dir.read("app.exe"));
    ConfigData decoded;
    const char* fatal = decodeConfigBlock(source, [] { return std::string("en"); }, &decoded);
    ASSERT_EQ(fatal, nullptr) << fatal;
    for (int i = 0; i < count; ++i) {
        auto it = decoded.strings.find(table[i].id);
        ASSERT_NE(it, decoded.strings.end()) << table[i].name;
        EXPECT_EQ(it->second, distinctValue(table[i])) << table[i].name;
    }
    EXPECT_EQ(decoded.strings.size(), static_cast<size_t>(count));  // nothing beyond the table
}

TEST(Cli, ListSettingsNamesEveryKnownId) {
    // One line per row of the table, in its order: id, name, form, meaning and the default.
    auto r = runCli({"--list-settings"});
    ASSERT_EQ(r.code, 0);
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    std::istringstream lines(r.out);
    std::string line;
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(std::getline(lines, line)) << "no line for " << table[i].name;
        std::istringstream words(line);
        std::string id, name;
        words >> id >> name;
        EXPECT_EQ(id, std::to_string(table[i].id)) << line;
        EXPECT_EQ(name, table[i].name) << line;
        EXPECT_NE(line.find(table[i].meaning), std::string::npos) << line;
        const char* def = builder::defaultValue(table[i].id);
        const std::string shownDefault = def ? " [default: " + builder::formatNarrowValue(def) + "]" : "";
        EXPECT_EQ(line.substr(line.size() - std::min(line.size(), shownDefault.size())), shownDefault) << line;
        EXPECT_EQ(line.find("[default:") != std::string::npos, def != nullptr) << line;
    }
    EXPECT_FALSE(std::getline(lines, line)) << "a line beyond the table: " << line;
}

}  // namespace
