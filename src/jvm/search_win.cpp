// The search for a usable Java runtime: location files, the configured search
// sequence, a relaxed second look at shipped runtimes, earlier installations
// and the last-resort environment variables.
#include <windows.h>

#include <vector>

#include "files/handles_win.h"
#include "files/paths.h"
#include "jvm/installed.h"
#include "jvm/probe.h"
#include "jvm/registry.h"
#include "jvm/search.h"
#include "jvm/unpack.h"
#include "jvm/vm_check.h"
#include "launcher/config.h"
#include "launcher/log.h"
#include "launcher/texts.h"
#include "windows/expand.h"

namespace {
std::string installationRoot() {
    return withoutTrailingBackslashes(getFullPath(getConfigString(CFG_INSTALLATION_ROOT), true));
}

bool tryLocationFile(const char* relativeName, const char* foundFormat, const char* usingText, std::string& exeOut,
                     std::string& sourceOut, const std::string& min, const std::string& max) {
    std::string line;
    if (!readLocationFile(line, relativeName)) return false;
    logMessage(foundFormat, line.c_str());
    if (!checkLocation(exeOut, line, min, max, false)) return false;
    logMessage("%s", usingText);
    sourceOut = line;
    return true;
}
}  // namespace

bool readLocationFile(std::string& lineOut, const char* relativeName) {
    std::string path = installationRoot() + relativeName;
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    // The first line is at most 8191 bytes; one more for a CR LF after it.
    std::vector<char> buffer(8193);
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
    return firstLocationLine(textFromFile(std::string(buffer.data(), got)), lineOut);
}

bool checkLocation(std::string& exeOut, const std::string& directory, const std::string& min,
                   const std::string& max, bool skipVersionCheck) {
    std::string home = withoutTrailingBackslashes(getFullPath(directory, false));
    unpackRuntime(home);
    bool found = javaExeForHome(exeOut, home);
    if (skipVersionCheck) return true;
    std::string version;
    return found && checkJavaExe(exeOut, version, min, max, true);
}

bool checkEnvironmentVariable(std::string& exeOut, const std::string& name, const std::string& min,
                              const std::string& max) {
    // Read through the wide function: the narrow one cuts values longer in UTF-8 than in UTF-16.
    std::string home;
    bool representable = true;
    if (!environmentText(name.c_str(), home, &representable) || home.empty()) {
        logMessage("environment variable %s not set", name.c_str());
        return false;
    }
    if (home.size() >= kPathBufferSize) {
        logMessage("environment variable %s too long", name.c_str());
        return false;
    }
    if (!representable) {
        logError("environment variable %s names a path that the ANSI code page cannot hold and that has no short "
                 "form: %s",
                 name.c_str(), home.c_str());
        return false;
    }
    for (char& c : home)
        if (c == '/') c = '\\';
    std::string version;
    return javaExeForHome(exeOut, withoutTrailingBackslashes(home)) &&
           checkJavaExe(exeOut, version, min, max, false);
}

bool checkSystemPath(std::string& exeOut, const std::string& min, const std::string& max) {
    std::vector<char> buffer(kPathBufferSize, '\0');
    DWORD n = SearchPathA(nullptr, "java.exe", nullptr, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (n == 0 || n >= buffer.size()) {
        logMessage("java.exe not found on the search path");
        return false;
    }
    exeOut.assign(buffer.data(), n);
    std::string version;
    return checkJavaExe(exeOut, version, min, max, false);
}

JvmSource searchForJvm(std::string& exeOut, std::string& sourceOut) {
    logMessage("Searching for a JVM");
    std::string sequence = getConfigString(CFG_JVM_SEARCH_SEQUENCE, kPathBufferSize);
    std::string min = getConfigString(CFG_MIN_VERSION, kPathBufferSize);
    std::string max = getConfigString(CFG_MAX_VERSION, kPathBufferSize);

    if (tryLocationFile(kPreferredLocationFile, "Has preferred location %s", "Using preferred location", exeOut,
                        sourceOut, min, max))
        return JvmSource::Location;

    std::vector<SearchEntry> entries = parseSearchSequence(sequence);
    for (const SearchEntry& entry : entries) {
        std::string text = entry.text;
        expandVariables(text);
        logMessage("Testing location %s (type %c)", text.c_str(), entry.type);
        switch (entry.type) {
            case 'A':
            case 'B':
            case 'R':
                if (checkLocation(exeOut, text, min, max, false)) {
                    sourceOut = text;
                    return JvmSource::Location;
                }
                break;
            case 'E':
                if (checkEnvironmentVariable(exeOut, text, min, max)) {
                    sourceOut = text;
                    return JvmSource::EnvironmentVariable;
                }
                break;
            case 'S':
                if (checkSystemPath(exeOut, min, max)) {
                    sourceOut = text;
                    return JvmSource::SystemPath;
                }
                break;
            case 'Y':
                if (findRegisteredJvm(exeOut, min, max)) return JvmSource::Registry;
                break;
            case 'J': {
                // Installations of today's vendors, judged by numeric versions.
                JvmSource source = findInstalledJvm(exeOut, sourceOut, min, max);
                if (source != JvmSource::None) return source;
                break;
            }
            default:
                break;
        }
    }

    if (tryLocationFile(kInstallerLocationFile, "Has installer location %s", "Using installer location", exeOut,
                        sourceOut, min, max))
        return JvmSource::Location;

    // A runtime shipped beside the application is taken even when its version
    // does not fit, as long as its java executable exists.
    for (const SearchEntry& entry : entries) {
        if (!takesPartInFallback(entry)) continue;
        logMessage("Testing relative location %s", entry.text.c_str());
        checkLocation(exeOut, entry.text, min, max, true);
        if (pathExists(exeOut)) {
            logMessage("%s exists", exeOut.c_str());
            // Without a version check, but not without a VM library that can load: a runtime
            // that never could must not stand in the way of the variables below.
            VmLibraryVerdict vm = checkVmLibrary(exeOut, std::string());
            if (!vm.usable) {
                logMessage("VM library refused: %s", vm.reason.c_str());
                noteRefusedVmLibrary(vm);
                continue;
            }
            sourceOut = entry.text;
            return JvmSource::Location;
        }
    }

    if (findPreviousInstallation(RegistryHive::CurrentUser, exeOut, min, max)) {
        logMessage("found JRE from previous installation (user) %s", exeOut.c_str());
        return JvmSource::Registry;
    }
    if (findPreviousInstallation(RegistryHive::LocalMachine, exeOut, min, max)) {
        logMessage("found JRE from previous installation (machine) %s", exeOut.c_str());
        return JvmSource::Registry;
    }
    logMessage("Search sequence finished");

    for (const char* name : {texts::kJavaHomeVariable, texts::kJavaHomeVariableLegacy}) {
        if (checkEnvironmentVariable(exeOut, name, min, max)) {
            sourceOut = name;
            return JvmSource::EnvironmentVariable;
        }
    }
    return JvmSource::None;
}
