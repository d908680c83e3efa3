// Lookups in the configuration read from the block. They only read: an absent
// id inserts nothing, so the main thread and the splash thread may both look up.
#include "config.h"

#include <climits>

#include "config_block.h"

namespace {
ConfigData& config() {
    static ConfigData* data = new ConfigData();  // lives until the process ends
    return *data;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
}  // namespace

void installConfig(ConfigData data) { config() = std::move(data); }

std::string getConfigString(int32_t id) {
    const auto& strings = config().strings;
    auto it = strings.find(id);
    return it == strings.end() ? std::string() : it->second;
}

std::string getConfigString(int32_t id, size_t bufferSize) {
    std::string value = getConfigString(id);
    if (bufferSize == 0) return std::string();
    if (value.size() > bufferSize - 1) value.resize(bufferSize - 1);
    return value;
}

int32_t parseConfigInt(const char* text) {
    const char* p = text;
    while (isSpace(*p)) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long long value = 0;
    bool saturated = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (saturated) continue;
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT32_MAX) + 1) saturated = true;
    }
    if (negative) {
        if (saturated || value > static_cast<long long>(INT32_MAX) + 1) return INT32_MIN;
        return static_cast<int32_t>(-value);
    }
    if (saturated || value > INT32_MAX) return INT32_MAX;
    return static_cast<int32_t>(value);
}

uint32_t parseConfigColor(const char* text) {
    // Comma-separated fields, empty ones skipped; fewer than three numbers is black.
    uint32_t parts[3] = {0, 0, 0};
    int found = 0;
    std::string value(text);
    size_t start = 0;
    while (found < 3 && start <= value.size()) {
        size_t comma = value.find(',', start);
        if (comma == std::string::npos) comma = value.size();
        if (comma > start) {
            std::string field = value.substr(start, comma - start);
            parts[found++] = static_cast<uint32_t>(parseConfigInt(field.c_str())) & 0xFFu;
        }
        start = comma + 1;
    }
    if (found < 3) return 0;
    return parts[0] | (parts[1] << 8) | (parts[2] << 16);
}

int32_t getConfigInt(int32_t id) { return parseConfigInt(getConfigString(id).c_str()); }
bool getConfigFlag(int32_t id) { return getConfigInt(id) != 0; }
uint32_t getConfigColor(int32_t id) { return parseConfigColor(getConfigString(id).c_str()); }
uint32_t configEndPosition() { return config().endPosition; }
const std::map<int32_t, std::u16string>& wideStringTable() { return config().wideStrings; }

void setConfigForTesting(const std::map<int32_t, std::string>& strings) {
    ConfigData data;
    data.strings = strings;
    installConfig(std::move(data));
}
void setConfigValueForTesting(int32_t id, const std::string& value) { config().strings[id] = value; }
