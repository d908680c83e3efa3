// The launcher's tokenizer.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "windows/args.h"

namespace {
// One case of tests/data/argument_splitting.tsv, the table the Java splitter's tests read too.
struct SplitCase {
    std::string name;
    std::u16string text;
    std::vector<std::u16string> tokens;
};

// Undoes the table's escapes: \t, \\ and \uXXXX (one UTF-16 code unit); false on a
// malformed escape or a byte outside ASCII (the Java reader must see the same text).
bool unescape(const std::string& field, std::u16string& out) {
    out.clear();
    for (size_t i = 0; i < field.size(); ++i) {
        if (static_cast<unsigned char>(field[i]) >= 0x80) {
            return false;
        } else if (field[i] != '\\') {
            out += static_cast<char16_t>(static_cast<unsigned char>(field[i]));
        } else if (i + 1 < field.size() && (field[i + 1] == 't' || field[i + 1] == '\\')) {
            out += field[++i] == 't' ? u'\t' : u'\\';
        } else if (i + 5 < field.size() && field[i + 1] == 'u' &&
                   field.find_first_not_of("0123456789ABCDEFabcdef", i + 2) >= i + 6) {
            out += static_cast<char16_t>(std::stoul(field.substr(i + 2, 4), nullptr, 16));
            i += 5;
        } else {
            return false;
        }
    }
    return true;
}

std::vector<std::string> splitAtTabs(const std::string& line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

// name, input, token count, tokens: false when the line is not of that form.
bool parseCase(const std::string& line, SplitCase& c) {
    std::vector<std::string> fields = splitAtTabs(line);
    if (fields.size() < 3 || fields[2].empty() || fields[2].find_first_not_of("0123456789") != std::string::npos)
        return false;
    if (fields.size() != 3 + std::stoul(fields[2])) return false;
    c.name = fields[0];
    if (!unescape(fields[1], c.text)) return false;
    c.tokens.resize(fields.size() - 3);
    for (size_t i = 3; i < fields.size(); ++i)
        if (!unescape(fields[i], c.tokens[i - 3])) return false;
    return true;
}

std::vector<SplitCase> readSplitCases() {
    std::ifstream file(TOVEX_SOURCE_DIR "/tests/data/argument_splitting.tsv", std::ios::binary);
    EXPECT_TRUE(file.is_open());
    std::vector<SplitCase> cases;
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
        if (line.empty() || line[0] == '#') continue;
        SplitCase c;
        EXPECT_TRUE(parseCase(line, c)) << "argument_splitting.tsv line " << number << " is malformed: " << line;
        cases.push_back(c);
    }
    return cases;
}
}  // namespace

TEST(SplitArguments, SharedTable) {
    std::vector<SplitCase> cases = readSplitCases();
    ASSERT_GE(cases.size(), 30u);
    for (const SplitCase& c : cases) {
        std::vector<std::u16string> out;
        splitArguments(c.text, out);
        EXPECT_EQ(out, c.tokens) << c.name;
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
