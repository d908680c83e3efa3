// The launcher's own tokenizer: the space separates, the double quote and the
// apostrophe quote, there is no escape character, and a quoted section ends its token.
#include "args.h"

#include "files/paths.h"

namespace {

constexpr size_t kNarrowLimit = 8192;  // UTF-16 units of a converted narrow text, terminator included

// A token with a quoted section: the text before the opening quote (if any)
// joined to the text between the quotes. Returns where reading goes on.
size_t quotedToken(const std::u16string& text, size_t start, size_t open, std::vector<std::u16string>& out) {
    char16_t quote = text[open];
    size_t close = text.find(quote, open + 1);
    bool closed = close != std::u16string::npos;
    if (!closed) close = text.size();
    std::u16string token = text.substr(start, open - start);
    token += text.substr(open + 1, close - open - 1);
    out.push_back(token);
    if (!closed) return text.size();
    size_t next = close + 1;
    if (next < text.size() && text[next] == u' ') ++next;
    return next;
}

}  // namespace

void splitArguments(const std::u16string& text, std::vector<std::u16string>& out) {
    const size_t none = std::u16string::npos;
    size_t end = text.find(u'\0');
    const std::u16string input = end == none ? text : text.substr(0, end);
    // The first double quote, apostrophe and space at or after the read position.
    // The position only moves forward, so each is searched again only once the
    // position has passed it: every character is looked at a bounded number of
    // times, and the whole split is linear in the length of the text.
    size_t doubleQuote = input.find(u'"');
    size_t apostrophe = input.find(u'\'');
    size_t space = input.find(u' ');
    size_t position = 0;
    while (position < input.size()) {
        if (doubleQuote < position) doubleQuote = input.find(u'"', position);
        if (apostrophe < position) apostrophe = input.find(u'\'', position);
        if (space < position) space = input.find(u' ', position);
        if (input[position] == u' ') {
            ++position;
        } else if (space != none && space < doubleQuote && space < apostrophe) {
            out.push_back(input.substr(position, space - position));
            position = space + 1;
        } else if (doubleQuote != none && doubleQuote < apostrophe) {
            position = quotedToken(input, position, doubleQuote, out);
        } else if (apostrophe != none) {
            position = quotedToken(input, position, apostrophe, out);
        } else {
            out.push_back(input.substr(position));
            position = input.size();
        }
    }
}

void splitArgumentsNarrow(const std::string& text, std::vector<std::string>& out) {
    std::u16string wide = toUtf16(text, 0);
    if (wide.size() > kNarrowLimit - 1) wide.resize(kNarrowLimit - 1);
    std::vector<std::u16string> tokens;
    splitArguments(wide, tokens);
    for (const std::u16string& token : tokens) out.push_back(fromUtf16(token, 0));
}
