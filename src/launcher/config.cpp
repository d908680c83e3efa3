#include "config.h"
#include <cstdlib>
namespace { std::map<int32_t, std::string> gStrings; std::map<int32_t, std::u16string> gWide; uint32_t gEnd = 0; }
std::string getConfigString(int32_t id) { auto it = gStrings.find(id); return it == gStrings.end() ? std::string() : it->second; }
std::string getConfigString(int32_t id, size_t n) { std::string s = getConfigString(id); if (n && s.size() > n - 1) s.resize(n - 1); return s; }
int32_t parseConfigInt(const char* text) { return static_cast<int32_t>(std::strtol(text, nullptr, 10)); }
uint32_t parseConfigColor(const char*) { return 0; }
int32_t getConfigInt(int32_t id) { return parseConfigInt(getConfigString(id).c_str()); }
bool getConfigFlag(int32_t id) { return getConfigInt(id) != 0; }
uint32_t getConfigColor(int32_t id) { return parseConfigColor(getConfigString(id).c_str()); }
uint32_t configEndPosition() { return gEnd; }
const std::map<int32_t, std::u16string>& wideStringTable() { return gWide; }
void setConfigForTesting(const std::map<int32_t, std::string>& s) { gStrings = s; }
void setConfigValueForTesting(int32_t id, const std::string& v) { gStrings[id] = v; }
