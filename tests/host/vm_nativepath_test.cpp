// The PATH value with the native library directories in front.
#include <gtest/gtest.h>

#include "windows/nativepath.h"

namespace {

TEST(VmNativePath, Composition) {
    struct Row {
        const char* name;
        std::string list, previous, expected;
    } rows[] = {
        {"no directories", "", "C:\\Windows", "C:\\Windows"},
        {"one directory", "C:\\App\\lib", "C:\\Windows", "C:\\App\\lib;C:\\Windows"},
        {"two directories in order", "C:\\a;C:\\b", "C:\\W", "C:\\a;C:\\b;C:\\W"},
        {"no previous PATH", "C:\\a", "", "C:\\a;"},
        {"separator not doubled", "C:\\a;", "C:\\W", "C:\\a;C:\\W"},
    };
    for (const Row& row : rows) EXPECT_EQ(composeNativePath(row.list, row.previous), row.expected) << row.name;
}

TEST(VmNativePath, WhatWasOnPathIsNeverDropped) {
    const size_t limit = kNativePathLimit;
    const std::string list = "C:\\lib;D:\\more";  // 15 bytes with the ";" behind it
    struct Row {
        const char* name;
        std::string list, previous;
        std::string front;                  // what goes in front of the previous PATH
        std::vector<std::string> leftOut;
    } rows[] = {
        {"a PATH over 16,383 bytes", list, std::string(20000, 'p'), "C:\\lib;D:\\more;", {}},
        {"exactly at the limit", list, std::string(limit - 15, 'p'), "C:\\lib;D:\\more;", {}},
        {"room for the first directory only", list, std::string(limit - 14, 'p'), "C:\\lib;", {"D:\\more"}},
        {"room for none", list, std::string(limit - 6, 'p'), "", {"C:\\lib", "D:\\more"}},
        {"a previous PATH longer than the limit", list, std::string(limit + 1, 'p'), "", {"C:\\lib", "D:\\more"}},
        {"a long list without PATH: the leading directories that fit",
         std::string(limit - 1, 'a') + ";" + "b", "", std::string(limit - 1, 'a') + ";", {"b"}},
        {"a directory that does not fit ends the list", "C:\\lib;" + std::string(limit, 'x') + ";D:\\d",
         std::string(100, 'p'), "C:\\lib;", {std::string(limit, 'x'), "D:\\d"}},
    };
    for (const Row& row : rows) {
        std::vector<std::string> leftOut;
        std::string value = composeNativePath(row.list, row.previous, &leftOut);
        EXPECT_EQ(value, row.front + row.previous) << row.name;
        EXPECT_EQ(leftOut, row.leftOut) << row.name;
        if (row.previous.size() <= limit) {
            EXPECT_LE(value.size(), limit) << row.name;
        }
    }
}

}  // namespace
