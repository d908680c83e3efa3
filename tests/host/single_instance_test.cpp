// Semaphore names and the communication text of single-instance mode.
#include <gtest/gtest.h>

#include "instance/single_instance.h"

namespace {

TEST(SingleInstanceNames, ObjectNameReplacesBackslashesAndBlanks) {
    EXPECT_EQ(toObjectName("c:\\program files\\app\\app.exe"), "c:_program_files_app_app.exe");
    EXPECT_EQ(toObjectName("\\\\server\\share\\a b.exe"), "__server_share_a_b.exe");
    EXPECT_EQ(toObjectName(""), "");
}

TEST(SingleInstanceNames, LocalOrGlobalPrefix) {
    EXPECT_EQ(instanceSemaphoreName("c:\\program files\\app\\app.exe", false), "Local\\c:_program_files_app_app.exe");
    EXPECT_EQ(instanceSemaphoreName("c:\\app.exe", true), "Global\\c:_app.exe");
}

struct TailCase {
    const char16_t* commandLine;
    const char16_t* arguments;
    const char* why;
};

TEST(SingleInstanceNames, CommandLineArguments) {
    const TailCase cases[] = {
        {u"\"C:\\Program Files\\App\\app.exe\" one \"two words\"", u"one \"two words\"",
         "quoted program, second argument quoted and kept as written"},
        {u"\"C:\\Program Files\\App\\app.exe\"", u"", "quoted program without arguments"},
        {u"\"C:\\Program Files\\App\\app.exe\"   ", u"", "only blanks after the program"},
        {u"\"C:\\Program Files\\App\\app.exe", u"", "unmatched quote"},
        {u"app.exe    a   b ", u"a   b ", "blanks before the arguments dropped, inner and trailing kept"},
        {u"app.exe", u"", "bare program"},
        {u"\"app.exe\"x y", u"y", "text glued to the closing quote belongs to the program"},
        {u"", u"", "empty command line"},
        {u"app.exe \u00fc\u20ac", u"\u00fc\u20ac", "non-ASCII arguments"},
    };
    for (const TailCase& c : cases)
        EXPECT_EQ(commandLineArguments(c.commandLine), std::u16string(c.arguments)) << c.why;
}

TEST(SingleInstanceNames, CommunicationTextEndsWithLineFeed) {
    bool cut = true;
    EXPECT_EQ(communicationText(u"a \"b c\"", &cut), u"a \"b c\"\n");
    EXPECT_FALSE(cut);
    EXPECT_EQ(communicationText(u""), u"\n");
}

TEST(SingleInstanceNames, LongArgumentsAreCutToTheBuffer) {
    bool cut = false;
    std::u16string fits(kCommTextUnits - 2, u'x');
    EXPECT_EQ(communicationText(fits, &cut).size(), kCommTextUnits - 1);
    EXPECT_FALSE(cut);

    std::u16string text = communicationText(std::u16string(40000, u'y'), &cut);
    EXPECT_TRUE(cut);
    EXPECT_EQ(text.size(), kCommTextUnits - 1);
    EXPECT_EQ(text.back(), u'\n');

    // A surrogate pair across the limit is dropped whole.
    std::u16string pair(kCommTextUnits - 3, u'z');
    pair += u"\U0001F600";
    text = communicationText(pair, &cut);
    EXPECT_TRUE(cut);
    EXPECT_EQ(text.size(), kCommTextUnits - 2);
    EXPECT_EQ(text[text.size() - 2], u'z');
}

}  // namespace
