#include "classpath.h"

std::vector<ClassPathEntry> parseClassPath(const std::string& setting) {
    std::vector<ClassPathEntry> entries;
    size_t start = 0;
    while (start <= setting.size()) {
        size_t end = setting.find(';', start);
        if (end == std::string::npos) end = setting.size();
        if (end > start) {
            std::string entry = setting.substr(start, end - start);
            entries.push_back(ClassPathEntry{entry[0], entry.size() > 1 && entry[1] == '1',
                                             entry.size() > 2 ? entry.substr(2) : std::string()});
        }
        start = end + 1;
    }
    return entries;
}
