// Single-instance names, the process-id value and the semaphore test (under Wine).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "files/paths.h"
#include "instance/single_instance.h"
#include "launcher/config.h"

namespace {

std::string uniqueName(const char* tag) {
    return std::string("Local\\tvx_test_") + tag + "_" + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(GetTickCount());
}

TEST(SingleInstanceWin, ObjectNameOfTheFullPathIsAValidSemaphoreName) {
    std::string full = getFullPath(getModulePath(), false);
    ASSERT_FALSE(full.empty());
    std::string lower = full;
    toLowerPath(lower);
    EXPECT_EQ(full, lower);
    std::string name = instanceSemaphoreName(full, false);
    EXPECT_EQ(name.rfind("Local\\", 0), 0u);
    EXPECT_EQ(name.find('\\', 6), std::string::npos);
    EXPECT_EQ(name.find(' '), std::string::npos);
    SetLastError(0);
    HANDLE h = CreateSemaphoreA(nullptr, 1, 1, name.c_str());
    ASSERT_NE(h, nullptr) << GetLastError();
    CloseHandle(h);
}

TEST(SingleInstanceWin, DifferentlyCasedPathsGiveOneName) {
    std::string path = getModulePath();
    std::string upper = path;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    EXPECT_EQ(instanceSemaphoreName(getFullPath(path, false), false),
              instanceSemaphoreName(getFullPath(upper, false), false));
}

TEST(SingleInstanceWin, ProcessIdValueRoundTrip) {
    std::string valueName = getFullPath(getModulePath(), false);
    registerInstancePid();
    EXPECT_EQ(readInstancePid(), GetCurrentProcessId());

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kInstancePidKey, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    DWORD type = 0, data = 0, size = sizeof data;
    EXPECT_EQ(RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

    // A value of another size is not a process id.
    unsigned long long wide = GetCurrentProcessId();
    RegSetValueExA(key, valueName.c_str(), 0, REG_QWORD, reinterpret_cast<BYTE*>(&wide), sizeof wide);
    EXPECT_EQ(readInstancePid(), 0u);

    RegDeleteValueA(key, valueName.c_str());
    EXPECT_EQ(readInstancePid(), 0u) << "no value, no process id";
    RegCloseKey(key);
}

TEST(SingleInstanceWin, MainInstanceIsAliveWhileItsSemaphoreExists) {
    std::string name = uniqueName("alive");
    setSemaphoreName(name);
    EXPECT_FALSE(isMainInstanceAlive());
    EXPECT_FALSE(isMainInstanceAlive()) << "the test must not leave the semaphore behind";

    HANDLE first = CreateSemaphoreA(nullptr, 1, 1, name.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(isMainInstanceAlive());
    EXPECT_TRUE(isMainInstanceAlive());
    CloseHandle(first);
    EXPECT_FALSE(isMainInstanceAlive());
}

TEST(SingleInstanceWin, WaitEndsAtOnceWithoutFileOrFirstInstance) {
    setSemaphoreName(uniqueName("wait"));
    char base[MAX_PATH];
    GetTempPathA(MAX_PATH, base);
    std::string file = std::string(base) + "tvx_test_wait_" + std::to_string(GetCurrentProcessId()) + ".tmp";
    DeleteFileA(file.c_str());
    EXPECT_FALSE(waitForCommFileRemoval(file)) << "no file: nothing to wait for";

    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    EXPECT_TRUE(waitForCommFileRemoval(file)) << "the first instance is gone (its semaphore does not exist)";
    EXPECT_TRUE(DeleteFileA(file.c_str())) << "the wait leaves the file to its caller";
}

TEST(SingleInstanceWin, CounterModeTakesTheNextFreeNumber) {
    setConfigForTesting({});
    checkSingleInstance();
    ASSERT_NE(semaphoreName(), nullptr);
    std::string first = *semaphoreName();
    std::string base = instanceSemaphoreName(getFullPath(getModulePath(), false), false);
    ASSERT_EQ(first.rfind(base, 0), 0u) << first;
    int n = std::stoi(first.substr(base.size()));
    checkSingleInstance();
    EXPECT_EQ(*semaphoreName(), base + std::to_string(n + 1)) << "the first handle stays open";
}

TEST(SingleInstanceWin, GlobalPrefixWhenConfigured) {
    setConfigForTesting({{CFG_SINGLE_INSTANCE_GLOBAL, "1"}});
    checkSingleInstance();
    ASSERT_NE(semaphoreName(), nullptr);
    EXPECT_EQ(semaphoreName()->rfind("Global\\", 0), 0u) << *semaphoreName();
    setConfigForTesting({});
}

TEST(SingleInstanceWin, FirstInstanceRegistersItsProcessId) {
    setConfigForTesting({{CFG_SINGLE_INSTANCE, "1"}});
    checkSingleInstance();  // no other instance of win_tests.exe holds the name
    ASSERT_NE(semaphoreName(), nullptr);
    EXPECT_EQ(*semaphoreName(), instanceSemaphoreName(getFullPath(getModulePath(), false), false));
    EXPECT_EQ(readInstancePid(), GetCurrentProcessId());
    EXPECT_TRUE(isMainInstanceAlive());
    setConfigForTesting({});
}

}  // namespace
