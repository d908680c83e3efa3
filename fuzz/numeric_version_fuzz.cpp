// The numeric versions of the 'J' search entry and the release file of a Java home:
// the input as a version, two limits (NUL-separated pieces) and, whole, as a release file.
// Invariant: no crash; a version read has 1 to 8 parts of at most 9 digits each, and
// its printed form reads back as the same parts (unless it begins with 1, which a 1.x
// version drops); the order is reflexive and antisymmetric, and a version meets every
// limit made of its own first parts; a release file's version has at most 255 bytes,
// and the version a release file states is that of its JAVA_VERSION line.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "jvm/numeric_version.h"

namespace {
int sign(int value) { return (value > 0) - (value < 0); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = splitInput(data, size, 3);
    NumericVersion version, low, high;
    bool ok = parseNumericVersion(pieces[0], version);
    if (ok) {
        FUZZ_CHECK(!version.parts.empty() && version.parts.size() <= kMaxVersionParts);
        for (uint32_t part : version.parts) FUZZ_CHECK(part <= 999999999u);
        NumericVersion again;
        std::string printed = formatNumericVersion(version);  // " (pre-release)" may follow the number
        FUZZ_CHECK(parseNumericVersion(printed.substr(0, printed.find(' ')), again));
        if (version.parts[0] != 1 || version.parts.size() == 1) FUZZ_CHECK(again.parts == version.parts);
        FUZZ_CHECK(compareNumericVersions(version, version) == 0);
        for (size_t n = 1; n <= version.parts.size(); ++n) {
            NumericVersion limit;
            limit.parts.assign(version.parts.begin(), version.parts.begin() + n);
            FUZZ_CHECK(meetsLowerLimit(version, limit) && meetsUpperLimit(version, limit));
        }
        if (parseNumericVersion(pieces[1], low)) {
            FUZZ_CHECK(sign(compareNumericVersions(version, low)) == -sign(compareNumericVersions(low, version)));
            // A limit of as many parts or more decides like the order itself.
            if (low.parts.size() >= version.parts.size())
                FUZZ_CHECK(meetsLowerLimit(version, low) == (compareNumericVersions(version, low) >= 0));
            if (parseNumericVersion(pieces[2], high) && meetsLowerLimit(version, low) && meetsUpperLimit(version, high) &&
                low.parts.size() >= version.parts.size() && high.parts.size() >= version.parts.size())
                FUZZ_CHECK(compareNumericVersions(low, high) <= 0);
        }
    } else {
        FUZZ_CHECK(version.parts.empty());  // untouched
    }

    const std::string content(reinterpret_cast<const char*>(data), size);
    ReleaseInfo info;
    if (parseReleaseFile(content, info)) FUZZ_CHECK(!info.version.empty() && info.version.size() <= 255);
    NumericVersion stated;
    std::string text;
    if (releaseFileVersion(content, stated, text)) {
        FUZZ_CHECK(!stated.parts.empty() && text.compare(0, info.version.size(), info.version) == 0);
        NumericVersion direct;
        FUZZ_CHECK(parseNumericVersion(info.version, direct) && direct.parts == stated.parts);
    }
    return 0;
}
