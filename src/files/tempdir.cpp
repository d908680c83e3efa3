#include "tempdir.h"

std::string tempNameInDirectory(const std::string& directory, const std::string& name) {
    if (directory.empty() || directory.back() == '\\' || directory.back() == '/') return directory + name;
    return directory + "\\" + name;
}
