#include <windows.h>
#include "paths.h"
int fileCodePage() { return 0; }
std::u16string toUtf16(const std::string& s, int) { return std::u16string(s.begin(), s.end()); }
std::string fromUtf16(const std::u16string& w, int, bool* d) { if (d) *d = false; std::string s; for (char16_t c : w) s += static_cast<char>(c); return s; }
const std::string& getModulePath() { static std::string p; return p; }
const std::string& exeDirectory() { static std::string p; return p; }
void collapseBackslashes(std::string&) {}
void toLowerPath(std::string&) {}
bool isRelativePath(const std::string&) { return true; }
bool findFile(const std::string&, uint64_t*) { return false; }
bool pathExists(const std::string&) { return false; }
std::string makeAbsolutePath(const std::string& p, const char*) { return p; }
std::string getFullPath(const std::string& p, bool) { return p; }
std::string makeAbsolutePathList(const std::string& l) { return l; }
