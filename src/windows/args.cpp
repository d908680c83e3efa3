#include "args.h"
void splitArguments(const std::u16string& text, std::vector<std::u16string>& out) { out.push_back(text); }
void splitArgumentsNarrow(const std::string& text, std::vector<std::string>& out) { out.push_back(text); }
