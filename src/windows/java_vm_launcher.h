// Creating the VM and calling the Java-side launcher class.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <jni.h>

// Creates the VM, runs the first-run check, calls main of the launcher class
// and (with destroyAfterMain) destroys the VM. False when the VM could not be
// created or main ended with an exception.
bool launchProgram(const std::vector<std::u16string>& argumentList, bool destroyAfterMain);
// Why launchProgram returned false: the message to show (1005 when the VM could not
// be created, 1010 when a class is missing, 1014 when main ended with an exception),
// its argument ("" for none) and its "{details}".
struct LaunchFailure {
    int32_t id = 1005;
    std::string argument;
    std::string details;
};
const LaunchFailure& launchFailure();
// What JNI_CreateJavaVM's result means, for the user ("" for JNI_OK).
std::string createVmResultText(int result);
// The message for an exception that ended main, given its toString text ("class" or
// "class: message"): 1010 with the class name when it is a ClassNotFoundException of
// the configured main class, else 1014 with the text.
LaunchFailure exceptionFailure(const std::string& exceptionText, const std::string& mainClass);

// The process-wide VM; valid once vmExists() is true.
JavaVM* javaVm();
bool vmExists();


// The steps of launchProgram, exposed for tests.
// The launcher's own system properties, in their fixed order (each at most 8,191 bytes).
std::vector<std::string> buildLauncherProperties();
// The five leading arguments of the launcher class.
void buildLauncherArguments(std::vector<std::u16string>& list);
// The whole argument list of the launcher class's main: the five launcher arguments, element 0
// of argumentList, the configured application arguments, then the command-line arguments
// without "-J" ones (when accepted as VM options) and without "-Dsun.locale.formatasdefault=" ones.
std::vector<std::u16string> buildMainArguments(const std::vector<std::u16string>& argumentList);
// "com/marlowkit/runtime/launcher/WinLauncher" or "com/tovex/runtime/WinLauncher".
std::string launcherClassName();
bool createVm(const std::vector<std::u16string>& argumentList, const std::vector<std::string>& launcherProperties);
// Creates the VM from a complete option list that lives until the process ends.
bool createVmWithOptions(const std::vector<std::string>* options);
// Text the VM printed itself (its output hook): kept while the VM is being created, so that the
// message of a VM that gives up can say why.
void noteVmOutput(const char* text);
// The last line the VM printed while it was being created ("" when none).
std::string vmCreationOutput();
// The stack the Java program's main thread needs: the bytes of the last "-Xss" option
// (k, m and g as the VM reads them); 0 when there is none or the VM would refuse its value.
uint64_t mainThreadStackSize(const std::vector<std::string>& options);
// Larger stacks than this are left to the VM to refuse.
constexpr uint64_t kMaxMainThreadStack = 1ull << 40;
bool callMain(const std::vector<std::u16string>& argumentList);
bool checkFirstRun();
