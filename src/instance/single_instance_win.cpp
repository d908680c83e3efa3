#include <windows.h>
#include "single_instance.h"
void checkSingleInstance() {}
const std::string* semaphoreName() { return nullptr; }
void activateProcessWindows(uint32_t, bool) {}
int countVisibleWindows(uint32_t) { return 0; }
