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

TEST(VmNativePath, Bounded) {
    std::string list = "C:\\lib";
    std::string previous(kNativePathLimit, 'p');
    EXPECT_EQ(composeNativePath(list, previous), "C:\\lib;") << "a previous PATH that does not fit is left out";
    std::string fits(kNativePathLimit - 7, 'p');
    EXPECT_EQ(composeNativePath(list, fits).size(), kNativePathLimit);
    EXPECT_EQ(composeNativePath(std::string(kNativePathLimit + 10, 'd'), "x").size(), kNativePathLimit);
}

}  // namespace
