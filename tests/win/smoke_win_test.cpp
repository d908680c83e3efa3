#include <gtest/gtest.h>
#include <windows.h>

TEST(WineEnvironment, RunsAsA64BitWindowsProcess) {
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(sizeof(void*), 8u);
}
