// The value of PATH with the native library directories in front.
#include "nativepath.h"

#include "files/paths.h"

std::string composeNativePath(const std::string& absoluteList, const std::string& previousPath,
                              std::vector<std::string>* leftOut) {
    std::string value = absoluteList;
    if (!value.empty() && value.back() != ';') value += ';';
    if (value.size() + previousPath.size() <= kNativePathLimit) return value + previousPath;

    // Too long: what was on PATH stays whole; directories go in front while they fit.
    size_t room = previousPath.size() < kNativePathLimit ? kNativePathLimit - previousPath.size() : 0;
    value.clear();
    bool full = false;
    for (const std::string& directory : splitList(absoluteList)) {
        if (!full && value.size() + directory.size() + 1 <= room) {
            value += directory + ';';
        } else {
            full = true;
            if (leftOut) leftOut->push_back(directory);
        }
    }
    return value + previousPath;
}
