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
