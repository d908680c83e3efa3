#include <windows.h>
#include <cstdio>
#include "errors.h"
void showErrorText(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); std::fflush(stderr); }
void exitLauncher(int code) { ExitProcess(static_cast<UINT>(code)); }
