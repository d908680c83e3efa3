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

void expandVariables(std::string& text) {
    ExpansionContext context;
    context.exeDirectory = exeDirectory();
    context.tempDir = tempDir();
    context.jvmHome = jvmHome();
    // The system's temporary directory cannot change during a start: it is selected
    // (with its log lines) by the first expansion, and every later one reuses it.
    static const std::string* systemTempDir = new std::string(selectTempPath());
    context.systemTempDir = *systemTempDir;
    context.environment = environmentEntries();
    expandVariablesWith(text, context);
}
