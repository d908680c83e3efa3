// System and module queries of the VM invocation on Windows.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <jni.h>

#include "files/extract.h"
#include "files/tempdir.h"
#include "instance/single_instance.h"
#include "java_vm_launcher_platform.h"
#include "jvm/vmlib.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "java_vm_launcher.h"

uint32_t currentProcessId() { return GetCurrentProcessId(); }
int consoleOutputCodePage() { return static_cast<int>(GetConsoleOutputCP()); }
// The C runtime's copy, which setNativeLibraryPath and others keep in step with _putenv.
bool runtimeEnvironmentDefined(const char* name) { return std::getenv(name) != nullptr; }
void* jniCreateJavaVmEntry() { return createJavaVmEntry(); }
bool launcherSemaphoreName(std::string* name) {
    const std::string* semaphore = semaphoreName();
    if (!semaphore) return false;
    *name = *semaphore;
    return true;
}
bool launcherLanguageRestart() { return languageRestart(); }
int32_t launcherUnextractedPosition() { return unextractedPosition(); }
std::string launcherProcessCommFile(uint32_t processId) { return processCommFileName(processId); }

namespace {
struct ThreadWork {
    void (*work)(void*);
    void* context;
};
DWORD WINAPI threadEntry(void* argument) {
    ThreadWork* work = static_cast<ThreadWork*>(argument);
    work->work(work->context);
    return 0;
}
}  // namespace

bool runOnNewThread(uint64_t stackBytes, void (*work)(void*), void* context) {
    ThreadWork job{work, context};
    HANDLE thread = CreateThread(nullptr, static_cast<SIZE_T>(stackBytes), threadEntry, &job,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (!thread) {
        logError("CreateThread failed (error %lu)", GetLastError());
        return false;
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return true;
}

// The VM's output hook. The VM formats with the conventions of its own C runtime and hands
// over a FILE of that runtime (its standard output or error), so the hook formats and writes
// through that same runtime: the universal C runtime of today's runtimes, or the Visual C++ 2010
// to 2013 runtimes of Java 8 to 10. The text also goes into the diagnostic log.
namespace {

// ucrtbase.dll: what vsnprintf and vfprintf of its headers call.
using UcrtFormat = int(__cdecl*)(unsigned long long, char*, size_t, const char*, void*, va_list);
using UcrtPrint = int(__cdecl*)(unsigned long long, FILE*, const char*, void*, va_list);
// msvcr100.dll and its successors up to 2013.
using MsvcrFormat = int(__cdecl*)(char*, size_t, const char*, va_list);
using MsvcrPrint = int(__cdecl*)(FILE*, const char*, va_list);

// Set once before the VM is created, read by the VM's threads.
UcrtFormat gUcrtFormat = nullptr;
UcrtPrint gUcrtPrint = nullptr;
MsvcrFormat gMsvcrFormat = nullptr;
MsvcrPrint gMsvcrPrint = nullptr;

// _CRT_INTERNAL_PRINTF_STANDARD_SNPRINTF_BEHAVIOR: C99 results for the formatting call.
constexpr unsigned long long kStandardSnprintf = 2;

jint JNICALL vmOutput(FILE* stream, const char* format, va_list args) {
    char text[2048];
    va_list forLog;
    va_copy(forLog, args);
    int length = gUcrtFormat ? gUcrtFormat(kStandardSnprintf, text, sizeof text, format, nullptr, forLog)
                             : gMsvcrFormat(text, sizeof text - 1, format, forLog);
    va_end(forLog);
    text[sizeof text - 1] = '\0';
    int written = gUcrtPrint ? gUcrtPrint(0, stream, format, nullptr, args) : gMsvcrPrint(stream, format, args);
    if (length > 0) {
        std::string line(text);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (!line.empty()) logMessage("JVM: %s", line.c_str());
    }
    return written;
}

}  // namespace

void* vmOutputHook() {
    if (!logFilePath()) return nullptr;
    for (const char* name : {"msvcr120.dll", "msvcr110.dll", "msvcr100.dll"}) {
        HMODULE crt = GetModuleHandleA(name);
        if (!crt) continue;
        gMsvcrFormat = reinterpret_cast<MsvcrFormat>(reinterpret_cast<void*>(GetProcAddress(crt, "_vsnprintf")));
        gMsvcrPrint = reinterpret_cast<MsvcrPrint>(reinterpret_cast<void*>(GetProcAddress(crt, "vfprintf")));
        if (gMsvcrFormat && gMsvcrPrint) return reinterpret_cast<void*>(&vmOutput);
    }
    gMsvcrFormat = nullptr;
    gMsvcrPrint = nullptr;
    HMODULE ucrt = GetModuleHandleA("ucrtbase.dll");
    if (!ucrt) return nullptr;
    gUcrtFormat = reinterpret_cast<UcrtFormat>(reinterpret_cast<void*>(GetProcAddress(ucrt, "__stdio_common_vsprintf")));
    gUcrtPrint = reinterpret_cast<UcrtPrint>(reinterpret_cast<void*>(GetProcAddress(ucrt, "__stdio_common_vfprintf")));
    if (gUcrtFormat && gUcrtPrint) return reinterpret_cast<void*>(&vmOutput);
    gUcrtFormat = nullptr;
    gUcrtPrint = nullptr;
    return nullptr;
}


namespace {
void __cdecl processEnding() {
    if (vmCreationInProgress()) vmEndedTheProcessWhileStarting();
}
}  // namespace

// HotSpot ends the process through its C runtime's exit() when it cannot be created (its
// heap cannot be reserved, for one), so JNI_CreateJavaVM never returns: a function registered
// with that runtime's atexit table runs then, before the process is gone.
void watchVmCreation() {
    using AtExit = int(__cdecl*)(void(__cdecl*)());
    const struct {
        const char* module;
        const char* function;
    } kRuntimes[] = {{"msvcr120.dll", "atexit"}, {"msvcr110.dll", "atexit"}, {"msvcr100.dll", "atexit"},
                     {"ucrtbase.dll", "_crt_atexit"}};
    for (const auto& runtime : kRuntimes) {
        HMODULE crt = GetModuleHandleA(runtime.module);
        if (!crt) continue;
        AtExit atExit = reinterpret_cast<AtExit>(reinterpret_cast<void*>(GetProcAddress(crt, runtime.function)));
        if (atExit && atExit(processEnding) == 0) return;
    }
    logMessage("no C runtime of the VM to watch its start with");
}
