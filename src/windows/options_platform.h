// What the option assembly and the VM invocation ask of the system and of the
// other modules, declared once so that the assembly is tested on the host too.
// Windows: options_win.cpp and java_vm_launcher_win.cpp; host: *_host.cpp.
#pragma once
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
