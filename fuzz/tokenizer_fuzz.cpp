// The launcher's tokenizer on arbitrary UTF-16 text (and on narrow text).
// Invariant: no crash; every character of the input goes into at most one token;
// text without quotes splits exactly at its spaces; and the tokens re-join
// consistently: written each in double quotes, separated by one space, they split
// back into the same tokens (when no token holds a double quote).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "windows/args.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::u16string text = utf16Of(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<std::u16string> tokens;
    splitArguments(text, tokens);
    const std::u16string input = text.substr(0, text.find(u'\0'));  // the text ends at a NUL
    size_t total = 0;
    bool quotes = false, quoteInToken = false;
    for (const std::u16string& token : tokens) total += token.size();
    FUZZ_CHECK(total <= input.size());
    for (char16_t c : input) quotes = quotes || c == u'"' || c == u'\'';

    if (!quotes) {
        std::vector<std::u16string> words;
        size_t start = 0;
        while (start <= input.size()) {
            size_t space = input.find(u' ', start);
            if (space == std::u16string::npos) space = input.size();
            if (space > start) words.push_back(input.substr(start, space - start));
            start = space + 1;
        }
        FUZZ_CHECK(tokens == words);
    }

    std::u16string joined;
    for (const std::u16string& token : tokens) {
        quoteInToken = quoteInToken || token.find(u'"') != std::u16string::npos;
        if (!joined.empty()) joined += u' ';
        joined += u'"' + token + u'"';
    }
    if (!quoteInToken) {
        std::vector<std::u16string> again;
        splitArguments(joined, again);
        FUZZ_CHECK(again == tokens);
    }

    std::vector<std::string> narrow;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    splitArgumentsNarrow(bytes.c_str(), narrow);
    total = 0;
    for (const std::string& token : narrow) total += token.size();
    FUZZ_CHECK(total <= bytes.size());
    return 0;
}
