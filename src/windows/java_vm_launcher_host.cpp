// System and module queries of the VM invocation on the host (Linux, libjvm.so).
#include <unistd.h>

#include <cstdlib>

#include "java_vm_launcher_platform.h"
#include "options_platform.h"

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
