// The full version test of a found Java: the pre-release filter, then the limits.
#include "versions.h"

#include <algorithm>

#include "launcher/config.h"
#include "launcher/log.h"

bool isVersionAccepted(const std::string& version, const std::string& min, const std::string& max,
                       bool prereleaseAllowed) {
    if (!prereleaseAllowed && getConfigInt(CFG_ALLOW_BETA_VM) == 0 && hasPrereleaseMarker(version)) {
        logMessage("beta vm not allowed");
        return false;
    }
    return isWithinVersionLimits(version, min, max);
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
