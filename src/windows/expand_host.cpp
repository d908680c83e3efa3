// expandVariables on the host: the executable's directory of the path utilities,
// values set by tests for the rest, and the real process environment.
#include "expand_host.h"
#include "files/paths.h"
#include "options_platform.h"

extern char** environ;

HostExpansionValues& hostExpansionValues() {
    static HostExpansionValues* values = new HostExpansionValues();
    return *values;
}

void expandVariables(std::string& text) {
    ExpansionContext context;
    context.exeDirectory = exeDirectory();
    context.tempDir = launcherTempDir();
    context.jvmHome = hostExpansionValues().jvmHome;
    context.systemTempDir = hostExpansionValues().systemTempDir;
    for (char** entry = environ; entry && *entry; ++entry) context.environment.emplace_back(*entry);
    expandVariablesWith(text, context);
}

// The host reads environ at every expansion: nothing is kept.
void environmentChanged() {}
