// Path rules shared by the Windows and host builds; the system calls they
// rest on (conversions, module path, directory search) are platform code.
#include "paths.h"

std::u16string collapseBackslashesWide(const std::u16string& path) {
    if (path.size() < 2) return path;
    std::u16string out;
    out.reserve(path.size());
    out.push_back(path[0]);  // the first character is always kept
    for (size_t i = 1; i < path.size(); ++i) {
        char16_t c = path[i];
        // A backslash on a backslash overwrites it, except on the first
        // character: a leading pair (UNC prefix) survives.
        if (c == u'\\' && out.back() == u'\\' && out.size() > 1) continue;
        out.push_back(c);
    }
    return out;
}

std::u16string toLowerAsciiWide(const std::u16string& path) {
    std::u16string out = path;
    for (char16_t& c : out)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    return out;
}

namespace {
// Applies a rule to the UTF-16 form of path; keeps path when a character
// would not survive the way back to the file code page.
void rewriteThroughUtf16(std::string& path, std::u16string (*rule)(const std::u16string&)) {
    if (path.empty()) return;
    int codePage = fileCodePage();
    std::u16string wide = toUtf16(path, codePage);
    if (wide.empty()) return;
    bool usedDefault = false;
    std::string narrow = fromUtf16(rule(wide), codePage, &usedDefault);
    if (!usedDefault && (!narrow.empty() || wide.empty())) path = narrow;
}
}  // namespace

void collapseBackslashes(std::string& path) { rewriteThroughUtf16(path, &collapseBackslashesWide); }

void toLowerPath(std::string& path) { rewriteThroughUtf16(path, &toLowerAsciiWide); }

bool isDriveRootText(const std::string& path) {
    if (path.size() < 2) return false;
    std::string rest = path.substr(1);
    return rest == ":\\" || rest == ":\\." || rest == ":\\.\\.";
}

bool pathExists(const std::string& path) {
    if (isDriveRootText(path)) return true;
    return findFile(path, nullptr);
}

std::string makeAbsolutePathList(const std::string& list) {
    std::string out;
    for (const std::string& item : splitList(list)) {
        if (!out.empty()) out += ';';
        out += makeAbsolutePath(item);
    }
    return out;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string makeAbsolutePath(const std::string& path, const char* baseFile) {
    std::string out;
    if (isRelativePath(path)) {
        out = baseFile ? directoryOfFile(baseFile) : exeDirectory();
        // Without a directory to resolve against, there is no absolute form.
        if (out.empty()) return std::string();
    }
    out += path;
    if (out.size() >= kPathBufferSize) return std::string();
    collapseBackslashes(out);
    return out;
}
