// Host builds only: the launcher values that expansion takes from other modules in
// the Windows build, set by tests and fuzzers. Kept out of expand.h so that the
// product declarations carry no test state.
#pragma once
#ifndef _WIN32
#include <string>

#include "expand.h"

// The launcher values that expandVariables uses besides the executable's
// directory (paths.h), the extraction directory (hostLauncherState() of
// options_host.h) and the process environment (environ).
struct HostExpansionValues {
    std::string jvmHome, systemTempDir;
};
HostExpansionValues& hostExpansionValues();
#endif
