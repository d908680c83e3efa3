#include "classpath.h"

#include "files/paths.h"

std::vector<ClassPathEntry> parseClassPath(const std::string& setting) {
    std::vector<ClassPathEntry> entries;
    for (const std::string& entry : splitList(setting))
        entries.push_back(ClassPathEntry{entry[0], entry.size() > 1 && entry[1] == '1',
                                         entry.size() > 2 ? entry.substr(2) : std::string()});
    return entries;
}
