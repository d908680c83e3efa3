#include "test_util.h"

#include <dirent.h>

#include <algorithm>

namespace testutil {
std::vector<std::string> ScratchDir::list() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(path_.c_str())) {
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}
}  // namespace testutil
