// Host log sink: lines are kept in memory so that unit tests can assert on them.
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "log.h"

namespace {
bool gRequested = false;
bool gKeep = true;
std::mutex& lock() {
    static std::mutex* m = new std::mutex();
    return *m;
}
std::vector<std::string>& lines() {
    static std::vector<std::string>* v = new std::vector<std::string>();
    return *v;
}
void add(const char* prefix, const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(&text[0], text.size() + 1, format, args);
    std::lock_guard<std::mutex> guard(lock());
    if (!gKeep) return;
    std::vector<std::string>& kept = lines();
    if (kept.size() >= kHostLogLineLimit) kept.erase(kept.begin(), kept.begin() + kHostLogLineLimit / 2);
    kept.push_back(prefix + text);
}
}  // namespace

void logMessage(const char* format, ...) {
    va_list args;
    va_start(args, format);
    add("", format, args);
    va_end(args);
}

void logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    add("ERROR: ", format, args);
    va_end(args);
}

const char* logFilePath() { return nullptr; }
void setLogRequested() { gRequested = true; }
bool logRequested() { return gRequested; }
std::vector<std::string>& hostLogLines() { return lines(); }
void hostLogKeepLines(bool keep) {
    std::lock_guard<std::mutex> guard(lock());
    gKeep = keep;
}
void hostLogClear() {
    std::lock_guard<std::mutex> guard(lock());
    lines().clear();
}
