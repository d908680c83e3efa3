// Variable expansion: the fixed patterns, environment variables, single pass, logging.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/log.h"
#include "windows/expand.h"

namespace {

ExpansionContext sampleContext() {
    ExpansionContext c;
    c.exeDirectory = "C:\\App\\";
    c.tempDir = "C:\\Tmp\\x_dir7";
    c.jvmHome = "C:\\jre\\bin\\..";
    c.systemTempDir = "C:\\Users\\u\\Temp\\";
    c.environment = {"Path=C:\\Windows", "TEMP=C:\\T", "lower=l"};
    return c;
}

std::string expanded(std::string text, const ExpansionContext& context) {
    expandVariablesWith(text, context);
    return text;
}

struct Row {
    const char* name;
    const char* input;
    const char* expected;
};

TEST(VmExpand, FixedPatternsInTheirTable) {
    const Row rows[] = {
        {"exedir percent", "%TOVEX_EXEDIR%lib", "C:\\App\\lib"},
        {"exedir percent legacy", "%MARLOWKIT_EXEDIR%", "C:\\App\\"},
        {"tempdir percent", "%TOVEX_TEMPDIR%", "C:\\Tmp\\x_dir7"},
        {"tempdir percent legacy", "%MARLOWKIT_TEMPDIR%", "C:\\Tmp\\x_dir7"},
        {"separator percent", "a%TOVEX_PATHLIST_SEPARATOR%b", "a;b"},
        {"separator percent legacy", "a%MARLOWKIT_PATHLIST_SEPARATOR%b", "a;b"},
        {"jvm home percent", "%TOVEX_JVM_HOME%", "C:\\jre\\bin\\.."},
        {"jvm home percent legacy", "%MARLOWKIT_JVM_HOME%", "C:\\jre\\bin\\.."},
        {"exedir braces", "${TOVEX_EXEDIR}", "C:\\App\\"},
        {"exedir braces legacy", "${MARLOWKIT_EXEDIR}", "C:\\App\\"},
        {"tempdir braces", "${TOVEX_TEMPDIR}", "C:\\Tmp\\x_dir7"},
        {"tempdir braces legacy", "${MARLOWKIT_TEMPDIR}", "C:\\Tmp\\x_dir7"},
        {"separator braces", "${TOVEX_PATHLIST_SEPARATOR}", ";"},
        {"separator braces legacy", "${MARLOWKIT_PATHLIST_SEPARATOR}", ";"},
        {"jvm home braces", "${TOVEX_JVM_HOME}", "C:\\jre\\bin\\.."},
        {"jvm home braces legacy", "${MARLOWKIT_JVM_HOME}", "C:\\jre\\bin\\.."},
        {"launcher directory", "${launcher:sys.launcherDirectory}", "C:\\App\\"},
        {"launcher temp directory", "${launcher:sys.launcherTempDirectory}", "C:\\Tmp\\x_dir7"},
        {"launcher separator", "${launcher:sys.pathlistSeparator}", ";"},
        {"launcher jvm home", "${launcher:sys.jvmHome}", "C:\\jre\\bin\\.."},
        {"system temp dir", "${launcher:sys.tempDir}", "C:\\Users\\u\\Temp\\"},
        {"case matters for fixed names", "%tovex_exedir%", "%tovex_exedir%"},
        {"env in braces", "${TEMP}\\x", "C:\\T\\x"},
        {"env between percent signs stays", "%TEMP%", "%TEMP%"},
        {"mixed-case name exact", "${Path}", "C:\\Windows"},
        {"mixed-case name upper-cased", "${PATH}", "C:\\Windows"},
        {"other case does not match", "${path}", "${path}"},
        {"lower-case name exact and upper", "${lower}${LOWER}", "ll"},
        {"unknown braces stay", "${NO_SUCH_THING}", "${NO_SUCH_THING}"},
        {"unterminated reference stays", "${TEMP", "${TEMP"},
    };
    ExpansionContext context = sampleContext();
    for (const Row& row : rows) EXPECT_EQ(expanded(row.input, context), row.expected) << row.name;
}

TEST(VmExpand, EmptyValuesBeforeTheyAreKnown) {
    ExpansionContext context = sampleContext();
    context.tempDir.clear();
    context.jvmHome.clear();
    EXPECT_EQ(expanded("[%TOVEX_TEMPDIR%][${TOVEX_JVM_HOME}]", context), "[][]");
}

TEST(VmExpand, EveryOccurrenceReplacedWithOneLogLineEach) {
    hostLogClear();
    EXPECT_EQ(expanded("%TOVEX_EXEDIR%a;%TOVEX_EXEDIR%b", sampleContext()), "C:\\App\\a;C:\\App\\b");
    std::vector<std::string> lines = hostLogLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "expanding %TOVEX_EXEDIR% to C:\\App\\ in C:\\App\\a;%TOVEX_EXEDIR%b.");
    EXPECT_EQ(lines[1], "expanding %TOVEX_EXEDIR% to C:\\App\\ in C:\\App\\a;C:\\App\\b.");
}

TEST(VmExpand, SinglePassPerPattern) {
    ExpansionContext context = sampleContext();
    context.environment = {"SELF=<${SELF}>", "Mixed=[${Mixed}]"};
    hostLogClear();
    EXPECT_EQ(expanded("${SELF}", context), "<${SELF}>");
    EXPECT_EQ(hostLogLines().size(), 1u) << "an all-upper-case name is not replaced a second time";
    EXPECT_EQ(expanded("${Mixed}", context), "[${Mixed}]");
}

TEST(VmExpand, LaterStepsSeeInsertedText) {
    ExpansionContext context = sampleContext();
    // A fixed value that refers to a later fixed pattern, and environment values in block order.
    context.jvmHome = "${launcher:sys.tempDir}jre";
    context.environment = {"FIRST=${SECOND}", "SECOND=two", "THIRD=${FIRST}"};
    EXPECT_EQ(expanded("%TOVEX_JVM_HOME%", context), "C:\\Users\\u\\Temp\\jre");
    EXPECT_EQ(expanded("${FIRST}", context), "two");
    EXPECT_EQ(expanded("${THIRD}", context), "${FIRST}") << "FIRST comes before THIRD in the block";
}

TEST(VmExpand, EnvironmentEntriesSplitAtTheirNameSeparator) {
    std::string name, value;
    ASSERT_TRUE(splitEnvironmentEntry("=C:=C:\\dir", &name, &value));
    EXPECT_EQ(name, "=C:");
    EXPECT_EQ(value, "C:\\dir");
    ASSERT_TRUE(splitEnvironmentEntry("A=b=c", &name, &value));
    EXPECT_EQ(name, "A");
    EXPECT_EQ(value, "b=c");
    EXPECT_FALSE(splitEnvironmentEntry("NOEQUALS", &name, &value));
    ExpansionContext context = sampleContext();
    context.environment = {"=C:=C:\\dir"};
    EXPECT_EQ(expanded("${}", context), "${}");
}

TEST(VmExpand, ResultIsBounded) {
    ExpansionContext context = sampleContext();
    context.environment = {"BIG=" + std::string(9000, 'v')};
    std::string text = std::string(100, 'a') + "${BIG}" + "tail";
    expandVariablesWith(text, context);
    EXPECT_EQ(text.size(), kExpandedTextLimit);
    EXPECT_EQ(text.substr(0, 100), std::string(100, 'a'));
    EXPECT_EQ(text.back(), 'v');

    std::string many;
    for (int i = 0; i < 3000; ++i) many += "%TOVEX_EXEDIR%";
    expandVariablesWith(many, context);
    EXPECT_LE(many.size(), kExpandedTextLimit);
}

}  // namespace
