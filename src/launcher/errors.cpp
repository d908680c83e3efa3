// Configured messages and fatal exits; the showing itself is platform code.
#include "errors.h"

#include <atomic>
#include <cstring>

#include "config.h"
#include "files/paths.h"
#include "log.h"
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

std::string applyMessageDetails(const std::string& text, const char* details) {
    std::string out = text;
    const size_t placeholder = std::strlen(texts::kMessageDetails);
    std::string with = details ? details : "";
    for (size_t at = out.find(texts::kMessageDetails); at != std::string::npos;
         at = out.find(texts::kMessageDetails, at + with.size()))
        out.replace(at, placeholder, with);
    return out;
}

std::string fillMessage(const std::string& text, const char* argument, const char* details) {
    // Split at the argument's place first: placeholders inside the argument stay as they are.
    size_t at = text.find(texts::kMessageArgument);
    if (at == std::string::npos || !argument) return applyMessageDetails(text, details);
    return applyMessageDetails(text.substr(0, at), details) + argument +
           applyMessageDetails(text.substr(at + std::strlen(texts::kMessageArgument)), details);
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

void showMessage(int32_t id, const char* argument, const char* details) {
    if (id == CFG_MSG_INTERNAL_ERROR && (!details || !*details)) details = texts::kInternalErrorAdvice;
    std::string shown = fillMessage(messageText(id), argument, details);
    logError("message %d shown: %s", static_cast<int>(id), shown.c_str());
    showErrorText(shown);
}

void fatalMessage(int32_t id, const char* argument, const char* details) {
    showMessage(id, argument, details);
    exitLauncher(1);
}

void fatalText(const char* text) {
    logError("message shown: %s", text);
    showErrorText(text);
    exitLauncher(1);
}
