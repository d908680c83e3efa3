// Java versions as numbers: "1.8.0_372" is 8.0.372, "17.0.9+9" is 17.0.9, "21" is 21,
// so 9.0.4 < 11 < 17.0.9 < 21. The rules of every search entry (versions.h) build on it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A version has at most this many numeric parts, each of at most 9 digits.
constexpr size_t kMaxVersionParts = 8;

struct NumericVersion {
    std::vector<uint32_t> parts;  // the leading "1." of a 1.x version dropped
    bool prerelease = false;      // "-ea", "-beta", "-rc", "-internal", ... right after the number
};

// Reads a version: numbers separated by "." or "_", then nothing, a build "+...", or
// "-TEXT...". "-TEXT" marks a pre-release unless TEXT is an old build number "b07".
// False (out untouched) for anything else: no leading digit, a part of more than 9
// digits, more than kMaxVersionParts parts, or other text after the number.
bool parseNumericVersion(const std::string& text, NumericVersion& out);

// Part by part, missing parts counting as 0 (17 == 17.0.0): negative, zero or positive.
// The pre-release mark is not part of the order.
int compareNumericVersions(const NumericVersion& a, const NumericVersion& b);

// The first n parts (missing ones counting as 0): negative, zero or positive.
int compareNumericPrefix(const NumericVersion& a, const NumericVersion& b, size_t n);

// Limits compare over their own number of parts: a lower limit of k parts is met when
// the first k parts of version are not smaller, an upper limit when they are not
// greater (an upper limit 17 admits 17.0.9; "1.8" and "8" are the same limit).
bool meetsLowerLimit(const NumericVersion& version, const NumericVersion& limit);
bool meetsUpperLimit(const NumericVersion& version, const NumericVersion& limit);

// "8.0.372" (for the log).
std::string formatNumericVersion(const NumericVersion& version);

// The JAVA_VERSION and JAVA_RUNTIME_VERSION lines of a Java home's "release" file.
struct ReleaseInfo {
    std::string version;         // JAVA_VERSION, e.g. 17.0.9
    std::string runtimeVersion;  // JAVA_RUNTIME_VERSION, e.g. 17.0.9+9 or 22-ea+27-2262 ("" when absent)
};
// At most this much of a release file is read (real ones are about 1 KB).
constexpr size_t kMaxReleaseFileSize = 64 * 1024;
// Lines KEY="value" (or KEY=value), CR LF or LF, an optional UTF-8 byte-order mark.
// False when there is no JAVA_VERSION line with a value of at most 255 bytes.
bool parseReleaseFile(const std::string& content, ReleaseInfo& out);
// The numeric version a release file states: JAVA_VERSION, marked pre-release when
// JAVA_VERSION or JAVA_RUNTIME_VERSION says so (an early-access build states
// JAVA_VERSION="22" and JAVA_RUNTIME_VERSION="22-ea+27-2262"). False when unusable.
bool releaseFileVersion(const std::string& content, NumericVersion& out, std::string& textOut);
