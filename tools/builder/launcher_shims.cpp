// What the launcher code shared with the builder asks of the launcher around it.
//
// The diagnostic log: the builder has none, so the shared rules log nothing.
//
// The narrow/UTF-16 conversions (the option tokenizer of src/windows/args.cpp): the builder keeps every
// byte as one unit: the tokenizer looks only at blanks and quotes, which are the
// same bytes in Windows-1252 and UTF-8, so a value splits exactly as the launcher
// splits it and each token comes back byte for byte.
#include <string>

#include "files/paths.h"
#include "launcher/log.h"

void logMessage(const char*, ...) {}
void logError(const char*, ...) {}

std::u16string toUtf16(const std::string& narrow, int) {
    std::u16string wide;
    wide.reserve(narrow.size());
    for (unsigned char c : narrow) wide += static_cast<char16_t>(c);
    return wide;
}

std::string fromUtf16(const std::u16string& wide, int, bool* usedDefault) {
    std::string narrow;
    bool replaced = false;
    for (char16_t c : wide) {
        replaced = replaced || c > 0xFF;
        narrow += c > 0xFF ? '?' : static_cast<char>(c);
    }
    if (usedDefault) *usedDefault = replaced;
    return narrow;
}
