// Host builds only: the launcher state that the Windows build takes from other
// modules, set by tests, and the mapping of launcher paths to host files. Kept out
// of options_platform.h so that the product declarations carry no test state.
#pragma once
#ifndef _WIN32
#include <cstdint>
#include <string>

#include "options_platform.h"

// Launcher state that the Windows build takes from other modules,
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
