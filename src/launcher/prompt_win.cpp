#include <windows.h>
#include "prompt.h"
void applyWorkingDirectory() {}
void promptLogFile() {}
