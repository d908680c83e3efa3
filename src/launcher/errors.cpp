#include "errors.h"
#include "config.h"
namespace { bool gBoxes = true; void* gOwner = nullptr; }
void disableMessageBoxes() { gBoxes = false; }
bool messageBoxesEnabled() { return gBoxes; }
void setErrorOwnerWindow(void* w) { gOwner = w; }
void* errorOwnerWindow() { return gOwner; }
std::string applyMessageArgument(const std::string& text, const char* argument) {
    std::string out = text;
    if (!argument) return out;
    size_t at = out.find("{0}");
    if (at != std::string::npos) out.replace(at, 3, argument);
    return out;
}
std::string composeErrorText(const std::string& text, const char* longLogPath) {
    return longLogPath ? text + "\n\nLog: " + longLogPath : text;
}
void showMessage(int32_t id, const char* argument) { showErrorText(applyMessageArgument(getConfigString(id), argument)); }
void fatalMessage(int32_t id, const char* argument) { showMessage(id, argument); exitLauncher(1); }
void fatalText(const char* text) { showErrorText(text); exitLauncher(1); }
