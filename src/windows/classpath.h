// The entries of the configured class path (id 121). Pure: the launcher
// composes the class path from them, the builder's check looks them up.
#pragma once
#include <string>
#include <vector>

struct ClassPathEntry {
    char type;         // 'A' archive, 'D' directory, 'E' environment variable, 'S' directory to scan; others add nothing
    bool mandatory;    // the second character is the digit 1
    std::string name;  // from the third character on, as written (variables not expanded)
};
// The ";"-separated entries of the setting, empty pieces skipped.
std::vector<ClassPathEntry> parseClassPath(const std::string& setting);
