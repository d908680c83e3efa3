#include "java_vm_launcher.h"
bool launchProgram(const std::vector<std::u16string>&, bool) { return false; }
JavaVM* javaVm() { return nullptr; }
bool vmExists() { return false; }
