// Single-instance state and the pure naming and text rules (host and Windows).
#include "single_instance.h"

namespace {
std::string* gSemaphoreName = nullptr;
}

const std::string* semaphoreName() { return gSemaphoreName; }

void setSemaphoreName(const std::string& name) {
    if (!gSemaphoreName) gSemaphoreName = new std::string();
    *gSemaphoreName = name;
}

std::string toObjectName(const std::string& path) {
    std::string name = path;
    for (char& c : name)
        if (c == '\\' || c == ' ') c = '_';
    return name;
}

std::string instanceSemaphoreName(const std::string& fullPath, bool global) {
    return std::string(global ? "Global\\" : "Local\\") + toObjectName(fullPath);
}

std::u16string commandLineArguments(const std::u16string& commandLine) {
    size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == u'"') {
        at = commandLine.find(u'"', 1);
        if (at == std::u16string::npos) return std::u16string();
    }
    at = commandLine.find(u' ', at);
    if (at == std::u16string::npos) return std::u16string();
    while (at < commandLine.size() && commandLine[at] == u' ') ++at;
    return commandLine.substr(at);
}

std::u16string communicationText(const std::u16string& arguments, bool* cut) {
    const size_t room = kCommTextUnits - 2;  // the line feed and the terminator
    std::u16string text = arguments;
    bool wasCut = text.size() > room;
    if (wasCut) {
        text.resize(room);
        char16_t last = text.back();
        if (last >= 0xD800 && last <= 0xDBFF) text.pop_back();  // half of a surrogate pair
    }
    if (cut) *cut = wasCut;
    text.push_back(u'\n');
    return text;
}
