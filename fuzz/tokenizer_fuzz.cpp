// The tokenizer on arbitrary UTF-16 text: no crash, and no token longer than the input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "windows/args.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    std::vector<std::u16string> tokens;
    splitArguments(text, tokens);
    for (const std::u16string& token : tokens)
        if (token.size() > text.size()) __builtin_trap();
    std::vector<std::string> narrow;
    splitArgumentsNarrow(std::string(reinterpret_cast<const char*>(data), size).c_str(), narrow);
    return 0;
}
