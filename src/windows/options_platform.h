// What the option assembly and the VM invocation ask of the system and of the
// other modules, declared once so that the assembly is tested on the host too.
// Windows: options_win.cpp and java_vm_launcher_win.cpp; host: *_host.cpp.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The extraction directory; "" when nothing was extracted.
std::string launcherTempDir();
// The value of environment variable name (cut to 8,191 bytes); false when it is not defined.
bool readEnvironment(const std::string& name, std::string* value);
// The long form of path (the system's long-path conversion); path itself when that fails.
std::string longPathName(const std::string& path);
// The names that a directory search for pattern (e.g. "C:\App\lib\*.jar") returns,
// files and directories alike, in the system's order; empty when nothing matches.
std::vector<std::string> findFileNames(const std::string& pattern);
// Whether path exists (drive roots always do).
bool optionPathExists(const std::string& path);
// path opened for reading in text mode; nullptr when it cannot be opened.
FILE* openTextFile(const std::string& path);

#ifndef _WIN32
// Host builds: launcher state that the Windows build takes from other modules,
// set by tests. Windows-style paths ("C:\App\x") are looked up under
// driveRoot ("<driveRoot>/C/App/x", UNC paths under "<driveRoot>/UNC/", "." and ".."
// resolved without leaving driveRoot); other paths are used with "\" read as "/".
struct HostLauncherState {
    std::string driveRoot;
    std::string tempDir;
    int32_t unextractedPosition = 0;
    bool languageRestart = false;
    bool hasSemaphoreName = false;
    std::string semaphoreName;
    std::string processCommFilePrefix;  // processCommFileName(pid) = prefix + "tvx_p<pid>.tmp"
    int consoleOutputCodePage = 65001;
    void* createJavaVm = nullptr;       // JNI_CreateJavaVM of a loaded libjvm
};
HostLauncherState& hostLauncherState();
// The host path that a launcher path stands for.
std::string hostPathOf(const std::string& path);
#endif
