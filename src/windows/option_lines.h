// The line rules of options files (".vmoptions"), pure, so that the launcher
// and tovex-build --check read a line the same way.
#pragma once
#include <string>

// Prefixes compared case-sensitively, with their single space.
constexpr const char kIncludePrefix[] = "-include-options ";
constexpr const char kClassPathPrefix[] = "-classpath ";
constexpr const char kPrependPrefix[] = "-classpath/p ";
constexpr const char kAppendPrefix[] = "-classpath/a ";

// Trailing CR and LF, then leading and trailing spaces (not tabs).
void trimOptionLine(std::string& line);
// A trimmed line that adds nothing: empty, or a comment ("#" first).
bool isSkippedOptionLine(const std::string& line);

enum class OptionLineKind { Include, ClassPath, ClassPathPrepend, ClassPathAppend, Option };
// What a line is; rest gets the text after the prefix (the whole line for an option).
OptionLineKind classifyOptionLine(const std::string& line, std::string& rest);
