// System and module queries of the VM invocation on Windows.
#include <windows.h>

#include <cstdlib>

#include "files/extract.h"
#include "files/tempdir.h"
#include "instance/single_instance.h"
#include "java_vm_launcher_platform.h"
#include "jvm/vmlib.h"
#include "launcher/launcher.h"

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
