// The rule for the names of appended files (launcher and builder).
#include "entry_name.h"

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// ".." and the forms Windows reads as ".." (trailing dots and blanks are dropped
// from path components): only dots and blanks, at least two dots.
bool isParentComponent(const std::string& name, size_t start, size_t end) {
    int dots = 0;
    for (size_t i = start; i < end; ++i) {
        if (name[i] == '.') ++dots;
        else if (name[i] != ' ') return false;
    }
    return dots >= 2;
}

}  // namespace

bool isSafeEntryName(const std::string& name) {
    if (name.empty()) return false;
    if (isSeparator(name[0])) return false;                // rooted or UNC
    if (name.find(':') != std::string::npos) return false;  // drive letter or stream name
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end])) ++end;
        if (isParentComponent(name, start, end)) return false;
        start = end + 1;
    }
    return true;
}
