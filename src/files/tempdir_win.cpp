// Choice of the temporary directory and the names of temporary files in it.
#include <windows.h>

#include <direct.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "files/paths.h"
#include "files/tempdir.h"
#include "launcher/config_ids.h"
#include "launcher/errors.h"
#include "launcher/log.h"

namespace {
std::string environmentValue(const char* name) {
    std::string value;
    environmentText(name, value);
    return value.size() < kPathBufferSize ? value : std::string();
}

// The long form of path, or false when the system cannot give it.
bool longPathOf(const std::string& path, std::string& longOut) {
    std::vector<char> buffer(kPathBufferSize, '\0');
    DWORD n = GetLongPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size()) return false;
    longOut.assign(buffer.data(), n);
    return true;
}

std::string windowsDirectory() {
    std::vector<char> buffer(kPathBufferSize, '\0');
    UINT n = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
    if (n == 0 || n >= buffer.size()) return std::string();
    return std::string(buffer.data(), n);
}

// The fallback directories, in order, when the system's temporary path cannot
// be expressed in the ANSI code page. Empty when none is writable.
std::string firstWritableFallback() {
    std::string windows = windowsDirectory();
    if (!windows.empty()) {
        std::string candidate = tempNameInDirectory(windows, "temp");
        if (isWritableDirectory(candidate)) return candidate;
    }
    if (isWritableDirectory("c:\\temp")) return "c:\\temp";
    if (isWritableDirectory("c:\\tmp")) return "c:\\tmp";
    if (!windows.empty() && isWritableDirectory(windows)) return windows;
    if (isWritableDirectory("c:\\")) {
        _mkdir("c:\\tmp");
        if (isWritableDirectory("c:\\tmp")) return "c:\\tmp";
    }
    return std::string();
}
}  // namespace

std::string selectTempPath() {
    // Cleared first: a failed call leaves nothing behind to be read.
    std::vector<char> buffer(kPathBufferSize, '\0');
    DWORD result = GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
    DWORD error = GetLastError();
    logMessage("GetTempPath returned %d (last error %d)", static_cast<int>(result), static_cast<int>(error));
    std::string path;
    if (result > 0 && result < buffer.size()) path.assign(buffer.data(), result);

    if (path.empty()) {
        path = environmentValue("HOMEDRIVE") + environmentValue("HOMEPATH");
        if (path.size() >= kPathBufferSize) path.resize(kPathBufferSize - 1);
        logMessage("No temp dir defined. Using home %s", path.c_str());
    } else {
        int made = _mkdir(path.c_str());
        logMessage("make dir returned %d", made);
    }

    // The ANSI functions turn characters outside the code page into "?".
    std::string longForm;
    if (!longPathOf(path, longForm)) {
        logMessage("GetLongPathName failed (last error %d)", static_cast<int>(GetLastError()));
        longForm = path;
    }
    if (longForm.find('?') == std::string::npos) return path;

    logMessage("temp dir %s is not representable in the ANSI code page", longForm.c_str());
    // Its short (8.3) form, where the volume keeps one, names the same directory.
    std::u16string wide(kPathBufferSize, u'\0');
    DWORD wideLength = GetTempPathW(static_cast<DWORD>(kPathBufferSize), reinterpret_cast<wchar_t*>(&wide[0]));
    std::string shortForm;
    if (wideLength > 0 && wideLength < kPathBufferSize) {
        wide.resize(wideLength);
        if (narrowPathOf(wide, shortForm) && shortForm.find('?') == std::string::npos) {
            logMessage("Using the short form %s", shortForm.c_str());
            return shortForm;
        }
    }
    std::string fallback = firstWritableFallback();
    if (fallback.empty()) fatalMessage(CFG_MSG_POWERUSER_REQUIRED, nullptr);
    logMessage("Using temp dir %s", fallback.c_str());
    return fallback;
}

bool isWritableDirectory(const std::string& directory) {
    std::string probe = tempNameInDirectory(directory, "tvx_w_testdir");
    RemoveDirectoryA(probe.c_str());  // left over from an earlier run
    if (!CreateDirectoryA(probe.c_str(), nullptr)) return false;
    bool exists = pathExists(probe);
    RemoveDirectoryA(probe.c_str());
    return exists;
}

std::string createTempFileName() {
    std::string directory = selectTempPath();
    logMessage("tempPath is %s", directory.c_str());
    std::vector<char> buffer(kPathBufferSize + MAX_PATH, '\0');
    std::string file;
    if (GetTempFileNameA(directory.c_str(), "tvx", 0, buffer.data()) != 0) {
        file = buffer.data();
    } else {
        logMessage("GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
        std::srand(static_cast<unsigned>(std::time(nullptr)));
        file = tempNameInDirectory(directory, "tvx" + std::to_string(std::rand()));
    }
    logMessage("tempFile is %s", file.c_str());
    return file;
}

std::string processCommFileName(uint32_t processId) {
    std::string directory = selectTempPath();
    return tempNameInDirectory(directory, "tvx_p" + std::to_string(processId) + ".tmp");
}
