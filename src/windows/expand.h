// Variable expansion in configured texts: launcher variables, then environment variables.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Expanded texts are cut to this many bytes (they must fit an 8,192-byte buffer with its terminator).
constexpr size_t kExpandedTextLimit = 8191;

// Expands text in place with the process's current values.
void expandVariables(std::string& text);
// Whether text has a "%" or a "$", with which every variable reference begins.
bool mayHoldVariables(const std::string& text);
// Tells expansion that the launcher changed the process environment (it keeps a copy of
// the environment block between expansions).
void environmentChanged();

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
// Splits "NAME=value" at the first "=" after the first character (so "=C:=C:\x" is named "=C:");
// false for an entry without one. The value is cut to kExpandedTextLimit bytes.
bool splitEnvironmentEntry(const std::string& entry, std::string* name, std::string* value);
