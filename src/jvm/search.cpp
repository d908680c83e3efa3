// Pure parts of the search: the search sequence and location files.
#include "search.h"

#include <cstring>

#include "files/paths.h"
#include "launcher/texts.h"

std::vector<SearchEntry> parseSearchSequence(const std::string& sequence) {
    std::vector<SearchEntry> entries;
    for (const std::string& item : splitList(sequence)) entries.push_back(SearchEntry{item[0], item.substr(1)});
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

std::vector<std::string> installationDirectories(const std::string& list) { return splitList(list); }

std::string acceptedVersionsText(const std::string& min, const std::string& max) {
    if (!min.empty() && !max.empty()) return min + " to " + max;
    if (!min.empty()) return min + " or later";
    if (!max.empty()) return "up to " + max;
    return "any";
}

std::string noJvmDetails(const std::string& min, const std::string& max, const std::vector<SearchEntry>& entries,
                         const std::vector<EnvironmentSetting>& variables) {
    std::vector<std::string> places;
    auto add = [&places](const std::string& place) {
        for (const std::string& p : places)
            if (p == place) return;
        places.push_back(place);
    };
    auto find = [&variables](const std::string& name) -> const EnvironmentSetting* {
        for (const EnvironmentSetting& v : variables)
            if (v.name == name) return &v;
        return nullptr;
    };
    auto variable = [&find](const std::string& name) {
        const EnvironmentSetting* v = find(name);
        if (!v) return name;
        return name + (v->set ? " (" + v->value + ")" : " (not set)");
    };
    for (const SearchEntry& entry : entries) {
        switch (entry.type) {
            case 'A':
            case 'B':
            case 'R':
                add("the folder " + entry.text);
                break;
            case 'E':
                add(variable(entry.text));
                break;
            case 'S':
                add("the system path (PATH)");
                break;
            case 'Y':
                add("the Windows registry");
                break;
            case 'J':
                add("the installed Java runtimes");
                break;
            default:
                break;
        }
    }
    // Always searched last; the older name only when it is set.
    add(variable(texts::kJavaHomeVariable));
    const EnvironmentSetting* legacy = find(texts::kJavaHomeVariableLegacy);
    if (legacy && legacy->set) add(variable(texts::kJavaHomeVariableLegacy));

    std::string text = "\n\nJava versions accepted: " + acceptedVersionsText(min, max) + ".\nSearched: ";
    for (size_t i = 0; i < places.size(); ++i) text += (i ? ", " : "") + places[i];
    text += ".";
    const EnvironmentSetting* home = find(texts::kJavaHomeVariable);
    if (!home || !home->set) home = legacy;
    if (home && home->set)
        text += "\n" + home->name + " is set to " + home->value + ", but there is no suitable Java there.";
    else
        text += std::string("\nTo use a Java that is installed elsewhere, set ") + texts::kJavaHomeVariable +
                " to its folder.";
    return text;
}
