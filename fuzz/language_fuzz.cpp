// Language selection: the format language id (bytes 0-1), the display language id
// (bytes 2-3, byte 4 odd: not available) and the command-line arguments (the rest,
// UTF-16 with one argument per line feed).
// Invariant: no crash; every code has the Java form "ll", "ll_CC" or "ll_CC_VV"; the
// display language decides exactly when the last "-Dsun.locale.formatasdefault="
// argument is not "...=true"; the recorded language part is the code's first two
// letters and a country part exists exactly for the "ll_CC" form.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "launcher/language.h"

namespace {
int gUiLanguage = -1;
int uiLanguage() { return gUiLanguage; }

bool lower(char c) { return c >= 'a' && c <= 'z'; }
bool upper(char c) { return c >= 'A' && c <= 'Z'; }

bool javaForm(const std::string& code) {
    if (code.size() != 2 && code.size() != 5 && code.size() != 8) return false;
    if (!lower(code[0]) || !lower(code[1])) return false;
    for (size_t at = 2; at < code.size(); at += 3)
        if (code[at] != '_' || !upper(code[at + 1]) || !upper(code[at + 2])) return false;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 5) return 0;
    uint16_t formatId = static_cast<uint16_t>(data[0] | data[1] << 8);
    uint16_t uiId = static_cast<uint16_t>(data[2] | data[3] << 8);
    gUiLanguage = data[4] % 2 ? -1 : uiId;
    std::u16string text = utf16Of(std::string(reinterpret_cast<const char*>(data) + 5, size - 5));
    std::vector<std::u16string> arguments;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\n', start);
        if (end == std::u16string::npos) end = text.size();
        arguments.push_back(text.substr(start, end - start));
        start = end + 1;
    }

    const std::u16string prefix = u"-Dsun.locale.formatasdefault=";
    bool formatDecides = true;
    for (auto it = arguments.rbegin(); it != arguments.rend(); ++it) {
        if (it->compare(0, prefix.size(), prefix) != 0 || it->size() < prefix.size()) continue;
        formatDecides = *it == prefix + u"true";
        break;
    }
    FUZZ_CHECK(formatLocaleIsDefault(arguments) == formatDecides);

    std::string code = decideLanguage(arguments, formatId, &uiLanguage);
    FUZZ_CHECK(javaForm(code));
    uint16_t decidingId = formatDecides || gUiLanguage < 0 ? formatId : uiId;
    FUZZ_CHECK(code == languageCodeForId(decidingId));
    FUZZ_CHECK(decideLanguage(arguments, formatId, nullptr) == languageCodeForId(formatId));

    recordLanguageCode(code);
    std::string language, country = "untouched";
    FUZZ_CHECK(getUserLanguage(&language) && language == code.substr(0, 2));
    FUZZ_CHECK(getUserCountry(&country) == (code.size() == 5));
    FUZZ_CHECK(code.size() == 5 ? country == code.substr(3, 2) : country == "untouched");
    FUZZ_CHECK(languageCode() == code);
    return 0;
}
