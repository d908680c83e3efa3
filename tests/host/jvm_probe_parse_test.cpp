// Reading the version out of "-version" output, and the layout of the version cache.
#include <gtest/gtest.h>

#include "jvm/probe.h"

namespace {
struct OutputCase {
    const char* name;
    std::string output;
    bool ok;
    std::string version;
};

std::string repeat(char c, size_t n) { return std::string(n, c); }

const OutputCase kOutputCases[] = {
    {"classic java line", "java version \"1.7.0_05\"\r\nJava(TM) SE Runtime Environment\r\n", true, "1.7.0_05"},
    {"modern openjdk line keeps only the quoted text",
     "openjdk version \"17.0.15\" 2025-04-15\nOpenJDK Runtime Environment\n", true, "17.0.15"},
    {"java line with date", "java version \"21.0.2\" 2024-01-16 LTS\n", true, "21.0.2"},
    {"line without line end", "java version \"1.8.0_401\"", true, "1.8.0_401"},
    {"empty quotes", "java version \"\"\n", true, ""},
    {"Picked up lines are skipped",
     "Picked up JAVA_TOOL_OPTIONS: -Xmx1g\r\nPicked up _JAVA_OPTIONS: -Dx=1\nopenjdk version \"11.0.2\"\n", true,
     "11.0.2"},
    {"VM warning lines are skipped (Java 21 under Wine prints them first)",
     "OpenJDK 64-Bit Server VM warning: Attempt to get process group affinity failed: Call not implemented\r\n"
     "Java HotSpot(TM) 64-Bit Server VM warning: Ignoring option MaxPermSize\n"
     "openjdk version \"21.0.8\" 2025-07-15 LTS\n",
     true, "21.0.8"},
    {"a quote before the warning mark is no warning line", "java version \"1.7\" VM warning: x\n", true, "1.7"},
    {"a version line quoting a warning text is not skipped",
     "openjdk version \"9\" VM warning: \"x\"\n", true, "9"},
    {"only warning lines", "OpenJDK 64-Bit Server VM warning: x\n", false, ""},
    {"no closing quote", "java version \"1.7.0_05\n", false, ""},
    {"empty output", "", false, ""},
    {"empty first line", "\njava version \"1.7.0\"\n", false, ""},
    {"only Picked up lines", "Picked up JAVA_TOOL_OPTIONS: -Xmx1g\n", false, ""},
    {"garbage", "Error: could not find java.dll\n", false, ""},
    {"other notice before the version line", "NOTE: something\njava version \"1.7.0\"\n", false, ""},
    {"prefix without quote", "java version 1.7.0\n", false, ""},
    {"case matters", "Java version \"1.7.0\"\n", false, ""},
    {"10 000-byte first line", repeat('x', 10000) + "\njava version \"1.7.0\"\n", false, ""},
    {"10 000-byte version line", "java version \"" + repeat('9', 10000) + "\"\n", false, ""},
    {"8191-byte version", "openjdk version \"" + repeat('7', 8191) + "\"\n", true, repeat('7', 8191)},
    {"8192-byte version", "openjdk version \"" + repeat('7', 8192) + "\"\n", false, ""},
};

class VersionOutput : public ::testing::TestWithParam<OutputCase> {};

TEST_P(VersionOutput, Parse) {
    const OutputCase& c = GetParam();
    std::string version = "untouched";
    EXPECT_EQ(parseVersionOutput(c.output, version), c.ok) << c.name;
    if (c.ok)
        EXPECT_EQ(version, c.version) << c.name;
    else
        EXPECT_EQ(version, "untouched") << c.name;
}

INSTANTIATE_TEST_SUITE_P(Table, VersionOutput, ::testing::ValuesIn(kOutputCases));

TEST(VersionOutputLine, NamesTheLineJudged) {
    std::string version, line;
    EXPECT_FALSE(parseVersionOutput("Picked up X\r\nError: bad\r\nmore\n", version, &line));
    EXPECT_EQ(line, "Error: bad");
    EXPECT_FALSE(parseVersionOutput("", version, &line));
    EXPECT_EQ(line, "");
}

TEST(VersionCacheLayout, KeyHoldsThePathWithForwardSlashes) {
    EXPECT_EQ(versionCacheKeyName("c:\\program files\\java\\jre7\\bin\\java.exe"),
              "SOFTWARE\\quorbel-systems\\tovex\\jvms\\c:/program files/java/jre7/bin/java.exe");
}

TEST(VersionCacheLayout, LastWriteTimeLowHalfFirst) {
    EXPECT_EQ(encodeLastWriteTime(0x0102030405060708ULL), std::string("\x08\x07\x06\x05\x04\x03\x02\x01", 8));
    EXPECT_EQ(encodeLastWriteTime(0).size(), 8u);
}
}  // namespace
