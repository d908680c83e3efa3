// Configured native library directories in front of PATH.
#pragma once
#include <cstddef>
#include <string>

void setNativeLibraryPath();

// The new PATH holds at most this many bytes.
constexpr size_t kNativePathLimit = 16383;
// Pure: the absolute directory list (with a ";" added when missing) followed by the previous
// PATH. A previous PATH that does not fit behind the list is left out; a list longer than the
// limit is cut.
std::string composeNativePath(const std::string& absoluteList, const std::string& previousPath);
