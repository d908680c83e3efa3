// Loading the VM library of the runtime found.
#pragma once
#include <string>

// Runs the search, loads jvm.dll and resolves JNI_CreateJavaVM; shows the
// fitting message and returns false when that fails.
bool LoadDLL(bool showErrors);
// The runtime's bin directory followed by ".."; empty until the first load attempt.
const std::string& jvmHome();
// The address of JNI_CreateJavaVM in the loaded library, or nullptr.
void* createJavaVmEntry();

#ifdef _WIN32
#include <windows.h>
// The VM library that belongs to a java executable (with the development-kit retry).
HMODULE loadVmLibrary(const std::string& exePath);
// Tries the VM-type directories of the executable's bin directory with PATH extended.
HMODULE loadFromBinDir(const std::string& exePath);
HMODULE tryVmDirectory(const std::string& binDir, const std::string& vmType);
#endif

// Pure helpers.
// The directory of a java executable with its trailing backslash: the path less
// "javaw.exe" when it ends so (any case), else less its last 8 characters ("java.exe").
std::string exeDirectoryPart(const std::string& exePath);
// The bin directory without the trailing backslash.
std::string binDirectoryOf(const std::string& exePath);
// exeDirectoryPart followed by "..".
std::string jvmHomeOf(const std::string& exePath);
// The VM-type directories tried after the configured one.
extern const char* const kVmTypes[5];
