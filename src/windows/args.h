// The launcher's own tokenizer: space separates, " and ' quote, no escape
// character, a quoted section ends its token.
#pragma once
#include <string>
#include <vector>

void splitArguments(const std::u16string& text, std::vector<std::u16string>& out);
// Narrow text in the ANSI code page: converted to UTF-16, split, converted back.
void splitArgumentsNarrow(const std::string& text, std::vector<std::string>& out);
