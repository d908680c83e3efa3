// The launcher's tokenizer.
#include <gtest/gtest.h>

#include "windows/args.h"

TEST(SplitArguments, Table) {
    struct Row {
        const char* name;
        std::u16string text;
        std::vector<std::u16string> tokens;
    } rows[] = {
        {"two spaces", u"a  b", {u"a", u"b"}},
        {"leading and trailing spaces", u"  a b  ", {u"a", u"b"}},
        {"spaces only", u"   ", {}},
        {"empty", u"", {}},
        {"empty double quotes", u"\"\"", {u""}},
        {"empty quotes between words", u"a \"\" b", {u"a", u"", u"b"}},
        {"value with a space", u"-Dname=\"x y\" z", {u"-Dname=x y", u"z"}},
        {"text after a closing quote", u"\"a\"b", {u"a", u"b"}},
        {"apostrophe in a word", u"don't stop", {u"dont stop"}},
        {"apostrophe pair", u"'a b' c", {u"a b", u"c"}},
        {"apostrophe inside double quotes", u"\"it's\" x", {u"it's", u"x"}},
        {"double quote inside apostrophes", u"'say \"hi\"' x", {u"say \"hi\"", u"x"}},
        {"backslash is ordinary", u"a\\\"b c\"", {u"a\\b c"}},
        {"unclosed double quote", u"\"a b", {u"a b"}},
        {"tab belongs to the token", u"a\tb c", {u"a\tb", u"c"}},
        {"quoted program path", u"\"C:\\My App\\app.exe\" -x", {u"C:\\My App\\app.exe", u"-x"}},
        {"closing quote then two spaces", u"\"a\"  b", {u"a", u"b"}},
        {"quote later than a space", u"a b\"c d\"", {u"a", u"bc d"}},
        {"non-ASCII", u"\u00fc \u4e2d\u6587", {u"\u00fc", u"\u4e2d\u6587"}},
    };
    for (const Row& row : rows) {
        std::vector<std::u16string> out;
        splitArguments(row.text, out);
        EXPECT_EQ(out, row.tokens) << row.name;
    }
}

TEST(SplitArguments, TwentyThousandArgumentsOfEveryForm) {
    // Every form of the table, many times over, in one text: the tokens come out
    // in order and whole however long the text is.
    const struct {
        std::u16string text;
        std::vector<std::u16string> tokens;
    } forms[] = {
        {u"plain", {u"plain"}},
        {u"\"double quoted\"", {u"double quoted"}},
        {u"'single quoted'", {u"single quoted"}},
        {u"-Dp=\"a b\"", {u"-Dp=a b"}},
        {u"\"a\"b", {u"a", u"b"}},
        {u"\"\"", {u""}},
        {u"don't' x", {u"dont", u"x"}},
        {u"it\"'s\"", {u"it's"}},
    };
    std::u16string text;
    std::vector<std::u16string> expected;
    for (int i = 0; expected.size() < 20000; ++i) {
        const auto& form = forms[i % (sizeof forms / sizeof forms[0])];
        text += form.text;
        text += i % 3 ? u" " : u"  ";
        expected.insert(expected.end(), form.tokens.begin(), form.tokens.end());
    }
    std::vector<std::u16string> out;
    splitArguments(text, out);
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_EQ(out, expected);
    // A quote that never closes takes the rest, however long.
    std::u16string rest;
    for (int i = 0; i < 20000; ++i) rest += u"x 'y  ";
    out.clear();
    splitArguments(u"a \"" + rest, out);
    EXPECT_EQ(out, (std::vector<std::u16string>{u"a", rest}));
}

TEST(SplitArguments, AppendsToTheCallersList) {
    std::vector<std::u16string> out = {u"kept"};
    splitArguments(u"x", out);
    EXPECT_EQ(out, (std::vector<std::u16string>{u"kept", u"x"}));
}

TEST(SplitArguments, NarrowVariantRoundTripsTheCodePage) {
    std::vector<std::string> out;
    splitArgumentsNarrow("-Xmx1g \"-Dp=C:\\Pr\xfc" "f Dir\" '-Da=b c'", out);
    EXPECT_EQ(out, (std::vector<std::string>{"-Xmx1g", "-Dp=C:\\Pr\xfc" "f Dir", "-Da=b c"}));
}
