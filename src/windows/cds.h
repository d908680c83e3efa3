// Managed class-data sharing: a per-user archive of the application's classes that
// later starts map instead of loading and verifying every class again.
//
// Two mechanisms, chosen from the runtime's version (its "release" file) and from
// whether it has the default base archive (bin\server\classes.jsa):
// - Dynamic (Java 19 and later with the base archive): the VM writes the archive
//   at the end of a run and maps it in later runs (-XX:+AutoCreateSharedArchive).
// - Static (Java 17 and later, also without the base archive, as jlink'ed runtimes
//   are): one start records the classes it loads (-XX:DumpLoadedClassList); a later
//   start finding that list starts one dump run of the runtime's java.exe in the
//   background (never waited for), which writes an archive of the JDK's and the
//   application's classes; the starts after it map that archive.
// Everything lives in "%LOCALAPPDATA%\tovex\cds\<application>-<hash>\", the hash
// taken over the executable's path, the runtime's home and its version; the files
// in it are named by a stamp of the class path (its text, and each entry's size and
// time), so a changed jar starts afresh.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "jvm/numeric_version.h"

// Whether option sets class-data sharing itself (-Xshare:..., -XX:SharedArchiveFile,
// -XX:ArchiveClassesAtExit, -XX:+AutoCreateSharedArchive, ...): the launcher then adds nothing.
bool isClassDataSharingOption(const std::string& option);

enum class CdsKind { None, Dynamic, Static };
// Dynamic for Java 19 and later with a base archive; Static for Java 17 and later
// otherwise; None below 17 or for a pre-release.
CdsKind cdsKindFor(const NumericVersion& version, bool hasBaseArchive);
const char* cdsKindName(CdsKind kind);

// 64-bit FNV-1a, as 16 lower-case hex digits.
std::string cdsHash(const std::string& text);
// "<application>-<hash>": the application name with anything but letters, digits,
// "-", "_" and "." replaced by "_" (at most 40 characters; "app" when empty), the
// hash over the executable's path, the runtime's home and its version, lower-cased
// paths (Windows paths are case-blind).
std::string cdsFolderName(const std::string& applicationName, const std::string& exePath,
                          const std::string& runtimeHome, const std::string& versionText);

// The files present for one stamp in the folder.
struct CdsFiles {
    bool archive = false;      // <stamp>.jsa
    bool classList = false;    // <stamp>.lst
    bool dumpStarted = false;  // <stamp>.dump: a dump run was started once for this stamp
};
struct CdsPlan {
    std::vector<std::string> options;  // inserted after the launcher properties
    bool startDump = false;            // start the background dump run now
    bool newStamp = false;             // nothing recorded yet: files of other stamps may go
    const char* what = "";             // for the log
};
// base: the folder and the stamp, "C:\...\cds\app-0123\89ab..." (the files add ".jsa" and so on).
CdsPlan planClassDataSharing(CdsKind kind, const std::string& base, const CdsFiles& files);

// The argument file of the dump run (java.exe @file): one argument a line, paths in
// double quotes with their backslashes doubled.
std::string cdsDumpArguments(const std::string& base, const std::string& classPath);

// Adds the options of managed class-data sharing to options (after the first
// insertAt elements) when the block turns it on, nobody set a sharing option of
// their own, and the chosen runtime supports it; may start the background dump.
// classPathOption is the last option, "-Djava.class.path=...".
void addClassDataSharingOptions(std::vector<std::string>& options, size_t insertAt);

// ---- What it asks of the system (cds_win.cpp; cds_host.cpp records for tests).
// The chosen runtime's home ("<bin>\.."); empty when none is loaded.
std::string cdsRuntimeHome();
// The user's local application data folder; false when unknown.
bool cdsLocalAppData(std::string& folder);
// Creates folder and its missing parents; true when it exists afterwards.
bool cdsEnsureFolder(const std::string& folder);
bool cdsFileExists(const std::string& path);
// Size and last-write time of a file or directory; false when it does not exist.
bool cdsFileStamp(const std::string& path, uint64_t& size, uint64_t& time);
// The whole (small) file; false when it cannot be read.
bool cdsReadFile(const std::string& path, std::string& content);
// Creates path only when it does not exist yet, with content; false otherwise.
bool cdsCreateNewFile(const std::string& path, const std::string& content);
// Removes the files of folder whose names do not begin with keepPrefix.
void cdsRemoveOtherFiles(const std::string& folder, const std::string& keepPrefix);
// Starts javaExe with "@argumentFile", output to logFile, below normal priority,
// without a window, not waited for.
bool cdsStartDump(const std::string& javaExe, const std::string& argumentFile, const std::string& logFile);
