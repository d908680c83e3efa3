// Java installation check, version probe and the per-user version cache.
#pragma once
#include <cstdint>
#include <string>

// The java executable of Java home directory home; false only when a development
// kit is required and home is not one.
bool javaExeForHome(std::string& exeOut, const std::string& home);
// Whether exePath (rewritten in place: normalised, javaw.exe for GUI launchers)
// is a usable JVM within the limits. versionOut receives the version found.
bool checkJavaExe(std::string& exePath, std::string& versionOut, const std::string& min, const std::string& max,
                  bool prereleaseAllowed);
// Runs exePath with "-version" and reads the version from its error output.
bool probeJavaVersion(const std::string& exePath, uint64_t lastWriteTime, std::string& versionOut);

// Pure: the version in the first line of "-version" output (lines that begin with
// "Picked up " before it are skipped); false when there is none.
bool parseVersionOutput(const std::string& output, std::string& versionOut);
