#include <cstdio>
#include <cstdlib>
#include "errors.h"
void showErrorText(const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); std::fflush(stderr); }
void exitLauncher(int code) { std::fflush(nullptr); std::_Exit(code); }
