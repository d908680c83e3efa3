// The value of PATH with the native library directories in front.
#include "nativepath.h"

std::string composeNativePath(const std::string& absoluteList, const std::string& previousPath) {
    std::string value = absoluteList;
    if (!value.empty() && value.back() != ';') value += ';';
    if (value.size() > kNativePathLimit) {
        value.resize(kNativePathLimit);
        return value;
    }
    if (value.size() + previousPath.size() <= kNativePathLimit) value += previousPath;
    return value;
}
