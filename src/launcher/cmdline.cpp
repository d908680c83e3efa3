// The command-line tail: what follows the program name and the white space behind it.
#include "launcher.h"

std::string commandLineTail(const char* commandLine) {
    if (!commandLine) return std::string();
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    // The name ends at the first character of code 32 or below outside double quotes.
    bool quoted = false;
    for (; *p; ++p) {
        if (*p == '"') quoted = !quoted;
        else if (*p <= 32 && !quoted) break;
    }
    while (*p >= 1 && *p <= 32) ++p;
    return std::string(reinterpret_cast<const char*>(p));
}
