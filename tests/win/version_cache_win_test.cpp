// The per-user version cache in Wine's real registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "jvm/probe.h"

namespace {
class VersionCache : public ::testing::Test {
protected:
    void SetUp() override {
        exe_ = "c:\\tovex cache test " + std::to_string(GetCurrentProcessId()) + "\\bin\\java.exe";
        key_ = versionCacheKeyName(exe_);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str()); }

    void setRaw(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
        RegCloseKey(key);
    }
    DWORD rawType(const char* name, DWORD* size) {
        HKEY key;
        DWORD type = 0;
        *size = 0;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
        RegQueryValueExA(key, name, nullptr, &type, nullptr, size);
        RegCloseKey(key);
        return type;
    }

    std::string exe_;
    std::string key_;
    const uint64_t time_ = 0x01D9A1B2C3D4E5F6ULL;
};

TEST_F(VersionCache, WrittenEntryIsReadBackForTheSameTime) {
    ASSERT_TRUE(writeVersionCache(exe_, time_, "17.0.15"));
    std::string version;
    EXPECT_TRUE(readVersionCache(exe_, time_, version));
    EXPECT_EQ(version, "17.0.15");
    DWORD size = 0;
    EXPECT_EQ(rawType("LastWriteTime", &size), static_cast<DWORD>(REG_BINARY));
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(rawType("Version", &size), static_cast<DWORD>(REG_SZ));
    EXPECT_LE(size, 8u);  // written without terminator (Wine may add one)
}

TEST_F(VersionCache, KeyUsesForwardSlashes) {
    ASSERT_TRUE(writeVersionCache(exe_, time_, "1.7.0_05"));
    std::string slashed = "SOFTWARE\\quorbel-systems\\tovex\\jvms\\c:/tovex cache test " +
                          std::to_string(GetCurrentProcessId()) + "/bin/java.exe";
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, slashed.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
}

TEST_F(VersionCache, OtherTimeOrMissingEntryIsNoHit) {
    std::string version = "untouched";
    EXPECT_FALSE(readVersionCache(exe_, time_, version));
    ASSERT_TRUE(writeVersionCache(exe_, time_, "1.0.0"));
    EXPECT_FALSE(readVersionCache(exe_, time_ + 1, version));
    EXPECT_TRUE(readVersionCache(exe_, time_, version));
    EXPECT_EQ(version, "1.0.0");
}

TEST_F(VersionCache, LastWriteTimeOfWrongSizeOrTypeIsIgnored) {
    ASSERT_TRUE(writeVersionCache(exe_, time_, "1.7.0"));
    std::string bytes = encodeLastWriteTime(time_) + "\x01";
    struct Row {
        DWORD type;
        DWORD size;
    } rows[] = {{REG_BINARY, 7}, {REG_BINARY, 9}, {REG_QWORD, 8}, {REG_SZ, 8}};
    for (const Row& row : rows) {
        setRaw("LastWriteTime", row.type, bytes.data(), row.size);
        std::string version;
        EXPECT_FALSE(readVersionCache(exe_, time_, version)) << row.type << "/" << row.size;
    }
    // A rewrite repairs the entry.
    ASSERT_TRUE(writeVersionCache(exe_, time_, "1.7.0"));
    std::string version;
    EXPECT_TRUE(readVersionCache(exe_, time_, version));
}

TEST_F(VersionCache, VersionOfWrongTypeIsIgnoredAndRewritten) {
    ASSERT_TRUE(writeVersionCache(exe_, time_, "1.7.0"));
    DWORD number = 17;
    setRaw("Version", REG_DWORD, &number, sizeof(number));
    std::string version;
    EXPECT_FALSE(readVersionCache(exe_, time_, version));
    setRaw("Version", REG_BINARY, "1.7.0", 5);
    EXPECT_FALSE(readVersionCache(exe_, time_, version));
    ASSERT_TRUE(writeVersionCache(exe_, time_, "1.8.0"));
    EXPECT_TRUE(readVersionCache(exe_, time_, version));
    EXPECT_EQ(version, "1.8.0");
    DWORD size = 0;
    EXPECT_EQ(rawType("Version", &size), static_cast<DWORD>(REG_SZ));
}

TEST_F(VersionCache, VersionWithOrWithoutTerminatorReadsTheSame) {
    ASSERT_TRUE(writeVersionCache(exe_, time_, "1.6.0_31"));
    setRaw("Version", REG_SZ, "1.6.0_31", 9);  // a writer that stores the NUL
    std::string version;
    EXPECT_TRUE(readVersionCache(exe_, time_, version));
    EXPECT_EQ(version, "1.6.0_31");
    setRaw("Version", REG_SZ, "1.6.0_31xyz", 8);  // the text ends after the byte count
    EXPECT_TRUE(readVersionCache(exe_, time_, version));
    EXPECT_EQ(version, "1.6.0_31");
}

TEST_F(VersionCache, LongestVersionFitsAndLongerIsRefused) {
    std::string longest(8191, '7');
    ASSERT_TRUE(writeVersionCache(exe_, time_, longest));
    std::string version;
    EXPECT_TRUE(readVersionCache(exe_, time_, version));
    EXPECT_EQ(version, longest);
    setRaw("Version", REG_SZ, std::string(9000, '8').data(), 9000);
    EXPECT_FALSE(readVersionCache(exe_, time_, version));
    EXPECT_EQ(version, longest);
}
}  // namespace
