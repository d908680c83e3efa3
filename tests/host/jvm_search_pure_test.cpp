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

TEST(NoJvmDetails, VersionsPlacesAndWhatToDoWithTheJavaHomeVariable) {
    EXPECT_EQ(acceptedVersionsText("17", "21"), "17 to 21");
    EXPECT_EQ(acceptedVersionsText("1.8", ""), "1.8 or later");
    EXPECT_EQ(acceptedVersionsText("", "11"), "up to 11");
    EXPECT_EQ(acceptedVersionsText("", ""), "any");

    std::vector<SearchEntry> entries = {{'B', "C:\\App\\jre"}, {'E', "JAVA_HOME"}, {'S', "x"}, {'Y', ""},
                                        {'J', ""},           {'Q', "ignored"}, {'A', "C:\\App\\jre"}};
    std::vector<EnvironmentSetting> unset = {{"TOVEX_JAVA_HOME", false, ""}, {"MARLOWKIT_JAVA_HOME", false, ""},
                                             {"JAVA_HOME", true, "C:\\jdk8"}};
    EXPECT_EQ(noJvmDetails("17", "21", entries, unset),
              "\n\nJava versions accepted: 17 to 21.\nSearched: the folder C:\\App\\jre, JAVA_HOME (C:\\jdk8), the "
              "system path (PATH), the Windows registry, the installed Java runtimes, TOVEX_JAVA_HOME (not set)."
              "\nTo use a Java that is installed elsewhere, set TOVEX_JAVA_HOME to its folder.");

    // A variable that is set is never the advice: the user is told that it points to nothing usable.
    std::vector<EnvironmentSetting> set = {{"TOVEX_JAVA_HOME", true, "D:\\java"}, {"MARLOWKIT_JAVA_HOME", false, ""}};
    EXPECT_EQ(noJvmDetails("", "", {}, set),
              "\n\nJava versions accepted: any.\nSearched: TOVEX_JAVA_HOME (D:\\java)."
              "\nTOVEX_JAVA_HOME is set to D:\\java, but there is no suitable Java there.");
    std::vector<EnvironmentSetting> legacy = {{"TOVEX_JAVA_HOME", false, ""}, {"MARLOWKIT_JAVA_HOME", true, "E:\\j"}};
    EXPECT_EQ(noJvmDetails("11", "", {{'E', "MISSING"}}, legacy),
              "\n\nJava versions accepted: 11 or later.\nSearched: MISSING, TOVEX_JAVA_HOME (not set), "
              "MARLOWKIT_JAVA_HOME (E:\\j).\nMARLOWKIT_JAVA_HOME is set to E:\\j, but there is no suitable Java there.");
}
