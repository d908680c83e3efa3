// The 'J' search entry: Java installations of today's vendors, found in their
// registry keys and installation directories, judged by numeric versions.
#pragma once
#include <string>
#include <vector>

#include "jvm/numeric_version.h"
#include "jvm/registry.h"
#include "jvm/search.h"
#include "jvm/vm_check.h"

// The 'J' entry (main pass only): collects the candidate homes, judges each and takes
// the highest version within the limits. On success exeOut holds the java executable
// (javaw.exe for a GUI launcher) and the result is Registry or Location (then sourceOut
// holds the home directory); None when no candidate qualifies.
JvmSource findInstalledJvm(std::string& exeOut, std::string& sourceOut, const std::string& min,
                           const std::string& max);

// ---- Pure parts (tested on the host) ----

// Registry keys walked in the per-user hive, then the machine hive (64-bit view).
extern const char* const kInstalledJvmRegistryRoots[];
extern const size_t kInstalledJvmRegistryRootCount;
// String values taken as a Java home wherever the walk meets them.
extern const char* const kInstalledJvmHomeValues[];
extern const size_t kInstalledJvmHomeValueCount;

// Directories whose subdirectories are candidate homes: "%VARIABLE%\path". A path with
// a "*" component names one candidate per directory matched there instead.
struct InstalledJvmDirectory {
    const char* variable;  // environment variable of the base directory
    const char* path;      // below it
};
extern const InstalledJvmDirectory kInstalledJvmDirectories[];
extern const size_t kInstalledJvmDirectoryCount;

// Bounds, so that a huge or hostile registry or directory cannot stall the start.
constexpr size_t kRegistryWalkDepth = 4;            // subkey levels below a root
constexpr size_t kRegistrySubkeysPerKey = 64;       // subkey names enumerated in one key
constexpr size_t kRegistryKeysPerRoot = 256;        // keys opened under one root in one hive
constexpr size_t kRegistryKeysInAll = 1024;         // keys opened by one search (both hives, all roots)
constexpr size_t kDirectoryEntriesPerSource = 256;  // directory entries read in one directory
constexpr size_t kInstalledJvmCandidates = 128;     // candidates collected by one search
constexpr size_t kInstalledJvmProbes = 16;          // candidates without a release file checked by checkJavaExe

struct JvmCandidate {
    std::string home;    // as found, trailing backslashes removed
    JvmSource kind;      // Registry or Location
    std::string origin;  // for the log: "HKLM\SOFTWARE\JavaSoft\JDK\17 JavaHome", "%ProgramFiles%\Java"
};

// What the search needs from the system; the launcher's is Win32, the tests' a fake.
class InstalledJvmSystem {
public:
    virtual ~InstalledJvmSystem() = default;
    // Opens hive\path (KEY_READ, 64-bit view): the first maxSubkeys subkey names in
    // enumeration order, and those of kInstalledJvmHomeValues that are string values
    // (in table order, as (name, data)). False when the key cannot be opened.
    virtual bool readRegistryKey(RegistryHive hive, const std::string& path, size_t maxSubkeys,
                                 std::vector<std::string>& subkeys,
                                 std::vector<std::pair<std::string, std::string>>& homes) = 0;
    // An environment variable's value, "" when unset.
    virtual std::string environment(const char* name) = 0;
    // Names of the subdirectories of directory ("." and ".." left out), among the first
    // maxEntries entries read; empty when it cannot be listed.
    virtual std::vector<std::string> subdirectories(const std::string& directory, size_t maxEntries) = 0;
    virtual bool isDirectory(const std::string& path) = 0;
    virtual bool fileExists(const std::string& path) = 0;
    // At most maxBytes of a file; false when it cannot be read.
    virtual bool readFile(const std::string& path, size_t maxBytes, std::string& content) = 0;
    // Full path, lower-cased (A to Z), backslashes collapsed: the form checkJavaExe judges.
    virtual std::string normalise(const std::string& path) = 0;
    // The java executable of a home, as javaExeForHome takes it when no kit is required.
    virtual std::string javaExeOfHome(const std::string& home) = 0;
    // checkJavaExe without limits (cache, else "-version"): the version text, or false.
    virtual bool checkVersion(std::string& exe, std::string& versionOut) = 0;
    // Whether the VM libraries of exe (in LoadDLL's order) include an x86-64 DLL; the
    // release file of home speaks for a library that cannot be read (checkVmLibrary).
    virtual VmLibraryVerdict vmLibrary(const std::string& exe, const std::string& home) = 0;
};

struct InstalledJvmSettings {
    std::string min, max;           // CFG_MIN_VERSION, CFG_MAX_VERSION
    bool guiLauncher = false;       // CFG_EXE_TYPE == 1: bin\javaw.exe needed
    bool requireJdk = false;        // CFG_REQUIRE_JDK: bin\javac.exe needed
    bool allowPrerelease = false;   // CFG_ALLOW_BETA_VM
};
// The settings as the configuration gives them.
InstalledJvmSettings installedJvmSettings(const std::string& min, const std::string& max);

// Registry candidates (per-user hive, then machine; roots in table order; depth first
// in enumeration order, a key's values before its subkeys), then directory candidates
// (table order; subdirectories sorted by name ignoring case; X before X\jre). Stops at
// kInstalledJvmCandidates.
std::vector<JvmCandidate> collectInstalledJvmCandidates(InstalledJvmSystem& system);

struct InstalledJvmChoice {
    std::string exe;      // normalised; javaw.exe for a GUI launcher
    std::string home;     // as found
    JvmSource kind = JvmSource::None;
    std::string version;  // as the source stated it
};
// Judges every candidate (one log line each) and picks the highest version within the
// limits, the earlier candidate on a tie. False when none qualifies.
bool chooseInstalledJvm(InstalledJvmSystem& system, const std::vector<JvmCandidate>& candidates,
                        const InstalledJvmSettings& settings, InstalledJvmChoice& out);
