// System and module queries of the VM invocation on the host (Linux, libjvm.so).
#include <pthread.h>
#include <unistd.h>

#include <cstdlib>

#include "java_vm_launcher_platform.h"
#include "options_host.h"

uint32_t currentProcessId() { return static_cast<uint32_t>(getpid()); }
int consoleOutputCodePage() { return hostLauncherState().consoleOutputCodePage; }
bool runtimeEnvironmentDefined(const char* name) { return std::getenv(name) != nullptr; }
void* jniCreateJavaVmEntry() { return hostLauncherState().createJavaVm; }
bool launcherSemaphoreName(std::string* name) {
    if (!hostLauncherState().hasSemaphoreName) return false;
    *name = hostLauncherState().semaphoreName;
    return true;
}
bool launcherLanguageRestart() { return hostLauncherState().languageRestart; }
int32_t launcherUnextractedPosition() { return hostLauncherState().unextractedPosition; }
std::string launcherProcessCommFile(uint32_t processId) {
    return hostLauncherState().processCommFilePrefix + "tvx_p" + std::to_string(processId) + ".tmp";
}

namespace {
struct ThreadWork {
    void (*work)(void*);
    void* context;
};
void* threadEntry(void* argument) {
    ThreadWork* work = static_cast<ThreadWork*>(argument);
    work->work(work->context);
    return nullptr;
}
}  // namespace

bool runOnNewThread(uint64_t stackBytes, void (*work)(void*), void* context) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    ThreadWork job{work, context};
    pthread_t thread;
    bool started = pthread_attr_setstacksize(&attributes, static_cast<size_t>(stackBytes)) == 0 &&
                   pthread_create(&thread, &attributes, threadEntry, &job) == 0;
    pthread_attr_destroy(&attributes);
    if (started) pthread_join(thread, nullptr);
    return started;
}

void* vmOutputHook() { return nullptr; }
