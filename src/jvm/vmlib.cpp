#include "vmlib.h"

#include <cctype>

const char* const kVmTypes[5] = {"hotspot", "client", "server", "classic", "jrockit"};

namespace {
bool endsWithNoCase(const std::string& text, const char* suffix) {
    size_t n = std::char_traits<char>::length(suffix);
    if (text.size() < n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i]) return false;
    return true;
}
}  // namespace

std::string exeDirectoryPart(const std::string& exePath) {
    size_t nameLength = endsWithNoCase(exePath, "javaw.exe") ? 9 : 8;
    if (exePath.size() < nameLength) return std::string();
    return exePath.substr(0, exePath.size() - nameLength);
}

std::string binDirectoryOf(const std::string& exePath) {
    std::string directory = exeDirectoryPart(exePath);
    if (!directory.empty() && directory.back() == '\\') directory.pop_back();
    return directory;
}

std::string jvmHomeOf(const std::string& exePath) { return exeDirectoryPart(exePath) + ".."; }
