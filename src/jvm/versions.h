// Java version strings: opaque text compared byte-wise, limits matched as prefixes.
#pragma once
#include <string>
#include <vector>

// Full test for a version read from a java executable or the cache (pre-release
// filter with configuration id 130, then the limits over their own length).
bool isVersionAccepted(const std::string& version, const std::string& min, const std::string& max,
                       bool prereleaseAllowed);
// Lenient test for registry names (compares over the common length, no pre-release filter).
bool isVersionInRange(const std::string& version, const std::string& min, const std::string& max);
// The limits alone (no pre-release filter): min and max each compared over its own length.
bool isWithinVersionLimits(const std::string& version, const std::string& min, const std::string& max);
// strncmp over unsigned bytes, stopping at the first difference or at a NUL.
int compareVersionBytes(const char* a, const char* b, size_t n);
// Byte-wise order: negative, zero or positive.
int compareVersions(const std::string& a, const std::string& b);
// The names that pass isVersionInRange, greatest first (the order in which they are tried).
std::vector<std::string> orderRegisteredVersions(const std::vector<std::string>& names, const std::string& min,
                                                 const std::string& max);
