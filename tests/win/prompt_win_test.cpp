// The configured working directory, applied at start-up.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "files/paths.h"
#include "launcher/config.h"
#include "launcher/prompt.h"

namespace {
std::string currentDirectory() {
    char buffer[MAX_PATH * 4] = {};
    GetCurrentDirectoryA(sizeof(buffer), buffer);
    return buffer;
}

std::string withoutTrailingBackslash(std::string path) {
    while (path.size() > 3 && path.back() == '\\') path.pop_back();
    return path;
}

class WorkingDirectory : public ::testing::Test {
protected:
    void SetUp() override { saved_ = currentDirectory(); }
    void TearDown() override { SetCurrentDirectoryA(saved_.c_str()); }
    std::string saved_;
};

TEST_F(WorkingDirectory, EmptySettingLeavesItUnchanged) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    ASSERT_TRUE(SetCurrentDirectoryA(temp));
    std::string before = currentDirectory();
    setConfigForTesting({});
    applyWorkingDirectory();
    EXPECT_EQ(currentDirectory(), before);
}

TEST_F(WorkingDirectory, DotIsTheExecutablesDirectory) {
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    ASSERT_TRUE(SetCurrentDirectoryA(temp));
    setConfigForTesting({{CFG_WORKING_DIRECTORY, "."}});
    applyWorkingDirectory();
    EXPECT_EQ(withoutTrailingBackslash(currentDirectory()), withoutTrailingBackslash(exeDirectory()));
}

TEST_F(WorkingDirectory, RelativeSettingIsTakenAgainstTheExecutablesDirectory) {
    std::string sub = exeDirectory() + "wd test dir";
    CreateDirectoryA(sub.c_str(), nullptr);
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof(temp), temp);
    ASSERT_TRUE(SetCurrentDirectoryA(temp));
    setConfigForTesting({{CFG_WORKING_DIRECTORY, "wd test dir\\..\\wd test dir"}});
    applyWorkingDirectory();
    EXPECT_EQ(withoutTrailingBackslash(currentDirectory()), sub);
    SetCurrentDirectoryA(temp);
    RemoveDirectoryA(sub.c_str());
}
}  // namespace
