// Console attachment of the launch driver (the switches "-console" and "-c"). What the
// switches do in a built launcher is shown end to end by tests/e2e/test_spine_driver.py.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <io.h>

#include "launcher/launcher.h"

TEST(ConsoleWin, AttachConsoleInAConsoleProgramKeepsRedirectedStreams) {
    // The test exe is a console program: attaching reports "already has a
    // console" (access denied), which counts as success. Streams that were
    // redirected at start stay where they were.
    intptr_t before = _get_osfhandle(_fileno(stderr));
    EXPECT_TRUE(attachConsole());
    EXPECT_EQ(_get_osfhandle(_fileno(stderr)), before);
    EXPECT_GE(std::fprintf(stderr, "%s", ""), 0);
}
