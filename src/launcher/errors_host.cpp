// Host version of showing errors: standard error and _Exit, so that tests of
// other modules can check fatal paths with death tests.
#include <cstdio>
#include <cstdlib>

#include "errors.h"
#include "log.h"

void showErrorText(const std::string& text) {
    std::string composed = composeErrorText(text, logFilePath());
    std::fprintf(stderr, "%s\n", composed.c_str());
    std::fflush(stderr);
}

void exitLauncher(int code) {
    std::fflush(nullptr);
    std::_Exit(code);
}
