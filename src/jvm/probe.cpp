// Pure parts of the version probe: reading the "-version" output and the cache layout.
#include "probe.h"

#include <cstring>

namespace {
const char* const kVersionPrefixes[] = {"java version \"", "openjdk version \""};
const char* const kNoticePrefix = "Picked up ";
// HotSpot's own warnings ("OpenJDK 64-Bit Server VM warning: ..."), which come before the
// version line: for example every Java 21 or later under Wine, which cannot tell the
// process's group affinity.
const char* const kVmWarningMark = " VM warning: ";

bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

bool isVmWarning(const std::string& line) {
    size_t mark = line.find(kVmWarningMark);
    return mark != std::string::npos && line.find('"') > mark;  // the mark before any quote
}
}  // namespace

bool parseVersionOutput(const std::string& output, std::string& versionOut) {
    return parseVersionOutput(output, versionOut, nullptr);
}

bool parseVersionOutput(const std::string& output, std::string& versionOut, std::string* examinedLine) {
    if (examinedLine) examinedLine->clear();
    size_t start = 0;
    std::string line;
    for (;;) {
        if (start >= output.size()) return false;  // no line left to judge
        size_t end = output.find('\n', start);
        if (end == std::string::npos) end = output.size();
        line.assign(output, start, end - start);
        while (!line.empty() && line.back() == '\r') line.pop_back();
        start = end + 1;
        // Notices of the runtime about options taken from the environment, and the VM's warnings.
        if (!startsWith(line, kNoticePrefix) && !isVmWarning(line)) break;
    }
    if (examinedLine) *examinedLine = line;
    for (const char* prefix : kVersionPrefixes) {
        if (!startsWith(line, prefix)) continue;
        size_t from = std::strlen(prefix);
        size_t close = line.find('"', from);
        if (close == std::string::npos) return false;
        size_t length = close - from;
        if (length > kMaxVersionLength) return false;
        std::string version = line.substr(from, length);
        if (version.find('\0') != std::string::npos) return false;
        versionOut = version;
        return true;
    }
    return false;
}

std::string versionCacheKeyName(const std::string& exePath) {
    std::string name = exePath;
    for (char& c : name)
        if (c == '\\') c = '/';
    return kVersionCacheKey + name;
}

std::string encodeLastWriteTime(uint64_t lastWriteTime) {
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>((lastWriteTime >> (8 * i)) & 0xFF);
    return bytes;
}
