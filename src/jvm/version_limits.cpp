// The version limit rule: versions are opaque text, and a limit matches as a
// prefix, compared byte-wise over the limit's own length. Pure, so that the
// builder's configuration check applies the launcher's very rule.
#include "versions.h"

#include <cstring>

int compareVersionBytes(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}

bool isWithinVersionLimits(const std::string& version, const std::string& min, const std::string& max) {
    // Over the limit's own length: a version that stops short of the limit
    // compares its terminating NUL and so is smaller.
    if (compareVersionBytes(version.c_str(), min.c_str(), std::strlen(min.c_str())) < 0) return false;
    if (compareVersionBytes(version.c_str(), max.c_str(), std::strlen(max.c_str())) > 0) return false;
    return true;
}
