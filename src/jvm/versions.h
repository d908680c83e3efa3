// Java version rules, shared by every entry of the search, the 'J' entry and the
// builder's check: versions compare as numbers ("1.8.0_372" is 8.0.372, "17.0.9+9" is
// 17.0.9, so 9.0.4 < 11 < 17.0.9 < 21), limits match as prefixes (an upper limit 17
// admits 17.0.9). Text that is no version number ("", "latest") keeps the byte-wise
// rules: compared with strcmp/strncmp over unsigned bytes.
#pragma once
#include <string>
#include <vector>

// Full test for a version read from a java executable or the cache (pre-release
// filter with configuration id 130, then the limits over their own length).
bool isVersionAccepted(const std::string& version, const std::string& min, const std::string& max,
                       bool prereleaseAllowed);
// Lenient test for registry names (compares over the common length, no pre-release filter).
bool isVersionInRange(const std::string& version, const std::string& min, const std::string& max);
// The limits alone (no pre-release filter): min and max each compared over its own length
// (its number of parts, or its bytes when either side is no version number).
bool isWithinVersionLimits(const std::string& version, const std::string& min, const std::string& max);
// Whether the version contains one of the pre-release markers "beta", "ea", "rc".
bool hasPrereleaseMarker(const std::string& version);
// strncmp over unsigned bytes, stopping at the first difference or at a NUL.
int compareVersionBytes(const char* a, const char* b, size_t n);
// A total order: negative, zero or positive. Version numbers by their numbers (17 == 17.0.0),
// a pre-release below its release, then byte-wise; any version number above any other text,
// which compares byte-wise.
int compareVersions(const std::string& a, const std::string& b);
// The names that pass isVersionInRange, greatest first (the order in which they are tried).
std::vector<std::string> orderRegisteredVersions(const std::vector<std::string>& names, const std::string& min,
                                                 const std::string& max);
