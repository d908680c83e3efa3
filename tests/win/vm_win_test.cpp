// The Windows parts of the VM options: environment reads, directory search, expansion
// from the real environment block, and PATH with the native library directories.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "files/paths.h"
#include "launcher/config.h"
#include "windows/expand.h"
#include "windows/nativepath.h"
#include "windows/options.h"
#include "windows/options_platform.h"

namespace {

std::string environmentValue(const char* name) {
    char buffer[32768];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return std::string(buffer, n < sizeof buffer ? n : 0);
}

TEST(VmWin, ReadEnvironment) {
    std::string value = "x";
    SetEnvironmentVariableA("VM_WIN_UNDEFINED", nullptr);
    EXPECT_FALSE(readEnvironment("VM_WIN_UNDEFINED", &value));
    EXPECT_EQ(value, "");
    SetEnvironmentVariableA("VM_WIN_EMPTY", "");
    EXPECT_TRUE(readEnvironment("VM_WIN_EMPTY", &value));
    EXPECT_EQ(value, "");
    SetEnvironmentVariableA("VM_WIN_LONG", std::string(10000, 'v').c_str());
    EXPECT_TRUE(readEnvironment("VM_WIN_LONG", &value));
    EXPECT_EQ(value, std::string(8191, 'v'));
    SetEnvironmentVariableA("VM_WIN_LONG", nullptr);
    SetEnvironmentVariableA("VM_WIN_EMPTY", nullptr);
}

TEST(VmWin, DirectorySearchAndArchives) {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(sizeof temp, temp), 0u);
    std::string dir = std::string(temp) + "vm_win_list_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr));
    for (const char* name : {"a.jar", "B.JAR", "c.zip", "d.txt"}) {
        HANDLE h = CreateFileA((dir + "\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    std::vector<std::string> jars = listDirectory(dir, "jar");
    std::sort(jars.begin(), jars.end());
    EXPECT_EQ(jars, (std::vector<std::string>{"B.JAR", "a.jar"}));
    EXPECT_EQ(listDirectory(dir, ".zip"), (std::vector<std::string>{"c.zip"}));
    std::string cp;
    EXPECT_TRUE(appendArchivesOfDirectory(cp, dir, "zip"));
    EXPECT_EQ(cp, makeAbsolutePath(dir + "\\c.zip") + ";");
    EXPECT_FALSE(appendArchivesOfDirectory(cp, dir + "\\missing", "jar"));
    for (const char* name : {"a.jar", "B.JAR", "c.zip", "d.txt"}) DeleteFileA((dir + "\\" + name).c_str());
    RemoveDirectoryA(dir.c_str());
}

TEST(VmWin, ExpansionFromTheEnvironmentBlock) {
    SetEnvironmentVariableA("VM_WIN_VALUE", "v1");
    SetEnvironmentVariableA("Vm_Win_Mixed", "m1");
    std::string text = "${VM_WIN_VALUE}|%VM_WIN_VALUE%|${Vm_Win_Mixed}|${VM_WIN_MIXED}|${vm_win_mixed}|%TOVEX_EXEDIR%";
    expandVariables(text);
    EXPECT_EQ(text, "v1|%VM_WIN_VALUE%|m1|m1|${vm_win_mixed}|" + exeDirectory());
    SetEnvironmentVariableA("VM_WIN_VALUE", nullptr);
    SetEnvironmentVariableA("Vm_Win_Mixed", nullptr);
}

TEST(VmWin, NativeLibraryDirectoriesInFrontOfPath) {
    std::string saved = environmentValue("PATH");
    setConfigForTesting({{CFG_NATIVE_LIB_DIRS, "lib;C:\\x"}});
    setNativeLibraryPath();
    std::string expected = exeDirectory() + "lib;C:\\x;" + saved;
    EXPECT_EQ(environmentValue("PATH"), expected);
    const char* runtimeCopy = std::getenv("PATH");
    ASSERT_NE(runtimeCopy, nullptr);
    EXPECT_EQ(std::string(runtimeCopy), expected) << "the C runtime's copy is kept in step";

    setConfigForTesting({});
    SetEnvironmentVariableA("PATH", saved.c_str());
    setNativeLibraryPath();
    EXPECT_EQ(environmentValue("PATH"), saved) << "no directories: PATH keeps its value";
    _putenv(("PATH=" + saved).c_str());
}

}  // namespace
