// Numeric Java versions and the release file of a Java home.
#include "numeric_version.h"

#include <algorithm>

namespace {
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "b" followed by digits only: the build number of a 1.x version ("1.8.0_372-b07").
bool isOldBuildNumber(const std::string& token) {
    if (token.size() < 2 || token[0] != 'b') return false;
    return std::all_of(token.begin() + 1, token.end(), isDigit);
}

uint32_t partAt(const NumericVersion& v, size_t i) { return i < v.parts.size() ? v.parts[i] : 0; }

// Compares the first n parts (missing ones count as 0).
int compareParts(const NumericVersion& a, const NumericVersion& b, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t x = partAt(a, i), y = partAt(b, i);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}
}  // namespace

bool parseNumericVersion(const std::string& text, NumericVersion& out) {
    NumericVersion v;
    size_t i = 0;
    for (;;) {
        if (i >= text.size() || !isDigit(text[i])) return false;
        size_t start = i;
        uint32_t value = 0;
        while (i < text.size() && isDigit(text[i])) {
            if (i - start >= 9) return false;  // fits in 32 bits
            value = value * 10 + static_cast<uint32_t>(text[i] - '0');
            ++i;
        }
        if (v.parts.size() >= kMaxVersionParts) return false;
        v.parts.push_back(value);
        // A separator continues the number only when a digit follows it.
        if (i + 1 < text.size() && (text[i] == '.' || text[i] == '_') && isDigit(text[i + 1])) {
            ++i;
            continue;
        }
        break;
    }
    if (i < text.size()) {
        if (text[i] == '-') {
            size_t end = text.find_first_of("+-", i + 1);
            std::string token = text.substr(i + 1, end == std::string::npos ? std::string::npos : end - i - 1);
            if (token.empty()) return false;
            for (char c : token)
                if (!(isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_'))
                    return false;
            v.prerelease = !isOldBuildNumber(token);
        } else if (text[i] != '+') {
            return false;
        }
        // What follows (build number, options) is printable text without blanks.
        for (size_t j = i; j < text.size(); ++j)
            if (static_cast<unsigned char>(text[j]) <= ' ' || static_cast<unsigned char>(text[j]) >= 0x7f)
                return false;
    }
    if (v.parts.size() >= 2 && v.parts[0] == 1) v.parts.erase(v.parts.begin());  // 1.8 is 8
    out = v;
    return true;
}

int compareNumericPrefix(const NumericVersion& a, const NumericVersion& b, size_t n) { return compareParts(a, b, n); }

int compareNumericVersions(const NumericVersion& a, const NumericVersion& b) {
    return compareParts(a, b, std::max(a.parts.size(), b.parts.size()));
}

bool meetsLowerLimit(const NumericVersion& version, const NumericVersion& limit) {
    return compareParts(version, limit, limit.parts.size()) >= 0;
}

bool meetsUpperLimit(const NumericVersion& version, const NumericVersion& limit) {
    return compareParts(version, limit, limit.parts.size()) <= 0;
}

std::string formatNumericVersion(const NumericVersion& version) {
    std::string text;
    for (size_t i = 0; i < version.parts.size(); ++i) {
        if (i) text += '.';
        text += std::to_string(version.parts[i]);
    }
    if (version.prerelease) text += " (pre-release)";
    return text;
}

bool parseReleaseFile(const std::string& content, ReleaseInfo& out) {
    const size_t kMaxValue = 255;
    ReleaseInfo info;
    bool haveVersion = false;
    size_t start = content.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    size_t limit = std::min(content.size(), kMaxReleaseFileSize);
    while (start < limit) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos || end > limit) end = limit;
        std::string line = content.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq);
        std::string* target = key == "JAVA_VERSION" ? &info.version
                              : key == "JAVA_RUNTIME_VERSION" ? &info.runtimeVersion
                                                              : nullptr;
        if (!target) continue;
        std::string value = line.substr(eq + 1);
        if (!value.empty() && value[0] == '"') {
            size_t close = value.find('"', 1);
            if (close == std::string::npos) continue;  // unterminated: not a usable line
            value = value.substr(1, close - 1);
        }
        if (value.size() > kMaxValue) continue;
        if (target == &info.version) {
            if (haveVersion) continue;  // the first line counts
            haveVersion = true;
        } else if (!info.runtimeVersion.empty()) {
            continue;
        }
        *target = value;
    }
    if (!haveVersion || info.version.empty()) return false;
    out = info;
    return true;
}

bool releaseFileVersion(const std::string& content, NumericVersion& out, std::string& textOut) {
    ReleaseInfo info;
    NumericVersion version;
    if (!parseReleaseFile(content, info) || !parseNumericVersion(info.version, version)) return false;
    NumericVersion runtime;
    if (!info.runtimeVersion.empty() && parseNumericVersion(info.runtimeVersion, runtime) && runtime.prerelease)
        version.prerelease = true;
    out = version;
    textOut = info.version;
    if (!info.runtimeVersion.empty() && info.runtimeVersion != info.version) textOut += " (" + info.runtimeVersion + ")";
    return true;
}
