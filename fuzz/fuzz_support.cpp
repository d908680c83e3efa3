// The fuzz build's error reporting (replacing errors_host.cpp) and the helpers
// of fuzz_support.h.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

#include "launcher/errors.h"
#include "launcher/log.h"

namespace {
// Millions of inputs: the log is formatted (so its format strings are exercised) but not kept.
const bool gQuietLog = (hostLogKeepLines(false), true);
}  // namespace

std::string& lastErrorText() {
    static std::string* text = new std::string();
    return *text;
}

void showErrorText(const std::string& text) { lastErrorText() = composeErrorText(text, logFilePath()); }

void exitLauncher(int code) { throw FuzzExit{code}; }

std::vector<std::string> splitInput(const uint8_t* data, size_t size, size_t count) {
    std::vector<std::string> pieces;
    const char* text = reinterpret_cast<const char*>(data);
    size_t start = 0;
    while (pieces.size() + 1 < count && start <= size) {
        size_t end = start;
        while (end < size && text[end] != '\0') ++end;
        if (end >= size) break;
        pieces.emplace_back(text + start, end - start);
        start = end + 1;
    }
    pieces.emplace_back(start < size ? std::string(text + start, size - start) : std::string());
    while (pieces.size() < count) pieces.emplace_back();
    return pieces;
}

std::u16string utf16Of(const std::string& bytes) {
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    return text;
}

void fuzzFail(const char* what, const char* file, int line) {
    std::fprintf(stderr, "invariant broken at %s:%d: %s\n", file, line, what);
    std::abort();
}
