// Java installation check, version probe and the per-user version cache.
#pragma once
#include <cstdint>
#include <string>

// The java executable of Java home directory home; false only when a development
// kit is required and home is not one.
bool javaExeForHome(std::string& exeOut, const std::string& home);
// The java executable of a home when no kit is required: home\jre\bin\java.exe
// when it exists, else home\bin\java.exe.
std::string runtimeJavaExe(const std::string& home);
// Whether exePath (rewritten in place: normalised, javaw.exe for GUI launchers)
// is a usable JVM within the limits. versionOut receives the version found. A runtime
// whose VM library could never be loaded (missing, another architecture, no DLL) is
// refused before its version is looked at, so a stale cache entry cannot make it usable.
bool checkJavaExe(std::string& exePath, std::string& versionOut, const std::string& min, const std::string& max,
                  bool prereleaseAllowed);
// checkJavaExe without the VM-library test (the 'J' entry makes that test itself).
bool checkJavaExeVersion(std::string& exePath, std::string& versionOut, const std::string& min,
                         const std::string& max, bool prereleaseAllowed);
// Runs exePath with "-version" and reads the version from its error output.
bool probeJavaVersion(const std::string& exePath, uint64_t lastWriteTime, std::string& versionOut);

// Pure: the version in the first line of "-version" output (lines that begin with
// "Picked up " and the VM's own warning lines, "... VM warning: ...", before it are
// skipped); false when there is none.
bool parseVersionOutput(const std::string& output, std::string& versionOut);
// The same; examinedLine (optional) receives the line that was judged (empty when none).
bool parseVersionOutput(const std::string& output, std::string& versionOut, std::string* examinedLine);

// Longest version text the launcher keeps (its buffers hold 8192 bytes with the NUL).
constexpr size_t kMaxVersionLength = 8191;
// At most this much of a probe's error output is read.
constexpr size_t kMaxProbeOutput = 256 * 1024;
// How long a probed executable may run (milliseconds).
constexpr uint32_t kProbeTimeoutMs = 60000;

// The per-user version cache: one key per executable under HKEY_CURRENT_USER.
constexpr const char* kVersionCacheKey = "SOFTWARE\\quorbel-systems\\tovex\\jvms\\";
// Pure: the cache key of a normalised executable path (backslashes become "/").
std::string versionCacheKeyName(const std::string& exePath);
// Pure: the 8 bytes stored as "LastWriteTime" (low half first).
std::string encodeLastWriteTime(uint64_t lastWriteTime);
// Reads a valid entry (8-byte binary "LastWriteTime" equal to lastWriteTime, a
// string "Version"); false when there is none.
bool readVersionCache(const std::string& exePath, uint64_t lastWriteTime, std::string& versionOut);
// Writes (or rewrites) the entry; false when the key cannot be created.
bool writeVersionCache(const std::string& exePath, uint64_t lastWriteTime, const std::string& version);
