// Pure parts of the search: the search sequence and location files.
#include "search.h"

#include <cstring>

std::vector<SearchEntry> parseSearchSequence(const std::string& sequence) {
    std::vector<SearchEntry> entries;
    size_t start = 0;
    while (start <= sequence.size()) {
        size_t end = sequence.find(';', start);
        if (end == std::string::npos) end = sequence.size();
        if (end > start) entries.push_back(SearchEntry{sequence[start], sequence.substr(start + 1, end - start - 1)});
        start = end + 1;
    }
    return entries;
}

bool isKnownSearchLetter(char type) { return type != '\0' && std::strchr("ABRESYJ", type) != nullptr; }

bool isAbsoluteLocation(const std::string& text) {
    return text.size() > 1 && (text[1] == ':' || (text[0] == '\\' && text[1] == '\\'));
}

bool takesPartInFallback(const SearchEntry& entry) {
    if (entry.type == 'B') return true;
    if (entry.type == 'A' || entry.type == 'R') return !isAbsoluteLocation(entry.text);
    return false;
}

bool firstLocationLine(const std::string& content, std::string& lineOut) {
    std::string line = content.substr(0, content.find('\n'));
    if (line.size() > 8191) line.resize(8191);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty()) return false;
    lineOut = line;
    return true;
}

std::string withoutTrailingBackslashes(const std::string& directory) {
    size_t end = directory.find_last_not_of('\\');
    if (end == std::string::npos) return directory;  // empty, or nothing but backslashes
    return directory.substr(0, end + 1);
}

std::vector<std::string> installationDirectories(const std::string& list) {
    std::vector<std::string> directories;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) directories.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return directories;
}
