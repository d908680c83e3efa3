#include <windows.h>
#include "vmlib.h"
bool LoadDLL(bool) { return false; }
const std::string& jvmHome() { static std::string h; return h; }
void* createJavaVmEntry() { return nullptr; }
