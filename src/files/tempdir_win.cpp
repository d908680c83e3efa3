#include <windows.h>
#include "tempdir.h"
std::string selectTempPath() { return ""; }
bool isWritableDirectory(const std::string&) { return false; }
std::string createTempFileName() { return ""; }
std::string processCommFileName(uint32_t) { return ""; }
