// Loading jvm.dll of the runtime found, with its bin directory on PATH.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "files/paths.h"
#include "jvm/search.h"
#include "jvm/vmlib.h"
#include "launcher/config.h"
#include "launcher/errors.h"
#include "launcher/log.h"
#include "launcher/texts.h"
#include "windows/expand.h"

namespace {
std::string* gJvmHome = nullptr;
void* gCreateEntry = nullptr;

struct PathValue {
    bool set = false;
    std::string value;
};

// PATH read whole, however long it is.
PathValue readPath() {
    PathValue path;
    DWORD needed = GetEnvironmentVariableA("PATH", nullptr, 0);
    while (needed > 0) {
        std::vector<char> buffer(needed + 1, '\0');
        DWORD n = GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n < buffer.size()) {
            path.set = true;
            path.value.assign(buffer.data(), n);
            break;
        }
        needed = n;  // it grew in between
    }
    return path;
}

// In the process environment and in the C runtime's copy of it.
// The "{details}" of the "no Java found" message: what was searched, as this start saw it.
std::string noJvmDetailsNow() {
    std::string min = getConfigString(CFG_MIN_VERSION, kPathBufferSize);
    std::string max = getConfigString(CFG_MAX_VERSION, kPathBufferSize);
    std::vector<SearchEntry> entries = parseSearchSequence(getConfigString(CFG_JVM_SEARCH_SEQUENCE, kPathBufferSize));
    std::vector<std::string> names = {texts::kJavaHomeVariable, texts::kJavaHomeVariableLegacy};
    for (SearchEntry& entry : entries) {
        expandVariables(entry.text);
        if (entry.type == 'E') names.push_back(entry.text);
    }
    std::vector<EnvironmentSetting> variables;
    for (const std::string& name : names) {
        EnvironmentSetting setting;
        setting.name = name;
        std::vector<char> buffer(kPathBufferSize, '\0');
        DWORD n = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n > 0 && n < buffer.size()) {
            setting.set = true;
            setting.value.assign(buffer.data(), n);
        }
        variables.push_back(setting);
    }
    return noJvmDetails(min, max, entries, variables);
}

void setPath(const PathValue& path) {
    if (SetEnvironmentVariableA("PATH", path.set ? path.value.c_str() : nullptr))
        logMessage("Setting PATH %s", path.value.c_str());
    else
        logMessage("Setting PATH %s failed with error %d", path.value.c_str(), static_cast<int>(GetLastError()));
    std::string entry = "PATH=" + path.value;
    _putenv(entry.c_str());
}
}  // namespace

const std::string& jvmHome() {
    if (!gJvmHome) gJvmHome = new std::string();
    return *gJvmHome;
}

void* createJavaVmEntry() { return gCreateEntry; }

HMODULE tryVmDirectory(const std::string& binDir, const std::string& vmType) {
    std::string library = binDir + "\\" + vmType + "\\jvm.dll";
    bool exists = pathExists(library);
    logMessage("Trying %s (exists %d)", library.c_str(), exists ? 1 : 0);
    // Loaded by its full path; the libraries it needs come from PATH.
    HMODULE module = LoadLibraryA(library.c_str());
    if (!module && exists) logMessage("Failed with error code %d", static_cast<int>(GetLastError()));
    return module;
}

HMODULE loadFromBinDir(const std::string& exePath) {
    std::string binDir = binDirectoryOf(exePath);
    if (isRelativePath(binDir)) binDir = getFullPath(binDir, true);
    PathValue oldPath = readPath();
    PathValue newPath;
    newPath.set = true;
    newPath.value = oldPath.value + ";" + binDir;
    setPath(newPath);

    HMODULE module = nullptr;
    std::string preferred = getConfigString(CFG_PREFERRED_VM_TYPE, 200);
    if (!preferred.empty()) module = tryVmDirectory(binDir, preferred);
    for (const char* vmType : kVmTypes) {
        if (module) break;
        module = tryVmDirectory(binDir, vmType);
    }
    if (!module) setPath(oldPath);
    return module;
}

HMODULE loadVmLibrary(const std::string& exePath) {
    HMODULE module = loadFromBinDir(exePath);
    if (module) return module;
    // The executable of a development kit: its embedded runtime has the VM.
    return loadFromBinDir(exeDirectoryPart(exePath) + "..\\jre\\bin\\java.exe");
}

bool LoadDLL(bool showErrors) {
    logMessage("LoadDLL (%d, %s, %d)", showErrors ? 1 : 0, "(null)", 0);
    std::string exe;
    std::string source;
    JvmSource kind = searchForJvm(exe, source);
    if (kind == JvmSource::None) {
        logError("No JVM found");
        if (showErrors) showMessage(CFG_MSG_NO_JVM_BITS, "64", noJvmDetailsNow().c_str());
        return false;
    }
    logMessage("Trying to load JVM-DLL from %s", exe.c_str());
    HMODULE module = loadVmLibrary(exe);
    jvmHome();
    *gJvmHome = jvmHomeOf(exe);
    void* entry = nullptr;
    if (!module) logError("Could not get DLL-Handle.");
    if (module) entry = reinterpret_cast<void*>(GetProcAddress(module, "JNI_CreateJavaVM"));
    if (!entry) {
        logError("Could not load functions");
    } else {
        gCreateEntry = entry;
        logMessage("Loading of JVM-DLL successful");
        return true;
    }
    if (showErrors) {
        switch (kind) {
            case JvmSource::SystemPath:
                showMessage(CFG_MSG_NO_JVM_BITS, "64", noJvmDetailsNow().c_str());
                break;
            case JvmSource::EnvironmentVariable:
                showMessage(CFG_MSG_ENV_VAR_NO_JVM_64, source.c_str());
                break;
            case JvmSource::Location:
                showMessage(CFG_MSG_JVM_DAMAGED_64, source.c_str());
                break;
            case JvmSource::Registry:
            default:
                showMessage(CFG_MSG_JVM_START_FAILED, nullptr,
                            ("\n\nThe Java library of " + exe + " could not be loaded.").c_str());
                break;
        }
    }
    return false;
}
