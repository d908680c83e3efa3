// Configured native library directories in front of PATH.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

void setNativeLibraryPath();

// The new PATH holds at most this many bytes: Windows keeps at most 32,767
// characters in an environment variable, its terminator included. A character
// of the ANSI code page takes at least one byte, so a value within this many
// bytes is within the system's limit.
constexpr size_t kNativePathLimit = 32766;
// Pure: the absolute directory list (with a ";" added when missing) followed by the
// previous PATH, which is never cut or left out. When the whole would be longer than
// the limit, only the leading directories of the list that fit go in front, each
// followed by ";"; the directories from the first one that does not fit on are left
// out and, when leftOut is given, appended to it in order.
std::string composeNativePath(const std::string& absoluteList, const std::string& previousPath,
                              std::vector<std::string>* leftOut = nullptr);
