#include <cstdarg>
#include "log.h"
namespace { bool gRequested = false; }
void logMessage(const char*, ...) {}
void logError(const char*, ...) {}
const char* logFilePath() { return nullptr; }
void setLogRequested() { gRequested = true; }
bool logRequested() { return gRequested; }
