#include "language.h"
namespace { std::string gCode = "en"; }
std::string languageCodeForId(uint16_t) { return "en"; }
bool formatLocaleIsDefault(const std::vector<std::u16string>&) { return true; }
void recordLanguageCode(const std::string& code) { gCode = code; }
const std::string& languageCode() { return gCode; }
bool getUserLanguage(std::string* out) { *out = gCode.substr(0, 2); return true; }
bool getUserCountry(std::string* out) { if (gCode.size() != 5) return false; *out = gCode.substr(3, 2); return true; }
