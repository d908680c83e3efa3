// The diagnostic log. Called before anything else is set up and from two
// threads, so its state is plain data: no static objects with constructors.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "crt_format_win.h"
#include "files/paths.h"
#include "log.h"
#include "texts.h"

namespace {

constexpr DWORD kBufferSize = 8192;
const char kLogPrefix[] = "mlk_nlog_";
const char kFallbackPath[] = "c:\\mlk_nlog";

// The lock is created without protection on the first call, which happens on
// the main thread before the splash thread exists. Everything below it is
// only touched while the lock is held.
CRITICAL_SECTION gLock;
bool gLockReady = false;
bool gRequested = false;    // written by the driver before the first line
bool gInitialized = false;  // the first call has decided
char* gPath = nullptr;      // owned, never released
FILE* gFile = nullptr;

bool isDirectory(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool variableIsYes(const char* name) {
    std::string value;
    return environmentText(name, value) && value == "yes";
}

char* copyText(const char* text) {
    size_t n = std::strlen(text) + 1;
    char* copy = new char[n];
    std::memcpy(copy, text, n);
    return copy;
}

void decide() {
    gInitialized = true;
    if (!gRequested && !variableIsYes(texts::kLogVariable) && !variableIsYes(texts::kLogVariableLegacy)) return;

    char directory[kBufferSize];
    char path[kBufferSize + 32];
    if (chooseLogDirectory(directory, sizeof directory) && createNumberedLogFile(directory, path, sizeof path)) {
        gPath = copyText(path);
        gFile = std::fopen(gPath, "wt");
    }
    if (!gFile) {
        gPath = copyText(kFallbackPath);
        gFile = std::fopen(gPath, "wt");
    }
    if (!gFile) return;
    char module[kBufferSize];
    DWORD n = GetModuleFileNameA(nullptr, module, kBufferSize);
    if (n == 0 || n >= kBufferSize) module[0] = '\0';
    std::time_t now = std::time(nullptr);
    const char* when = std::ctime(&now);
    crt::print(gFile, "Started executable %s at %s\n", module, when ? when : "\n");
    std::fflush(gFile);
}

void writeLine(const char* prefix, const char* format, va_list args) {
    if (!gLockReady) {
        InitializeCriticalSection(&gLock);
        gLockReady = true;
    }
    EnterCriticalSection(&gLock);
    if (gPath && !gFile) gFile = std::fopen(gPath, "at");
    if (!gInitialized) decide();
    if (gFile) {
        if (prefix) std::fputs(prefix, gFile);
        crt::vprint(gFile, format, args);
        std::fputs("\n", gFile);
        std::fclose(gFile);
        gFile = nullptr;
    }
    LeaveCriticalSection(&gLock);
}

}  // namespace

bool chooseLogDirectory(char* directory, size_t size) {
    char buffer[kBufferSize];
    // Read through the wide function (see environmentText); a TMP that the code page
    // cannot hold is taken in its short form, or not at all.
    std::string tmp;
    bool representable = true;
    DWORD n = 0;
    if (environmentText("TMP", tmp, &representable) && representable && !tmp.empty() && tmp.size() < kBufferSize) {
        std::memcpy(buffer, tmp.c_str(), tmp.size() + 1);
        n = static_cast<DWORD>(tmp.size());
    }
    if (n > 0 && isDirectory(buffer)) {
    } else if (isDirectory("c:\\")) {
        std::strcpy(buffer, "c:\\");
    } else {
        n = GetCurrentDirectoryA(kBufferSize, buffer);
        if (n == 0 || n >= kBufferSize) return false;
        // The root of the current drive, else the current directory itself.
        if (buffer[1] == ':' && buffer[2] == '\\') {
            char root[4] = {buffer[0], ':', '\\', '\0'};
            if (isDirectory(root)) std::strcpy(buffer, root);
        }
    }
    if (std::strlen(buffer) + 1 > size) return false;
    std::strcpy(directory, buffer);
    return true;
}

bool createNumberedLogFile(const char* directory, char* path, size_t size) {
    size_t length = std::strlen(directory);
    bool separator = length > 0 && directory[length - 1] != '\\' && directory[length - 1] != '/';
    for (unsigned number = 2; number < 100000; ++number) {
        int n = crt::format(path, size, "%s%s%s%u", directory, separator ? "\\" : "", kLogPrefix, number);
        if (n < 0 || static_cast<size_t>(n) >= size) return false;
        // Creating the file claims the name: two launchers never share one.
        HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return true;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

void logMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine(nullptr, format, args);
    va_end(args);
}

void logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    writeLine("ERROR: ", format, args);
    va_end(args);
}

const char* logFilePath() { return gPath; }
void setLogRequested() { gRequested = true; }
bool logRequested() { return gRequested; }

void logResetForTesting() {
    if (gLockReady) EnterCriticalSection(&gLock);
    if (gFile) std::fclose(gFile);
    gFile = nullptr;
    gPath = nullptr;  // the old path stays allocated, as it would for the life of a process
    gInitialized = false;
    gRequested = false;
    if (gLockReady) LeaveCriticalSection(&gLock);
}
