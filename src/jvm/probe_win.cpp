// The check of a java executable: existence, version (from the per-user cache
// or from running it with "-version"), limits and the javaw.exe rule.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "files/handles_win.h"
#include "files/paths.h"
#include "files/tempdir.h"
#include "jvm/probe.h"
#include "jvm/vm_check.h"
#include "jvm/versions.h"
#include "launcher/config.h"
#include "launcher/log.h"

namespace {
// At most kMaxProbeOutput bytes of file; false when it cannot be opened.
bool readOutputFile(const std::string& file, std::string& contentOut) {
    Handle h(CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.get()) return false;
    contentOut.clear();
    std::vector<char> chunk(16384);
    while (contentOut.size() < kMaxProbeOutput) {
        DWORD want = static_cast<DWORD>(std::min(chunk.size(), kMaxProbeOutput - contentOut.size()));
        DWORD got = 0;
        if (!ReadFile(h.get(), chunk.data(), want, &got, nullptr) || got == 0) break;
        contentOut.append(chunk.data(), got);
    }
    return true;
}

// For the log: a bounded, printable excerpt of a line of output.
std::string excerpt(const std::string& line) {
    const size_t limit = 200;
    std::string out = line.substr(0, limit);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 32) c = '?';
    if (line.size() > limit) out += "... (" + std::to_string(line.size()) + " bytes)";
    return out;
}
}  // namespace

std::string runtimeJavaExe(const std::string& home) {
    std::string exe = home + "\\jre\\bin\\java.exe";
    return pathExists(exe) ? exe : home + "\\bin\\java.exe";
}

bool javaExeForHome(std::string& exeOut, const std::string& home) {
    if (getConfigInt(CFG_REQUIRE_JDK) != 0) {
        // A development kit's java executable is taken from its embedded runtime.
        exeOut = home + "\\jre\\bin\\java.exe";
        bool isKit = pathExists(home + "\\lib\\tools.jar");
        if (!isKit) logMessage("%s\\lib\\tools.jar doesn't exist", home.c_str());
        return isKit;
    }
    exeOut = runtimeJavaExe(home);
    return true;
}

namespace {
bool checkJavaExeWith(std::string& exePath, std::string& versionOut, const std::string& min, const std::string& max,
                      bool prereleaseAllowed, bool testVmLibrary) {
    logMessage("checkJavaExe (%s, [out], %s, %s, %d)", exePath.c_str(), min.c_str(), max.c_str(),
               prereleaseAllowed ? 1 : 0);
    exePath = getFullPath(exePath, false);
    bool result = false;
    uint64_t lastWriteTime = 0;
    if (exePath.empty() || !findFile(exePath, &lastWriteTime)) {
        logMessage("file doesn't exist");
    } else {
        logMessage("file exists");
        versionOut.clear();
        VmLibraryVerdict vm;
        if (testVmLibrary) vm = checkVmLibrary(exePath, std::string());
        if (testVmLibrary && !vm.usable) {
            logMessage("VM library refused: %s", vm.reason.c_str());
            noteRefusedVmLibrary(vm);
        } else if (readVersionCache(exePath, lastWriteTime, versionOut)) {
            logMessage("got version from registry %s", versionOut.c_str());
            result = isVersionAccepted(versionOut, min, max, prereleaseAllowed);
        } else if (probeJavaVersion(exePath, lastWriteTime, versionOut)) {
            logMessage("got version from execution %s", versionOut.c_str());
            if (!writeVersionCache(exePath, lastWriteTime, versionOut))
                logMessage("could not write version cache entry");
            result = isVersionAccepted(versionOut, min, max, prereleaseAllowed);
        } else {
            logMessage("couldn't get version");
        }
        if (result && getConfigInt(CFG_EXE_TYPE) == 1 && exePath.size() >= 4) {
            // A GUI launcher needs the window-less executable beside it.
            exePath = exePath.substr(0, exePath.size() - 4) + "w.exe";
            result = pathExists(exePath);
            if (!result) logMessage("%s doesn't exist", exePath.c_str());
        }
    }
    logMessage("checkJavaExe returning %d", result ? 1 : 0);
    return result;
}
}  // namespace

bool checkJavaExe(std::string& exePath, std::string& versionOut, const std::string& min, const std::string& max,
                  bool prereleaseAllowed) {
    return checkJavaExeWith(exePath, versionOut, min, max, prereleaseAllowed, true);
}

bool checkJavaExeVersion(std::string& exePath, std::string& versionOut, const std::string& min,
                         const std::string& max, bool prereleaseAllowed) {
    return checkJavaExeWith(exePath, versionOut, min, max, prereleaseAllowed, false);
}

bool probeJavaVersion(const std::string& exePath, uint64_t lastWriteTime, std::string& versionOut) {
    // The path is quoted: an unquoted path with blanks lets the system try its
    // first word as a program.
    std::vector<char> shortPath(kPathBufferSize, '\0');
    DWORD n = GetShortPathNameA(exePath.c_str(), shortPath.data(), static_cast<DWORD>(shortPath.size()));
    std::string program = (n > 0 && n < shortPath.size()) ? std::string(shortPath.data(), n) : exePath;
    std::string commandLine = "\"" + program + "\" -version";

    std::string outputFile = createTempFileName();
    Handle errorHandle;
    {
        // Shared for deleting too: a process that inherited the handle (under Wine the console
        // host of a console child of a GUI launcher) may hold it a little longer than the child;
        // the deletion below then takes effect when that last handle closes instead of failing.
        Handle created(CreateFileA(outputFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
        if (created.get()) {
            HANDLE self = GetCurrentProcess();
            if (!DuplicateHandle(self, created.get(), self, errorHandle.out(), 0, TRUE, DUPLICATE_SAME_ACCESS))
                *errorHandle.out() = nullptr;
        } else {
            logMessage("could not create %s (error %d)", outputFile.c_str(), static_cast<int>(GetLastError()));
        }
    }

    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = errorHandle.get();
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    std::vector<char> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back('\0');
    if (!CreateProcessA(nullptr, commandBuffer.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                        nullptr, &startup, &process)) {
        logMessage("Could not create process %s > %s (error %d)", commandLine.c_str(), outputFile.c_str(),
                   static_cast<int>(GetLastError()));
        errorHandle.reset();
        DeleteFileA(outputFile.c_str());
        return false;
    }
    Handle processHandle(process.hProcess);
    Handle threadHandle(process.hThread);

    DWORD waited = WaitForSingleObject(processHandle.get(), kProbeTimeoutMs);
    DWORD exitCode = STILL_ACTIVE;
    if (!GetExitCodeProcess(processHandle.get(), &exitCode)) exitCode = STILL_ACTIVE;
    logMessage("Exit Code %d", static_cast<int>(exitCode));
    if (exitCode == STILL_ACTIVE || waited != WAIT_OBJECT_0) {
        logMessage("Terminating process");
        TerminateProcess(processHandle.get(), 1);
        // The output file can only be removed once the process has let go of it.
        WaitForSingleObject(processHandle.get(), 10000);
        exitCode = STILL_ACTIVE;
    } else if (exitCode != 0) {
        // Remembered, so that a failing executable is not started again until its file changes.
        if (!writeVersionCache(exePath, lastWriteTime, "1.0.0")) logMessage("could not write version cache entry");
    }
    processHandle.reset();
    threadHandle.reset();
    errorHandle.reset();

    bool found = false;
    if (exitCode == 0) {
        std::string output;
        std::string line;
        if (!readOutputFile(outputFile, output)) {
            logMessage("could not read %s (error %d)", outputFile.c_str(), static_cast<int>(GetLastError()));
        } else if (parseVersionOutput(output, versionOut, &line)) {
            logMessage("Java version: %s", versionOut.c_str());
            found = true;
        } else {
            logMessage("no version in the output of %s: %s", exePath.c_str(), excerpt(line).c_str());
        }
    }
    DeleteFileA(outputFile.c_str());
    return found;
}

bool readVersionCache(const std::string& exePath, uint64_t lastWriteTime, std::string& versionOut) {
    std::string keyName = versionCacheKeyName(exePath);
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, key.out()) !=
        ERROR_SUCCESS)
        return false;

    unsigned char stamp[16];
    DWORD type = 0;
    DWORD size = sizeof(stamp);
    LONG status = RegQueryValueExA(key.get(), "LastWriteTime", nullptr, &type, stamp, &size);
    if (status != ERROR_SUCCESS || type != REG_BINARY || size != 8) {
        logMessage("ignoring cached entry %s: LastWriteTime unusable (status %d, type %d, %d bytes)",
                   keyName.c_str(), static_cast<int>(status), static_cast<int>(type), static_cast<int>(size));
        return false;
    }
    std::string expected = encodeLastWriteTime(lastWriteTime);
    if (std::memcmp(stamp, expected.data(), 8) != 0) {
        logMessage("ignoring cached entry %s: file changed", keyName.c_str());
        return false;
    }

    std::vector<char> version(kMaxVersionLength + 1, '\0');
    size = static_cast<DWORD>(version.size());
    status = RegQueryValueExA(key.get(), "Version", nullptr, &type, reinterpret_cast<BYTE*>(version.data()), &size);
    if (status != ERROR_SUCCESS || type != REG_SZ || size > version.size()) {
        logMessage("ignoring cached entry %s: Version unusable (status %d, type %d)", keyName.c_str(),
                   static_cast<int>(status), static_cast<int>(type));
        return false;
    }
    // Stored without terminator: the text ends after the returned byte count.
    std::string text(version.data(), size);
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    if (text.size() > kMaxVersionLength) {
        logMessage("ignoring cached entry %s: Version too long", keyName.c_str());
        return false;
    }
    versionOut = text;
    return true;
}

bool writeVersionCache(const std::string& exePath, uint64_t lastWriteTime, const std::string& version) {
    std::string keyName = versionCacheKeyName(exePath);
    RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        return false;
    std::string stamp = encodeLastWriteTime(lastWriteTime);
    bool ok = RegSetValueExA(key.get(), "LastWriteTime", 0, REG_BINARY,
                             reinterpret_cast<const BYTE*>(stamp.data()), 8) == ERROR_SUCCESS;
    ok = RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.data()),
                        static_cast<DWORD>(version.size())) == ERROR_SUCCESS && ok;
    return ok;
}
