// System queries of the option assembly on Windows.
#include <windows.h>

#include "files/extract.h"
#include "files/handles_win.h"
#include "files/paths.h"
#include "options_platform.h"

std::string launcherTempDir() { return tempDir(); }

bool readEnvironment(const std::string& name, std::string* value) {
    if (!environmentText(name.c_str(), *value)) return false;
    // Longer than a path buffer: the first 8,191 bytes.
    if (value->size() > kPathBufferSize - 1) value->resize(kPathBufferSize - 1);
    return true;
}

std::string longPathName(const std::string& path) {
    char buffer[kPathBufferSize];
    DWORD length = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return path;
    std::string longForm(buffer, length);
    // A long form that the code page cannot hold comes back with "?" for those characters
    // and names nothing: the given (short) form is kept.
    if (longForm.find('?') != std::string::npos && path.find('?') == std::string::npos) return path;
    return longForm;
}

std::vector<std::string> findFileNames(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA(pattern.c_str(), &data));
    if (!find.valid()) return names;
    do {
        names.emplace_back(data.cFileName);
    } while (FindNextFileA(find.get(), &data));
    return names;
}

bool optionPathExists(const std::string& path) { return pathExists(path); }

FILE* openTextFile(const std::string& path) { return std::fopen(path.c_str(), "rt"); }
