// The temporary directory and temporary names, against Wine's real file system.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "files/tempdir.h"

namespace {
bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string windowsTemp() {
    char buffer[MAX_PATH];
    UINT n = GetWindowsDirectoryA(buffer, MAX_PATH);
    return std::string(buffer, n) + "\\temp";
}

// Points TMP and TEMP of this process somewhere else for one test.
class TempEnvironment : public ::testing::Test {
protected:
    void SetUp() override {
        save("TMP", savedTmp_, hadTmp_);
        save("TEMP", savedTemp_, hadTemp_);
        char base[MAX_PATH];
        GetTempPathA(MAX_PATH, base);
        root_ = std::string(base) + "tvx_tempdir_test_" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(root_.c_str(), nullptr);
    }
    void TearDown() override {
        SetEnvironmentVariableA("TMP", hadTmp_ ? savedTmp_.c_str() : nullptr);
        SetEnvironmentVariableA("TEMP", hadTemp_ ? savedTemp_.c_str() : nullptr);
        removeTree(std::wstring(root_.begin(), root_.end()));
    }
    void pointTempAt(const std::string& directory) {
        SetEnvironmentVariableA("TMP", directory.c_str());
        SetEnvironmentVariableA("TEMP", directory.c_str());
    }
    static void save(const char* name, std::string& value, bool& had) {
        char buffer[32768];
        DWORD n = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
        had = n > 0 && n < sizeof(buffer);
        value = had ? std::string(buffer, n) : std::string();
    }
    static void removeTree(const std::wstring& directory) {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((directory + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = data.cFileName;
                if (name == L"." || name == L"..") continue;
                std::wstring path = directory + L"\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    removeTree(path);
                else
                    DeleteFileW(path.c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(directory.c_str());
    }

    std::string root_;
    std::string savedTmp_, savedTemp_;
    bool hadTmp_ = false, hadTemp_ = false;
};

TEST_F(TempEnvironment, RepresentableTempPathIsTakenAsTheSystemGivesIt) {
    std::string directory = root_ + "\\plain temp";
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    pointTempAt(directory);
    EXPECT_EQ(selectTempPath(), directory + "\\");
    EXPECT_FALSE(exists(directory + "\\tvx_w_testdir"));
}

TEST_F(TempEnvironment, MissingTempDirectoryIsCreated) {
    std::string directory = root_ + "\\not yet there";
    pointTempAt(directory);
    EXPECT_EQ(selectTempPath(), directory + "\\");
    EXPECT_TRUE(exists(directory));
}

TEST_F(TempEnvironment, UnrepresentableTempPathTakesItsShortForm) {
    // A name the ANSI code page cannot express (this test program has no UTF-8 manifest):
    // the ANSI functions see "?" there. Wine keeps an 8.3 name for every folder, so the
    // short form exists here; the fallback directories are for volumes without short names.
    std::wstring wideRoot(root_.begin(), root_.end());
    std::wstring wide = wideRoot + L"\\tvx_\u4e2d\u6587_\u0416";
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));
    SetEnvironmentVariableW(L"TMP", wide.c_str());
    SetEnvironmentVariableW(L"TEMP", wide.c_str());
    wchar_t shortWide[MAX_PATH];
    DWORD n = GetShortPathNameW((wide + L"\\").c_str(), shortWide, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH);
    std::string expected;
    for (DWORD i = 0; i < n; ++i) {
        ASSERT_LT(shortWide[i], 0x80) << "a short name is ASCII";
        expected += static_cast<char>(shortWide[i]);
    }
    std::string selected = selectTempPath();
    EXPECT_EQ(selected, expected);
    EXPECT_EQ(selected.find('?'), std::string::npos);
    EXPECT_TRUE(exists(selected + "."));
    EXPECT_EQ(processCommFileName(7), expected + "tvx_p7.tmp");
}

TEST_F(TempEnvironment, UnrepresentableTempPathWithoutShortFormFallsBackToWindowsTemp) {
    // No short form: a path that does not exist (yet) has none either.
    std::wstring wideRoot(root_.begin(), root_.end());
    std::wstring wide = wideRoot + L"\\tvx_\u4e2d\u6587_\u0416\\gone\\deeper";
    SetEnvironmentVariableW(L"TMP", wide.c_str());
    SetEnvironmentVariableW(L"TEMP", wide.c_str());
    std::string selected = selectTempPath();
    ASSERT_TRUE(exists(windowsTemp())) << "the prefix has no Windows temp directory";
    EXPECT_EQ(selected, windowsTemp());
    EXPECT_FALSE(exists(windowsTemp() + "\\tvx_w_testdir"));
    // Names formed in it get their separator.
    EXPECT_EQ(processCommFileName(7), windowsTemp() + "\\tvx_p7.tmp");
}

TEST_F(TempEnvironment, WritableDirectoryProbe) {
    EXPECT_TRUE(isWritableDirectory(root_));
    EXPECT_FALSE(exists(root_ + "\\tvx_w_testdir"));
    EXPECT_FALSE(isWritableDirectory(root_ + "\\missing"));
    // A probe directory left over from an earlier run is no obstacle and is removed.
    ASSERT_TRUE(CreateDirectoryA((root_ + "\\tvx_w_testdir").c_str(), nullptr));
    EXPECT_TRUE(isWritableDirectory(root_));
    EXPECT_FALSE(exists(root_ + "\\tvx_w_testdir"));
}

TEST_F(TempEnvironment, TempFilesAreNewEmptyFilesWithPrefixTvx) {
    std::string directory = root_ + "\\files";
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    pointTempAt(directory);
    std::string first = createTempFileName();
    std::string second = createTempFileName();
    EXPECT_NE(first, second);
    for (const std::string& file : {first, second}) {
        ASSERT_EQ(file.rfind(directory + "\\tvx", 0), 0u) << file;
        EXPECT_EQ(file.substr(file.size() - 4), ".tmp") << file;
        WIN32_FILE_ATTRIBUTE_DATA data;
        ASSERT_TRUE(GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) << file;
        EXPECT_EQ(data.nFileSizeLow, 0u);
    }
}

TEST_F(TempEnvironment, TempFileNameFallsBackToPseudoRandomName) {
    // A temporary "directory" that is a file: the system cannot make a name in it.
    std::string file = root_ + "\\a file";
    HANDLE h = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    pointTempAt(file);
    std::string name = createTempFileName();
    std::string prefix = file + "\\tvx";
    ASSERT_EQ(name.rfind(prefix, 0), 0u) << name;
    std::string digits = name.substr(prefix.size());
    EXPECT_FALSE(digits.empty());
    EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << name;
}

TEST_F(TempEnvironment, CommunicationFileNameIsTheSameForBothInstances) {
    std::string directory = root_ + "\\comm";
    ASSERT_TRUE(CreateDirectoryA(directory.c_str(), nullptr));
    pointTempAt(directory);
    EXPECT_EQ(processCommFileName(4242), directory + "\\tvx_p4242.tmp");
    EXPECT_EQ(processCommFileName(4242), processCommFileName(4242));
}
}  // namespace
