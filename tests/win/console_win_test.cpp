// Platform queries of the launch driver.
#include <gtest/gtest.h>
#include <windows.h>

#include "launcher/launcher.h"

TEST(ConsoleWin, IsNtPlatform) { EXPECT_TRUE(isNtPlatform()); }

TEST(ConsoleWin, AttachConsoleFailsWhenWineCannotGiveOne) {
    // With standard output redirected (as under ctest) Wine refuses both
    // attaching to the parent's console and allocating one.
    DWORD type = GetFileType(GetStdHandle(STD_OUTPUT_HANDLE));
    if (type != FILE_TYPE_DISK && type != FILE_TYPE_PIPE) GTEST_SKIP() << "output is not redirected";
    if (GetConsoleWindow() != nullptr) GTEST_SKIP() << "the process has a console already";
    EXPECT_FALSE(attachConsole());
    EXPECT_EQ(GetConsoleWindow(), nullptr);
}
