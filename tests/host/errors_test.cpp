// Message arguments, the "Log:" line and the host's fatal exits.
#include <gtest/gtest.h>

#include "launcher/config.h"
#include "launcher/config_block.h"
#include "launcher/errors.h"
#include "launcher/launcher.h"

TEST(Errors, MessageArgumentReplacesOnlyTheFirstPlaceholder) {
    struct Row {
        const char* text;
        const char* argument;
        const char* shown;
    } rows[] = {
        {"An internal error occurred (error code: {0})", "16", "An internal error occurred (error code: 16)"},
        {"{0} and {0}", "A", "A and {0}"},
        {"no placeholder", "x", "no placeholder"},
        {"kept {0}", nullptr, "kept {0}"},
        {"", "x", ""},
        {"{0}", "{0}", "{0}"},
        {"{ 0} {0", "x", "{ 0} {0"},
    };
    for (const Row& row : rows) EXPECT_EQ(applyMessageArgument(row.text, row.argument), row.shown) << row.text;
}

TEST(Errors, LogLineIsAppendedAfterAnEmptyLine) {
    EXPECT_EQ(composeErrorText("Boom", nullptr), "Boom");
    EXPECT_EQ(composeErrorText("Boom", "C:\\Temp\\mlk_nlog_2"), "Boom\n\nLog: C:\\Temp\\mlk_nlog_2");
    EXPECT_EQ(composeErrorText("", "c:\\mlk_nlog"), "\n\nLog: c:\\mlk_nlog");
}

TEST(ErrorsDeathTest, FatalMessageShowsTheTextAndExitsWithOne) {
    setConfigForTesting({{CFG_MSG_INTERNAL_ERROR, "An internal error occurred (error code: {0})"}});
    EXPECT_EXIT(fatalMessage(CFG_MSG_INTERNAL_ERROR, "16"), ::testing::ExitedWithCode(1),
                "An internal error occurred \\(error code: 16\\)");
    EXPECT_EXIT(fatalText("Internal Error: magic"), ::testing::ExitedWithCode(1), "Internal Error: magic");
    EXPECT_EXIT(exitLauncher(83), ::testing::ExitedWithCode(83), "");
    setConfigForTesting({});
}

TEST(CommandLineTail, Table) {
    struct Row {
        const char* line;
        const char* tail;
    } rows[] = {
        {"app.exe", ""},
        {"app.exe __mlk_reboot", "__mlk_reboot"},
        {"\"C:\\My App\\app.exe\" -q x", "-q x"},
        {"\"C:\\My App\\app.exe\"", ""},
        {"app.exe \t  a  b ", "a  b "},
        {"C:\\My\" \"App\\app.exe  z", "z"},  // quotes switch within the name
        {"\"unclosed name with blanks", ""},
        {"app.exe\ta", "a"},
        {"", ""},
        {"app.exe \x01\x1f" "x", "x"},
    };
    for (const Row& row : rows) EXPECT_EQ(commandLineTail(row.line), row.tail) << row.line;
}

TEST(Errors, LocalizedWideTextTakesPrecedenceOverTheStringEntry) {
    ConfigData data;
    data.strings = {{1000, "Error"}, {1016, "No JVM ({0}-bit)"}};
    data.wideStrings = {{1016, u"Keine JVM ({0}-Bit) \u00fc"}};
    installConfig(data);
    EXPECT_EQ(messageText(1000), "Error");
    EXPECT_EQ(messageText(1016), "Keine JVM ({0}-Bit) \xfc");
    EXPECT_EQ(messageText(1001), "");
    setConfigForTesting({});
}
