#include <windows.h>
#include <cstring>
#include "launcher.h"
void rebootSystem() {}
bool attachConsole() { return false; }
bool isNtPlatform() { return true; }
std::string commandLineTail(const char* commandLine) { return commandLine; }
