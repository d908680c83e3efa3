// The line rules of options files.
#include "option_lines.h"

#include <cstring>

namespace {
bool startsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}
}  // namespace

void trimOptionLine(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) {
        line.clear();
        return;
    }
    line.erase(0, first);
    while (!line.empty() && line.back() == ' ') line.pop_back();
}

bool isSkippedOptionLine(const std::string& line) { return line.empty() || line[0] == '#'; }

OptionLineKind classifyOptionLine(const std::string& line, std::string& rest) {
    struct Form {
        const char* prefix;
        OptionLineKind kind;
    };
    static const Form kForms[] = {{kIncludePrefix, OptionLineKind::Include},
                                  {kClassPathPrefix, OptionLineKind::ClassPath},
                                  {kPrependPrefix, OptionLineKind::ClassPathPrepend},
                                  {kAppendPrefix, OptionLineKind::ClassPathAppend}};
    for (const Form& form : kForms) {
        if (startsWith(line, form.prefix)) {
            rest = line.substr(std::strlen(form.prefix));
            return form.kind;
        }
    }
    rest = line;
    return OptionLineKind::Option;
}
