// Path rules on the text alone, without system calls: shared by the launcher
// and the builder's configuration check.
#include "paths.h"

bool isRelativePath(const std::string& path) {
    if (path.size() < 3) return true;
    size_t at = 0;
    if (path[0] == '"') {
        if (path.size() < 4) return true;
        at = 1;
    }
    if (path[at + 1] == ':' && path[at + 2] == '\\') return false;
    return !(path[at] == '\\' && path[at + 1] == '\\');
}

std::vector<std::string> splitList(const std::string& list, EmptyItems empty) {
    std::vector<std::string> items;
    size_t start = 0;
    for (;;) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start || empty == EmptyItems::Keep) items.push_back(list.substr(start, end - start));
        if (end == list.size()) return items;
        start = end + 1;
    }
}
