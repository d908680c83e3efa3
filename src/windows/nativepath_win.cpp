// Puts the configured native library directories in front of PATH, in the
// process environment and in the C runtime's copy of it.
#include <windows.h>

#include <cstdlib>

#include "expand.h"
#include "files/paths.h"
#include "launcher/config.h"
#include "launcher/log.h"
#include "nativepath.h"

namespace {
// The whole current PATH ("" when it is not defined).
std::string currentPath() {
    std::string value;
    environmentText("PATH", value);
    return value;
}
}  // namespace

void setNativeLibraryPath() {
    std::string directories = getConfigString(CFG_NATIVE_LIB_DIRS);
    logMessage("native lib dir is %s", directories.c_str());
    expandVariables(directories);
    std::vector<std::string> leftOut;
    std::string value = composeNativePath(makeAbsolutePathList(directories), currentPath(), &leftOut);
    for (const std::string& directory : leftOut)
        logError("native lib dir %s left out: PATH would be longer than %d characters", directory.c_str(),
                 static_cast<int>(kNativePathLimit));
    if (SetEnvironmentVariableA("PATH", value.c_str()))
        logMessage("Setting PATH (native libs) %s", value.c_str());
    else
        logMessage("Setting PATH (native libs) %s failed with error %d", value.c_str(),
                   static_cast<int>(GetLastError()));
    // The C runtime keeps its own copy (getenv); _putenv copies the text.
    std::string assignment = "PATH=" + value;
    _putenv(assignment.c_str());
    environmentChanged();
}
