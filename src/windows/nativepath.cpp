// The value of PATH with the native library directories in front.
#include "nativepath.h"

std::string composeNativePath(const std::string& absoluteList, const std::string& previousPath,
                              std::vector<std::string>* leftOut) {
    std::string value = absoluteList;
    if (!value.empty() && value.back() != ';') value += ';';
    if (value.size() + previousPath.size() <= kNativePathLimit) return value + previousPath;

    // Too long: what was on PATH stays whole; directories go in front while they fit.
    size_t room = previousPath.size() < kNativePathLimit ? kNativePathLimit - previousPath.size() : 0;
    value.clear();
    size_t start = 0;
    bool full = false;
    while (start < absoluteList.size()) {
        size_t end = absoluteList.find(';', start);
        if (end == std::string::npos) end = absoluteList.size();
        if (end > start) {
            std::string directory = absoluteList.substr(start, end - start);
            if (!full && value.size() + directory.size() + 1 <= room) {
                value += directory + ';';
            } else {
                full = true;
                if (leftOut) leftOut->push_back(directory);
            }
        }
        start = end + 1;
    }
    return value + previousPath;
}
