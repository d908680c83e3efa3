// The user's language as a Java locale code ("de_DE", "en", "no_NO_NY").
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Selects the code once (format locale, or the UI language when a
// "-Dsun.locale.formatasdefault=" argument other than true decides so) and
// records its language and country parts. Called by the configuration reader.
std::string selectLanguage(const std::vector<std::u16string>& argumentList);
// Copies the two-letter language part; false when no selection was made.
bool getUserLanguage(std::string* out);
// Copies the two-letter country part; false when the code has none.
bool getUserCountry(std::string* out);
const std::string& languageCode();

// Pure parts, exposed for tests.
// The code for a Windows language id (complete id first, then primary id); "en" when neither has a row.
std::string languageCodeForId(uint16_t languageId);
// True when the format locale decides (no argument, or the last such argument is "...=true").
bool formatLocaleIsDefault(const std::vector<std::u16string>& argumentList);
// Records code and its language/country parts (what selectLanguage does after choosing).
void recordLanguageCode(const std::string& code);
// The selection without Windows: logs the formatasdefault decision, takes the
// UI language from uiLanguageId (a negative result or nullptr: not available)
// when the display language decides, and logs the code found.
std::string decideLanguage(const std::vector<std::u16string>& argumentList, uint16_t formatLanguageId,
                           int (*uiLanguageId)());
// Number of rows of the language table.
int languageTableSize();
