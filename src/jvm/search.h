// The search for a usable Java runtime in the configured order.
#pragma once
#include <string>
#include <vector>

enum class JvmSource { None = 0, SystemPath = 1, Location = 2, EnvironmentVariable = 3, Registry = 4 };

JvmSource searchForJvm(std::string& exeOut, std::string& sourceOut);
bool checkLocation(std::string& exeOut, const std::string& directory, const std::string& min,
                   const std::string& max, bool skipVersionCheck);
bool checkEnvironmentVariable(std::string& exeOut, const std::string& name, const std::string& min,
                              const std::string& max);
bool checkSystemPath(std::string& exeOut, const std::string& min, const std::string& max);
bool readLocationFile(std::string& lineOut, const char* relativeName);

// Location files under the installation root.
constexpr const char* kPreferredLocationFile = "\\.marlowkit\\pref_jre.cfg";
constexpr const char* kInstallerLocationFile = "\\.marlowkit\\inst_jre.cfg";

// Pure parts of the search.
struct SearchEntry {
    char type;         // 'A', 'B', 'R', 'E', 'S', 'Y', 'J' or anything else (ignored)
    std::string text;  // as written, not expanded
};
// The ";"-separated entries of a search sequence, empty entries skipped.
std::vector<SearchEntry> parseSearchSequence(const std::string& sequence);
// The entry letters the search acts on: 'A', 'B', 'R', 'E', 'S', 'Y' and 'J';
// an entry with any other letter (a lower-case one too) is ignored.
bool isKnownSearchLetter(char type);
// Whether an entry is retried without version check after the main pass:
// 'B' always, 'A' and 'R' when their text is not absolute.
bool takesPartInFallback(const SearchEntry& entry);
// Absolute for the fallback pass: longer than one character and "X:..." or "\\...".
bool isAbsoluteLocation(const std::string& text);
// The first line of a location file's content (at most 8191 bytes), trailing
// carriage returns and line feeds removed; false when there is no non-empty line.
bool firstLocationLine(const std::string& content, std::string& lineOut);
// The ";"-separated directories of an earlier-installations registry value, in
// their order, empty entries skipped.
std::vector<std::string> installationDirectories(const std::string& list);
// A directory without trailing backslashes (a bare drive "c:" keeps its meaning
// once "\bin\java.exe" and the like are appended).
std::string withoutTrailingBackslashes(const std::string& directory);

// What the "no Java found" message tells the user (its "{details}"): the versions
// accepted, the places searched and, for TOVEX_JAVA_HOME, what to do. Never tells
// the user to set a variable that is already set.
struct EnvironmentSetting {
    std::string name;
    bool set = false;
    std::string value;
};
// "17 to 21", "17 or later", "up to 21" or "any"; limits are version texts as configured.
std::string acceptedVersionsText(const std::string& min, const std::string& max);
// entries with their texts as searched (variables expanded); variables: the ones
// named by 'E' entries and the Java-home variables, as read. Begins with an empty line.
std::string noJvmDetails(const std::string& min, const std::string& max, const std::vector<SearchEntry>& entries,
                         const std::vector<EnvironmentSetting>& variables);
