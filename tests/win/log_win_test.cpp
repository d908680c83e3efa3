// The diagnostic log's decision, file name rule, header and line format.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "launcher/log.h"

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A private temporary directory set as TMP for the duration of a test.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        char base[MAX_PATH];
        GetTempPathA(sizeof base, base);
        directory_ = std::string(base) + "tovex log test " + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(directory_.c_str(), nullptr);
        char old[8192];
        DWORD n = GetEnvironmentVariableA("TMP", old, sizeof old);
        hadTmp_ = n > 0 && n < sizeof old;
        if (hadTmp_) oldTmp_ = old;
        SetEnvironmentVariableA("TMP", directory_.c_str());
        SetEnvironmentVariableA("TOVEX_LOG", nullptr);
        SetEnvironmentVariableA("MARLOWKIT_LOG", nullptr);
        logResetForTesting();
    }
    void TearDown() override {
        logResetForTesting();
        SetEnvironmentVariableA("TMP", hadTmp_ ? oldTmp_.c_str() : nullptr);
        SetEnvironmentVariableA("TOVEX_LOG", nullptr);
        SetEnvironmentVariableA("MARLOWKIT_LOG", nullptr);
        WIN32_FIND_DATAA data;
        HANDLE find = FindFirstFileA((directory_ + "\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileA((directory_ + "\\" + data.cFileName).c_str());
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        RemoveDirectoryA(directory_.c_str());
    }
    std::string directory_;
    std::string oldTmp_;
    bool hadTmp_ = false;
};

}  // namespace

TEST_F(LogTest, OffUnlessTheVariableIsExactlyYes) {
    for (const char* value : {"YES", "true", "1", "yes "}) {
        logResetForTesting();
        SetEnvironmentVariableA("TOVEX_LOG", value);
        logMessage("line");
        logError("line");
        EXPECT_EQ(logFilePath(), nullptr) << value;
    }
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory_ + "\\mlk_nlog_*").c_str(), &data);
    EXPECT_EQ(find, INVALID_HANDLE_VALUE) << "no file is created while logging is off";
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(LogTest, TovexLogYesWritesHeaderAndLinesInText) {
    SetEnvironmentVariableA("TOVEX_LOG", "yes");
    logMessage("number of sections: %d", 5);
    logError("Could not open %s", "x.exe");
    logMessage("big %I64d", static_cast<long long>(1) << 40);
    ASSERT_NE(logFilePath(), nullptr);
    std::string path = logFilePath();
    EXPECT_EQ(path, directory_ + "\\mlk_nlog_2");
    std::string text = readFile(path);
    char module[MAX_PATH * 4];
    GetModuleFileNameA(nullptr, module, sizeof module);
    std::string header = std::string("Started executable ") + module + " at ";
    ASSERT_EQ(text.compare(0, header.size(), header), 0) << text;
    // ctime's 24 characters and its own line feed, then the header's: an empty line.
    size_t afterDate = header.size() + 24;
    ASSERT_GT(text.size(), afterDate + 4);
    EXPECT_EQ(text.substr(afterDate, 4), "\r\n\r\n");
    EXPECT_EQ(text.substr(afterDate + 4),
              "number of sections: 5\r\nERROR: Could not open x.exe\r\nbig 1099511627776\r\n");
}

TEST_F(LogTest, NextStartTakesTheNextFreeNumber) {
    SetEnvironmentVariableA("MARLOWKIT_LOG", "yes");
    logMessage("first");
    ASSERT_NE(logFilePath(), nullptr);
    EXPECT_EQ(std::string(logFilePath()), directory_ + "\\mlk_nlog_2");
    logResetForTesting();
    SetEnvironmentVariableA("MARLOWKIT_LOG", "yes");
    logMessage("second");
    ASSERT_NE(logFilePath(), nullptr);
    EXPECT_EQ(std::string(logFilePath()), directory_ + "\\mlk_nlog_3");
    EXPECT_NE(readFile(directory_ + "\\mlk_nlog_2").find("first"), std::string::npos);
}

TEST_F(LogTest, RequestedBySwitchWithoutVariables) {
    setLogRequested();
    EXPECT_TRUE(logRequested());
    logMessage("x");
    EXPECT_NE(logFilePath(), nullptr);
}

TEST_F(LogTest, MissingTmpDirectoryFallsBackToDriveC) {
    char dir[8192];
    SetEnvironmentVariableA("TMP", (directory_ + "\\does not exist").c_str());
    ASSERT_TRUE(chooseLogDirectory(dir, sizeof dir));
    EXPECT_STREQ(dir, "c:\\");
    SetEnvironmentVariableA("TMP", directory_.c_str());
    ASSERT_TRUE(chooseLogDirectory(dir, sizeof dir));
    EXPECT_EQ(std::string(dir), directory_);
}

TEST_F(LogTest, NumberedNamesSkipTakenOnesAndHandleTrailingBackslash) {
    char path[8192];
    ASSERT_TRUE(createNumberedLogFile((directory_ + "\\").c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), directory_ + "\\mlk_nlog_2");
    ASSERT_TRUE(createNumberedLogFile(directory_.c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), directory_ + "\\mlk_nlog_3");
    CreateDirectoryA((directory_ + "\\mlk_nlog_4").c_str(), nullptr);  // a directory takes the name too
    ASSERT_TRUE(createNumberedLogFile(directory_.c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), directory_ + "\\mlk_nlog_5");
    RemoveDirectoryA((directory_ + "\\mlk_nlog_4").c_str());
    EXPECT_FALSE(createNumberedLogFile((directory_ + "\\missing dir").c_str(), path, sizeof path));
    EXPECT_FALSE(createNumberedLogFile(directory_.c_str(), path, 10));  // name does not fit
}

TEST_F(LogTest, LinesFromTwoThreadsNeverInterleave) {
    SetEnvironmentVariableA("TOVEX_LOG", "yes");
    logMessage("start");
    auto worker = [](void*) -> DWORD {
        for (int i = 0; i < 200; ++i) logMessage("splash-thread line %d %s", i, "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx");
        return 0;
    };
    HANDLE thread = CreateThread(nullptr, 0, worker, nullptr, 0, nullptr);
    for (int i = 0; i < 200; ++i) logMessage("main-thread line %d %s", i, "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyy");
    ASSERT_EQ(WaitForSingleObject(thread, 60000), WAIT_OBJECT_0);
    CloseHandle(thread);
    std::string text = readFile(logFilePath());
    std::istringstream lines(text);
    std::string line;
    int main = 0, splash = 0;
    while (std::getline(lines, line)) {
        if (line.rfind("main-thread line ", 0) == 0) {
            EXPECT_EQ(line.substr(line.size() - 31), "yyyyyyyyyyyyyyyyyyyyyyyyyyyyyy\r");
            ++main;
        } else if (line.rfind("splash-thread line ", 0) == 0) {
            EXPECT_EQ(line.substr(line.size() - 31), "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\r");
            ++splash;
        }
    }
    EXPECT_EQ(main, 200);
    EXPECT_EQ(splash, 200);
}
