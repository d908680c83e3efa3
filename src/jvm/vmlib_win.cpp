// Loading jvm.dll of the runtime found, with its bin directory on PATH.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "files/paths.h"
#include "jvm/search.h"
#include "jvm/vm_check.h"
#include "jvm/vmlib.h"
#include "launcher/config.h"
#include "launcher/errors.h"
#include "launcher/log.h"
#include "windows/expand.h"
#include "launcher/texts.h"

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
    // Through the wide function: the narrow one cuts values longer in UTF-8 than in UTF-16.
    path.set = environmentText("PATH", path.value);
    return path;
}

// In the process environment and in the C runtime's copy of it.
void setPath(const PathValue& path) {
    if (SetEnvironmentVariableA("PATH", path.set ? path.value.c_str() : nullptr))
        logMessage("Setting PATH %s", path.value.c_str());
    else
        logMessage("Setting PATH %s failed with error %d", path.value.c_str(), static_cast<int>(GetLastError()));
    std::string entry = "PATH=" + path.value;
    _putenv(entry.c_str());
    environmentChanged();
}

void showWrongArchitecture(const VmLibraryVerdict& verdict) {
    // The format's two "%s", filled in order.
    std::string text = texts::kWrongArchitectureFormat;
    for (const std::string& value : {verdict.library, peMachineName(verdict.machine)}) {
        size_t at = text.find("%s");
        if (at != std::string::npos) text.replace(at, 2, value);
    }
    showErrorText(text);
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
    // Loaded by its absolute path with the altered search order: the libraries it needs
    // come from its own directory and the runtime's bin first (the DLL directory set by
    // loadFromBinDir), never from the launcher's directory or another Java on PATH.
    std::string absolute = isRelativePath(library) ? getFullPath(library, true) : library;
    std::u16string wide = toUtf16(absolute, fileCodePage());
    HMODULE module = LoadLibraryExW(reinterpret_cast<LPCWSTR>(wide.c_str()), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
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

    // While the VM library loads, the runtime's bin is the DLL directory: its dependencies
    // (vcruntime140.dll, ...) come from there before the system's and PATH's. Afterwards the
    // DLL directory is empty again (the current directory takes no part in the search).
    std::u16string wideBin = toUtf16(binDir, fileCodePage());
    SetDllDirectoryW(reinterpret_cast<LPCWSTR>(wideBin.c_str()));
    HMODULE module = nullptr;
    std::string preferred = getConfigString(CFG_PREFERRED_VM_TYPE, 200);
    if (!preferred.empty()) module = tryVmDirectory(binDir, preferred);
    for (const char* vmType : kVmTypes) {
        if (module) break;
        module = tryVmDirectory(binDir, vmType);
    }
    SetDllDirectoryA("");
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
        // A runtime of another architecture was all there was: say so rather than "none found".
        const VmLibraryVerdict& refused = firstWrongArchitectureRefusal();
        if (!refused.library.empty()) {
            logError("A Java runtime was refused: %s", refused.reason.c_str());
            if (showErrors) showWrongArchitecture(refused);
        } else if (showErrors) {
            showMessage(CFG_MSG_NO_JVM_BITS, "64");
        }
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
    // Why it did not load, when the headers tell: a library of another machine gets a
    // message that says so instead of "damaged".
    VmLibraryVerdict verdict = checkVmLibrary(exe, std::string());
    if (!verdict.usable) logError("VM library unusable: %s", verdict.reason.c_str());
    if (verdict.wrongArchitecture()) {
        if (showErrors) showWrongArchitecture(verdict);
        return false;
    }
    if (showErrors) {
        switch (kind) {
            case JvmSource::SystemPath:
                showMessage(CFG_MSG_NO_JVM_BITS, "64");
                break;
            case JvmSource::EnvironmentVariable:
                showMessage(CFG_MSG_ENV_VAR_NO_JVM_64, source.c_str());
                break;
            case JvmSource::Location:
                showMessage(CFG_MSG_JVM_DAMAGED_64, source.c_str());
                break;
            case JvmSource::Registry:
            default:
                showMessage(CFG_MSG_JVM_START_FAILED, nullptr);
                break;
        }
    }
    return false;
}
