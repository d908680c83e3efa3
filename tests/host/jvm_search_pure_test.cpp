// Pure parts of the JVM search, the VM library paths and temporary names.
#include <gtest/gtest.h>

#include "files/tempdir.h"
#include "jvm/search.h"
#include "jvm/vmlib.h"

namespace {
TEST(SearchSequence, EntriesInOrderEmptyOnesSkipped) {
    std::vector<SearchEntry> entries = parseSearchSequence("B.\\jre;;E JAVA_HOME_X;S;Y;a;xfoo;A${X}\\jre;");
    ASSERT_EQ(entries.size(), 7u);
    const char types[] = {'B', 'E', 'S', 'Y', 'a', 'x', 'A'};
    const char* texts[] = {".\\jre", " JAVA_HOME_X", "", "", "", "foo", "${X}\\jre"};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].type, types[i]) << i;
        EXPECT_EQ(entries[i].text, texts[i]) << i;
    }
    EXPECT_TRUE(parseSearchSequence("").empty());
    EXPECT_TRUE(parseSearchSequence(";;;").empty());
}

TEST(SearchSequence, FallbackTakesBAlwaysAndAROnlyWhenRelative) {
    struct Row {
        char type;
        const char* text;
        bool expected;
    } rows[] = {
        {'B', ".\\jre", true},           {'B', "c:\\java\\jre", true},  {'B', "\\\\server\\share\\jre", true},
        {'A', "c:\\java\\jre", false},   {'R', "\\\\server\\share\\jre", false},
        {'A', "jre", true},              {'R', "..\\jre", true},        {'A', "\\jre", true},
        {'A', "c", true},                {'A', "c:", false},            {'E', "jre", false},
        {'S', "", false},                {'Y', "", false},              {'b', "jre", false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(takesPartInFallback(SearchEntry{row.type, row.text}), row.expected) << row.type << row.text;
}

TEST(LocationFile, FirstLineWithoutLineEnds) {
    struct Row {
        std::string content;
        bool ok;
        std::string line;
    } rows[] = {
        {"c:\\java\\jre\r\nsecond\r\n", true, "c:\\java\\jre"},
        {"c:\\java\\jre", true, "c:\\java\\jre"},
        {"c:\\java\\jre\r\r\n", true, "c:\\java\\jre"},
        {"..\\jre\n", true, "..\\jre"},
        {"", false, ""},
        {"\r\nc:\\java\\jre\r\n", false, ""},
        {std::string(9000, 'a'), true, std::string(8191, 'a')},
    };
    for (const Row& row : rows) {
        std::string line = "untouched";
        EXPECT_EQ(firstLocationLine(row.content, line), row.ok) << row.content.substr(0, 20);
        EXPECT_EQ(line, row.ok ? row.line : "untouched");
    }
}

TEST(SearchSequence, InstallationListInOrderEmptyEntriesSkipped) {
    EXPECT_EQ(installationDirectories("c:\\a;;d:\\b;"), (std::vector<std::string>{"c:\\a", "d:\\b"}));
    EXPECT_TRUE(installationDirectories(";").empty());
}

TEST(LocationFile, TrailingBackslashesRemoved) {
    EXPECT_EQ(withoutTrailingBackslashes("c:\\app\\jre\\"), "c:\\app\\jre");
    EXPECT_EQ(withoutTrailingBackslashes("c:\\app\\jre"), "c:\\app\\jre");
    EXPECT_EQ(withoutTrailingBackslashes("c:\\"), "c:");
    EXPECT_EQ(withoutTrailingBackslashes("\\\\srv\\share\\\\"), "\\\\srv\\share");
    EXPECT_EQ(withoutTrailingBackslashes(""), "");
}

TEST(VmLibraryPaths, BinDirectoryAndJvmHome) {
    EXPECT_EQ(binDirectoryOf("c:\\rt\\bin\\javaw.exe"), "c:\\rt\\bin");
    EXPECT_EQ(binDirectoryOf("c:\\rt\\bin\\java.exe"), "c:\\rt\\bin");
    EXPECT_EQ(binDirectoryOf("C:\\RT\\BIN\\JAVAW.EXE"), "C:\\RT\\BIN");
    EXPECT_EQ(jvmHomeOf("c:\\program files\\java\\jre7\\bin\\javaw.exe"), "c:\\program files\\java\\jre7\\bin\\..");
    EXPECT_EQ(jvmHomeOf("c:\\rt\\bin\\java.exe"), "c:\\rt\\bin\\..");
    EXPECT_EQ(exeDirectoryPart("c:\\jdk\\bin\\java.exe") + "..\\jre\\bin\\java.exe",
              "c:\\jdk\\bin\\..\\jre\\bin\\java.exe");
    EXPECT_EQ(binDirectoryOf("x"), "");
}

TEST(TempNames, OneSeparatorBetweenDirectoryAndName) {
    EXPECT_EQ(tempNameInDirectory("C:\\users\\me\\Temp\\", "tvx_p42.tmp"), "C:\\users\\me\\Temp\\tvx_p42.tmp");
    EXPECT_EQ(tempNameInDirectory("c:\\windows\\temp", "tvx_p42.tmp"), "c:\\windows\\temp\\tvx_p42.tmp");
    EXPECT_EQ(tempNameInDirectory("c:\\", "tvx_w_testdir"), "c:\\tvx_w_testdir");
    EXPECT_EQ(tempNameInDirectory("", "tvx1"), "tvx1");
}
}  // namespace
