// Start-up steps after the configuration is read: the configured working
// directory and the prompt that shows where the diagnostic log is written.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "config.h"
#include "crt_format_win.h"
#include "files/paths.h"
#include "launcher.h"
#include "log.h"
#include "prompt.h"
#include "texts.h"

namespace {
std::string formatText(const char* format, const char* a, const char* b = nullptr) {
    int n = crt::format(nullptr, 0, format, a, b);
    if (n <= 0) return std::string();
    std::string text(static_cast<size_t>(n), '\0');
    crt::format(&text[0], text.size() + 1, format, a, b);
    return text;
}
}  // namespace

void applyWorkingDirectory() {
    std::string configured = getConfigString(CFG_WORKING_DIRECTORY, kPathBufferSize);
    if (configured.empty()) {
        logMessage("working directory unchanged");
        return;
    }
    // Relative to the executable's directory, whatever directory the launcher was started in.
    std::string full = getFullPath(configured, true);
    BOOL changed = SetCurrentDirectoryA(full.c_str());
    logMessage("change working directory to %s", full.c_str());
    if (!changed) logError("could not change the working directory %d", static_cast<int>(GetLastError()));
}

void promptLogFile() {
    const char* logPath = logFilePath();
    if (!logPath) logPath = "";
    std::string text = formatText(texts::kLogPromptFormat, logPath);
    if (MessageBoxA(nullptr, text.c_str(), productName(), MB_YESNO) != IDYES) return;

    char shortPath[MAX_PATH] = {};
    DWORD shortLength = GetShortPathNameA(logPath, shortPath, sizeof(shortPath));
    std::string selected;
    if (shortLength > 0 && shortLength < sizeof(shortPath)) {
        selected = shortPath;
    } else {
        // No short form (too long, or short names are off): quote the path so blanks survive.
        selected = std::string("\"") + logPath + "\"";
    }
    char windowsDirectory[MAX_PATH] = {};
    UINT windowsLength = GetWindowsDirectoryA(windowsDirectory, sizeof(windowsDirectory));
    if (windowsLength == 0 || windowsLength >= sizeof(windowsDirectory)) windowsDirectory[0] = '\0';

    std::string commandLine = formatText(texts::kExplorerCommandFormat, windowsDirectory, selected.c_str());
    logMessage("calling %s", commandLine.c_str());
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                        &startup, &process)) {
        logMessage("could not open explorer window %d", static_cast<int>(GetLastError()));
        return;
    }
    // Explorer runs on its own; nothing waits for it.
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}
