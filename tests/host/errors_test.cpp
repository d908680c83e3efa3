// Message arguments, the "Log:" line and the host's fatal exits.
#include <gtest/gtest.h>

#include "launcher/config.h"
#include "launcher/config_block.h"
#include "launcher/errors.h"
#include "launcher/launcher.h"
#include "launcher/log.h"

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

TEST(Errors, DetailsFillEveryPlaceholderButNothingInsideTheArgument) {
    struct Row {
        const char* text;
        const char* argument;
        const char* details;
        const char* shown;
    } rows[] = {
        {"No Java.{details}\n\nInstall it.", "64", "\n\nSearched: PATH.", "No Java.\n\nSearched: PATH.\n\nInstall it."},
        {"A {0}-bit Java.{details}", "64", "\n\nMore.", "A 64-bit Java.\n\nMore."},
        {"{details} {0} {details}", "x{details}", "D", "D x{details} D"},
        {"no details here", "x", "D", "no details here"},
        {"No JVM could be found on your system.\nPlease define TOVEX_JAVA_HOME", "64", "D",
         "No JVM could be found on your system.\nPlease define TOVEX_JAVA_HOME"},  // an older block's text
        {"Code {0}.{details}", "16", nullptr, "Code 16."},
        {"Code {0}.{details}", nullptr, "D", "Code {0}.D"},
        {"{0} and {0}", "A", nullptr, "A and {0}"},
        {"{details}", nullptr, "{details}", "{details}"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(fillMessage(row.text, row.argument, row.details), row.shown) << row.text;
}

TEST(ErrorsDeathTest, FatalMessageIsLoggedWithItsText) {
    setConfigForTesting({{CFG_MSG_INTERNAL_ERROR, "Internal error (code {0}).{details}"}});
    EXPECT_EXIT(fatalMessage(CFG_MSG_INTERNAL_ERROR, "7", "\n\nThe folder C:\\T could not be written to."),
                ::testing::ExitedWithCode(1), "Internal error \\(code 7\\)\\.\n\nThe folder C:\\\\T could not be");
    // Without details of its own, an internal error tells the user what to do.
    EXPECT_EXIT(fatalMessage(CFG_MSG_INTERNAL_ERROR, "14", nullptr), ::testing::ExitedWithCode(1),
                "What to do: start the program again");
    setConfigForTesting({});
}

TEST(Errors, ShownMessageIsAlsoLogged) {
    hostLogClear();
    setConfigForTesting({{CFG_MSG_FILE_NOT_FOUND, "The file {0} is missing."}});
    showMessage(CFG_MSG_FILE_NOT_FOUND, "lib\\a.jar");
    EXPECT_EQ(hostLogLines().back(), "ERROR: message 1006 shown: The file lib\\a.jar is missing.");
    setConfigForTesting({});
}
