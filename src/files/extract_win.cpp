#include <windows.h>
#include "extract.h"
std::string& tempDir() { static std::string* d = new std::string(); return *d; }
int32_t unextractedPosition() { return 0; }
int extractFiles() { return 0; }
void emptyDirectory(const std::string&, bool) {}
