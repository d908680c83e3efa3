// Loading the VM library of the runtime found.
#pragma once
#include <string>

// Runs the search, loads jvm.dll and resolves JNI_CreateJavaVM; shows the
// fitting message and returns false when that fails.
bool LoadDLL(bool showErrors);
// The runtime's bin directory followed by ".."; empty until the first load attempt.
const std::string& jvmHome();
// The address of JNI_CreateJavaVM in the loaded library, or nullptr.
void* createJavaVmEntry();
