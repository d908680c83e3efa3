// expandVariables with the process's current values.
#include <windows.h>

#include "expand.h"
#include "files/extract.h"
#include "files/paths.h"
#include "files/tempdir.h"
#include "jvm/vmlib.h"

namespace {
// The process environment block, in block order.
std::vector<std::string> environmentEntries() {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    if (!block) return entries;
    for (const char* entry = block; *entry; entry += std::char_traits<char>::length(entry) + 1)
        entries.emplace_back(entry);
    FreeEnvironmentStringsA(block);
    return entries;
}
}  // namespace

// The copy of the environment block that expansions use; taken anew after the launcher
// changes a variable (main thread only, where every expansion runs).
std::vector<std::string>* gEnvironment = nullptr;

void environmentChanged() {
    delete gEnvironment;
    gEnvironment = nullptr;
}

void expandVariables(std::string& text) {
    // The system's temporary directory cannot change during a start: it is selected
    // (with its log lines) by the first expansion, and every later one reuses it.
    static const std::string* systemTempDir = new std::string(selectTempPath());
    if (text.size() <= kExpandedTextLimit && !mayHoldVariables(text)) return;  // nothing to expand
    if (!gEnvironment) gEnvironment = new std::vector<std::string>(environmentEntries());
    ExpansionContext context;
    context.exeDirectory = exeDirectory();
    context.tempDir = tempDir();
    context.jvmHome = jvmHome();
    context.systemTempDir = *systemTempDir;
    context.environment = *gEnvironment;
    expandVariablesWith(text, context);
}
