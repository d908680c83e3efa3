// The version rules: a version and two limits (NUL-separated pieces), then a list
// of registry names (one per line).
// Invariant: no crash; compareVersions is a consistent order (antisymmetric, zero on
// itself): by the numbers when both are version numbers and their numbers differ, the
// byte order of strcmp when neither is one, a version number above other text; a
// version lies within the limits it equals, and within the limits it begins with when
// they are no version number; without limits every version is accepted (a
// pre-release only when allowed); an accepted version is in range;
// orderRegisteredVersions keeps exactly the names within the range, greatest first.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "jvm/numeric_version.h"
#include "jvm/versions.h"
#include "launcher/config.h"

namespace {
int sign(int value) { return (value > 0) - (value < 0); }

bool asNumber(const std::string& text, NumericVersion& out) {
    return !text.empty() && text.find('\0') == std::string::npos && parseNumericVersion(text, out);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = splitInput(data, size, 4);
    const std::string& version = pieces[0];
    const std::string& min = pieces[1];
    const std::string& max = pieces[2];
    setConfigForTesting({});

    NumericVersion a, b;
    bool numberA = asNumber(version, a), numberB = asNumber(min, b);
    if (numberA && numberB && compareNumericVersions(a, b) != 0)
        FUZZ_CHECK(sign(compareVersions(version, min)) == sign(compareNumericVersions(a, b)));
    else if (!numberA && !numberB)
        FUZZ_CHECK(sign(compareVersions(version, min)) == sign(std::strcmp(version.c_str(), min.c_str())));
    else if (numberA != numberB)
        FUZZ_CHECK(sign(compareVersions(version, min)) == (numberA ? 1 : -1));
    FUZZ_CHECK(sign(compareVersions(version, min)) == -sign(compareVersions(min, version)));
    FUZZ_CHECK(compareVersions(version, version) == 0);

    FUZZ_CHECK(isVersionAccepted(version, "", "", true));
    FUZZ_CHECK(isVersionInRange(version, "", ""));
    bool prerelease = version.find("beta") != std::string::npos || version.find("ea") != std::string::npos ||
                      version.find("rc") != std::string::npos;
    FUZZ_CHECK(isVersionAccepted(version, "", "", false) == !prerelease);
    // A version within the limits it equals; within the limits it begins with when they are
    // no version number (then the byte-wise prefix rule applies), however it goes on.
    FUZZ_CHECK(isVersionAccepted(version, version, version, true));
    FUZZ_CHECK(isVersionInRange(version, version, version));
    std::string prefix = version.substr(0, version.find('\0')).substr(0, version.size() / 2);
    NumericVersion p;
    if (!asNumber(prefix, p) || !numberA) {
        FUZZ_CHECK(isVersionAccepted(version, prefix, prefix, true));
        FUZZ_CHECK(isVersionInRange(version, prefix, prefix));
    }
    if (isVersionAccepted(version, min, max, true)) FUZZ_CHECK(isVersionInRange(version, min, max));

    std::vector<std::string> names;
    size_t start = 0;
    while (start < pieces[3].size()) {
        size_t end = pieces[3].find('\n', start);
        if (end == std::string::npos) end = pieces[3].size();
        names.push_back(pieces[3].substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> ordered = orderRegisteredVersions(names, min, max);
    size_t inRange = 0;
    for (const std::string& name : names) inRange += isVersionInRange(name, min, max) ? 1 : 0;
    FUZZ_CHECK(ordered.size() == inRange);
    for (size_t i = 0; i < ordered.size(); ++i) {
        FUZZ_CHECK(isVersionInRange(ordered[i], min, max));
        if (i > 0) FUZZ_CHECK(compareVersions(ordered[i - 1], ordered[i]) >= 0);
    }
    return 0;
}
