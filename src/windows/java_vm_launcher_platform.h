// What the VM invocation asks of the system and of the other modules
// (java_vm_launcher_win.cpp on Windows, java_vm_launcher_host.cpp on the host).
#pragma once
#include <cstdint>
#include <string>

uint32_t currentProcessId();
// The console output code page (GetConsoleOutputCP; 0 without a console).
int consoleOutputCodePage();
// Whether name is defined in the C runtime's copy of the environment.
bool runtimeEnvironmentDefined(const char* name);
// The address of JNI_CreateJavaVM in the loaded VM library, or nullptr.
void* jniCreateJavaVmEntry();
// The single-instance semaphore name; false when the single-instance check did not run.
bool launcherSemaphoreName(std::string* name);
// True when the process was started for a language restart.
bool launcherLanguageRestart();
// The file position just past the last extracted file (0 when nothing was extracted).
int32_t launcherUnextractedPosition();
// The single-instance communication file of processId.
std::string launcherProcessCommFile(uint32_t processId);
// Runs work(context) on a new thread whose stack reserves stackBytes, and waits until it
// has ended; false (work not run) when no such thread can be started.
bool runOnNewThread(uint64_t stackBytes, void (*work)(void*), void* context);
// The VM's output hook for the "vfprintf" option, or nullptr to leave the VM's output alone:
// with the diagnostic log on, the VM's own messages (why it could not be created, its
// warnings) are written where they always go and also into the log.
void* vmOutputHook();
// Makes sure that a VM which ends the process while it is being created (HotSpot does so
// when it cannot reserve its heap) still leads to the launcher's message.
void watchVmCreation();
