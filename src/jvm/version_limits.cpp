// The version rules without the diagnostic log: limits, ranges and the order. Pure, so
// that the builder's configuration check applies the launcher's very rule.
#include <algorithm>
#include <cstring>

#include "jvm/numeric_version.h"
#include "versions.h"

namespace {
bool asNumber(const std::string& text, NumericVersion& out) {
    return !text.empty() && text.find('\0') == std::string::npos && parseNumericVersion(text, out);
}

// Sign of version against limit over the limit's own length (common = false) or over
// the length both have (common = true).
int compareWithLimit(const std::string& version, const std::string& limit, bool common) {
    NumericVersion v, l;
    if (asNumber(version, v) && asNumber(limit, l)) {
        size_t parts = common ? std::min(v.parts.size(), l.parts.size()) : l.parts.size();
        return compareNumericPrefix(v, l, parts);
    }
    // Not a version number: the byte-wise rule; a version that stops short of the
    // limit compares its terminating NUL and so is smaller.
    size_t n = std::strlen(limit.c_str());
    if (common) n = std::min(n, std::strlen(version.c_str()));
    return compareVersionBytes(version.c_str(), limit.c_str(), n);
}
}  // namespace

int compareVersionBytes(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}

bool hasPrereleaseMarker(const std::string& version) {
    return version.find("beta") != std::string::npos || version.find("ea") != std::string::npos ||
           version.find("rc") != std::string::npos;
}

bool isWithinVersionLimits(const std::string& version, const std::string& min, const std::string& max) {
    if (!min.empty() && compareWithLimit(version, min, false) < 0) return false;
    if (!max.empty() && compareWithLimit(version, max, false) > 0) return false;
    return true;
}

bool isVersionInRange(const std::string& version, const std::string& min, const std::string& max) {
    if (!min.empty() && compareWithLimit(version, min, true) < 0) return false;
    if (!max.empty() && compareWithLimit(version, max, true) > 0) return false;
    return true;
}

int compareVersions(const std::string& a, const std::string& b) {
    NumericVersion x, y;
    bool numberA = asNumber(a, x), numberB = asNumber(b, y);
    if (numberA != numberB) return numberA ? 1 : -1;
    if (numberA) {
        int order = compareNumericVersions(x, y);
        if (order != 0) return order;
        if (x.prerelease != y.prerelease) return x.prerelease ? -1 : 1;
    }
    return compareVersionBytes(a.c_str(), b.c_str(), static_cast<size_t>(-1));
}
