// Java version strings are opaque text: every comparison is a plain byte-wise
// comparison, and the limits match as prefixes.
#include "versions.h"

#include <algorithm>
#include <cstring>

#include "launcher/config.h"
#include "launcher/log.h"

namespace {
bool isPrerelease(const std::string& version) {
    return version.find("beta") != std::string::npos || version.find("ea") != std::string::npos ||
           version.find("rc") != std::string::npos;
}
}  // namespace

bool isVersionAccepted(const std::string& version, const std::string& min, const std::string& max,
                       bool prereleaseAllowed) {
    if (!prereleaseAllowed && getConfigInt(CFG_ALLOW_BETA_VM) == 0 && isPrerelease(version)) {
        logMessage("beta vm not allowed");
        return false;
    }
    return isWithinVersionLimits(version, min, max);
}

bool isVersionInRange(const std::string& version, const std::string& min, const std::string& max) {
    size_t versionLength = std::strlen(version.c_str());
    if (compareVersionBytes(version.c_str(), min.c_str(), std::min(std::strlen(min.c_str()), versionLength)) < 0)
        return false;
    if (compareVersionBytes(version.c_str(), max.c_str(), std::min(std::strlen(max.c_str()), versionLength)) > 0)
        return false;
    return true;
}

int compareVersions(const std::string& a, const std::string& b) {
    return compareVersionBytes(a.c_str(), b.c_str(), static_cast<size_t>(-1));
}

std::vector<std::string> orderRegisteredVersions(const std::vector<std::string>& names, const std::string& min,
                                                 const std::string& max) {
    std::vector<std::string> kept;
    for (const std::string& name : names)
        if (isVersionInRange(name, min, max)) kept.push_back(name);
    std::sort(kept.begin(), kept.end(),
              [](const std::string& a, const std::string& b) { return compareVersions(a, b) > 0; });
    return kept;
}
