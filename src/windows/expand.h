// Variable expansion in configured texts: launcher variables, then environment variables.
#pragma once
#include <string>
#include <vector>

// Expands text in place with the process's current values.
void expandVariables(std::string& text);

// Pure core: every value that expansion needs, injected.
struct ExpansionContext {
    std::string exeDirectory;         // with trailing backslash
    std::string tempDir;              // extraction directory, may be empty
    std::string jvmHome;              // may be empty
    std::string systemTempDir;        // as the temporary-directory selection gives it
    std::vector<std::string> environment;  // "NAME=value" entries in block order
};
void expandVariablesWith(std::string& text, const ExpansionContext& context);
// Replaces every occurrence of pattern by value, scanning on after each inserted value; logs each.
void replaceAll(std::string& text, const std::string& pattern, const std::string& value);
