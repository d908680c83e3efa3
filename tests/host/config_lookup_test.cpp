// Lookups by id and the decimal and colour conversions.
#include <gtest/gtest.h>

#include "launcher/config.h"

TEST(ConfigLookup, DecimalConversion) {
    struct Row {
        const char* text;
        int32_t value;
    } rows[] = {
        {"", 0},
        {"0", 0},
        {"1", 1},
        {"2", 2},
        {"1.5", 1},
        {"  \t 42abc", 42},
        {"+7", 7},
        {"-12", -12},
        {"abc", 0},
        {"-", 0},
        {" - 5", 0},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"99999999999999999999999", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-2147483649", INT32_MIN},
        {"-99999999999999999999999", INT32_MIN},
        {"007", 7},
    };
    for (const Row& row : rows) EXPECT_EQ(parseConfigInt(row.text), row.value) << '"' << row.text << '"';
}

TEST(ConfigLookup, ColourConversion) {
    struct Row {
        const char* text;
        uint32_t value;
    } rows[] = {
        {"10,20,30", 0x001E140Au},
        {"255,255,255", 0x00FFFFFFu},
        {"10,,20,,,30", 0x001E140Au},  // empty fields are skipped
        {",10,20,30,", 0x001E140Au},
        {"256,257,-1", 0x00FF0100u},   // low 8 bits of each number
        {" 1, 2, 3", 0x00030201u},
        {"1,2,3,4", 0x00030201u},      // a fourth number is ignored
        {"10,20", 0u},                 // fewer than three numbers: black
        {"", 0u},
        {",,,", 0u},
    };
    for (const Row& row : rows) EXPECT_EQ(parseConfigColor(row.text), row.value) << '"' << row.text << '"';
}

TEST(ConfigLookup, AbsentIdsReadAsEmptyAndZeroAndAreNotInserted) {
    setConfigForTesting({{122, "Main"}, {108, "0"}, {154, "1"}, {107, "2"}, {2001, "eXtra"}});
    EXPECT_EQ(getConfigString(999), "");
    EXPECT_EQ(getConfigInt(999), 0);
    EXPECT_FALSE(getConfigFlag(999));
    EXPECT_FALSE(getConfigFlag(108));
    EXPECT_TRUE(getConfigFlag(154));
    EXPECT_TRUE(getConfigFlag(107));  // "2": a set flag, though a different exe type
    EXPECT_EQ(getConfigColor(999), 0u);
    EXPECT_EQ(getConfigString(2001, 2), "e");
    EXPECT_EQ(getConfigString(122, 3), "Ma");
    EXPECT_EQ(getConfigString(122, 8192), "Main");
    EXPECT_EQ(getConfigString(122, 0), "");
    setConfigForTesting({});
    EXPECT_EQ(getConfigString(122), "");
}
