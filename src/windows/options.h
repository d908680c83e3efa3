// The VM option list and the class path.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

struct ClassPathOverrides {
    std::string replacement;  // "-classpath "
    std::string append;       // "-classpath/a "
    std::string prepend;      // "-classpath/p "
    bool hasReplacement = false, hasAppend = false, hasPrepend = false;
};

// The complete option list: launcherProperties first, then the configured options,
// "-J" arguments, locale options, the default options file and the class path last.
std::vector<std::string> buildVmOptions(const std::vector<std::u16string>& argumentList,
                                        const std::vector<std::string>& launcherProperties);

// Limits.
constexpr size_t kClassPathOptionLimit = 40959;   // the whole "-Djava.class.path=..." option
constexpr size_t kOptionsLineLimit = 8191;        // bytes per read of an options file line
constexpr int kMaxIncludeDepth = 32;              // nested "-include-options" levels

// The steps of buildVmOptions, exposed for tests.
// Configured options (id 123), "-J" arguments (with id 125), then the locale options.
void addConfiguredOptions(const std::vector<std::u16string>& argumentList, std::vector<std::string>& options,
                          ClassPathOverrides& overrides);
// One option line; containingFile is the options file it comes from (nullptr: none, so
// relative include names are taken from the executable's directory). depth counts
// the include levels above this line.
void handleOptionLine(const std::string& line, const char* containingFile, std::vector<std::string>& options,
                      ClassPathOverrides& overrides, int depth = 0);
// Reads file (may be nullptr) to its end and closes it; path is nullptr for the default file.
void readOptionsFile(const char* path, FILE* file, std::vector<std::string>& options,
                     ClassPathOverrides& overrides, int depth = 0);
// "<exe minus .exe>.vmoptions", else "<exe>.vmoptions"; nullptr when neither opens.
FILE* openDefaultOptionsFile();
// Appends every "*.<extension>" of directory, made absolute, each followed by ";".
// False when the directory does not exist.
bool appendArchivesOfDirectory(std::string& classPath, const std::string& directory, const char* extension);
std::vector<std::string> listDirectory(const std::string& directory, const char* extension);
// The entries of id 121; ends the launcher with 1006 or 1008 for a missing mandatory entry.
void appendConfiguredClassPath(std::string& classPath);
// The last option, "-Djava.class.path=" and the composed class path.
std::string composeClassPathOption(const ClassPathOverrides& overrides);
// Appends text when the class-path option stays within kClassPathOptionLimit; otherwise
// logs and leaves it out (an entry is never cut in the middle).
bool appendToClassPath(std::string& classPath, const std::string& text);
// True for the marlowkit flavour (id 2001 begins with "i").
bool marlowkitFlavour();
