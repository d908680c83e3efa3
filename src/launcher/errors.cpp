// Configured messages and fatal exits; the showing itself is platform code.
#include "errors.h"

#include <atomic>
#include <cstring>

#include "config.h"
#include "files/paths.h"
#include "texts.h"

namespace {
// Written on the main thread only; read when an error is shown.
bool gMessageBoxes = true;
// Set by the splash thread once its window exists (never cleared), read by the main thread.
std::atomic<void*> gOwnerWindow{nullptr};
}  // namespace

void disableMessageBoxes() { gMessageBoxes = false; }
bool messageBoxesEnabled() { return gMessageBoxes; }
void setErrorOwnerWindow(void* window) { gOwnerWindow.store(window); }
void* errorOwnerWindow() { return gOwnerWindow.load(); }

std::string applyMessageArgument(const std::string& text, const char* argument) {
    std::string out = text;
    if (!argument) return out;
    size_t at = out.find(texts::kMessageArgument);
    if (at != std::string::npos) out.replace(at, std::strlen(texts::kMessageArgument), argument);
    return out;
}

std::string composeErrorText(const std::string& text, const char* longLogPath) {
    if (!longLogPath) return text;
    return text + "\n\nLog: " + longLogPath;
}

std::string messageText(int32_t id) {
    const auto& wide = wideStringTable();
    auto it = wide.find(id);
    if (it == wide.end()) return getConfigString(id, kPathBufferSize);
    std::string text = fromUtf16(it->second, 0);
    if (text.size() > kPathBufferSize - 1) text.resize(kPathBufferSize - 1);
    return text;
}

void showMessage(int32_t id, const char* argument) {
    showErrorText(applyMessageArgument(messageText(id), argument));
}

void fatalMessage(int32_t id, const char* argument) {
    showMessage(id, argument);
    exitLauncher(1);
}

void fatalText(const char* text) {
    showErrorText(text);
    exitLauncher(1);
}
