// Host versions of the path utilities, good enough for unit tests: narrow text
// is Windows-1252, the module path is set by the test, existence is stat().
#include <sys/stat.h>

#include <vector>

#include "paths.h"

namespace {

// Windows-1252 bytes 0x80..0x9F; the five unassigned bytes map to the same code point.
const char16_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

std::string& modulePath() {
    static std::string* path = new std::string();
    return *path;
}
std::string& exeDir() {
    static std::string* directory = new std::string();
    return *directory;
}

// Resolves "." and ".." segments of an absolute path (after its drive or UNC prefix).
std::string resolveDots(const std::string& path) {
    size_t rootEnd = 0;
    if (path.size() >= 3 && path[1] == ':' && path[2] == '\\') rootEnd = 3;
    else if (path.compare(0, 2, "\\\\") == 0) rootEnd = 2;
    std::string root = path.substr(0, rootEnd);
    std::vector<std::string> parts;
    size_t start = rootEnd;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = root;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "\\" : "") + parts[i];
    if (path.size() > rootEnd && path.back() == '\\' && !parts.empty()) out += '\\';
    return out;
}

}  // namespace

int fileCodePage() { return 0; }

std::u16string toUtf16(const std::string& narrow, int) {
    std::u16string wide;
    wide.reserve(narrow.size());
    for (char c : narrow) {
        unsigned char b = static_cast<unsigned char>(c);
        wide.push_back(b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : static_cast<char16_t>(b));
    }
    return wide;
}

std::string fromUtf16(const std::u16string& wide, int, bool* usedDefault) {
    bool used = false;
    std::string narrow;
    narrow.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        char16_t c = wide[i];
        int byte = -1;
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            byte = c;
        } else {
            for (int k = 0; k < 32; ++k)
                if (kHighControls[k] == c) byte = 0x80 + k;
        }
        if (byte < 0) {
            used = true;
            byte = '?';
            // A surrogate pair is one character.
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) ++i;
        }
        narrow.push_back(static_cast<char>(byte));
    }
    if (usedDefault) *usedDefault = used;
    return narrow;
}

void setModulePathForTesting(const std::string& path) {
    modulePath() = path;
    exeDir() = directoryOf(path);
}

void setExeDirectoryForTesting(const std::string& directory) {
    std::string d = directory;
    if (!d.empty() && d.back() != '\\') d += '\\';
    exeDir() = d;
    modulePath() = d + "launcher.exe";
}

const std::string& getModulePath() { return modulePath(); }
const std::string& exeDirectory() { return exeDir(); }

bool findFile(const std::string& path, uint64_t* lastWriteTime) {
    struct stat info;
    if (path.empty() || stat(path.c_str(), &info) != 0) return false;
    if (lastWriteTime)
        *lastWriteTime = (static_cast<uint64_t>(info.st_mtime) + 11644473600ull) * 10000000ull;
    return true;
}

std::string directoryOfFile(const char* file) { return directoryOf(file); }

std::string getFullPath(const std::string& path, bool keepCase) {
    std::string absolute = makeAbsolutePath(path);
    if (absolute.empty()) return std::string();
    std::string full = resolveDots(absolute);
    if (!keepCase) toLowerPath(full);
    collapseBackslashes(full);
    return full;
}

// The host has no UTF-8 process code page to tell apart: the bytes as they are.
std::string textFromFile(const std::string& bytes) { return bytes; }
