// Java installations named in the registry: the keys of the Java installers,
// the located java executables, and the installations of this application.
#include <windows.h>

#include <vector>

#include "files/handles_win.h"
#include "jvm/probe.h"
#include "jvm/registry.h"
#include "jvm/search.h"
#include "jvm/versions.h"
#include "launcher/config.h"
#include "launcher/log.h"

namespace {
const char* const kJdkKey = "SOFTWARE\\JavaSoft\\Java Development Kit";
const char* const kJreKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
const char* const kLocatedKey = "SOFTWARE\\quorbel-systems\\tovex\\locatedjvms";
const char* const kInstallationsKey = "SOFTWARE\\quorbel-systems\\marlowkit\\installations";
const size_t kCurrentVersionSize = 100;
const size_t kValueSize = 8192;

HKEY rootOf(RegistryHive hive) { return hive == RegistryHive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

// "CurrentVersion" of key in the machine hive when it passes the range test, else "".
std::string currentVersion(const char* keyPath, const std::string& min, const std::string& max) {
    RegKey key;
    std::string version;
    if (!key.openForRead(HKEY_LOCAL_MACHINE, keyPath)) return version;
    if (!readRegistryString(key.get(), "CurrentVersion", kCurrentVersionSize, version)) return std::string();
    if (!isVersionInRange(version, min, max)) return std::string();
    return version;
}

// The installation registered under keyPath (its "JavaHome"), checked.
bool checkRegisteredHome(const std::string& keyPath, std::string& exeOut, std::string& versionOut,
                         const std::string& min, const std::string& max) {
    RegKey key;
    std::string home;
    if (!key.openForRead(HKEY_LOCAL_MACHINE, keyPath)) return false;
    if (!readRegistryString(key.get(), "JavaHome", kValueSize, home)) return false;
    std::string exe;
    if (!javaExeForHome(exe, home)) return false;
    if (!checkJavaExe(exe, versionOut, min, max, false)) return false;
    exeOut = exe;
    return true;
}

bool currentVersionLookup(std::string& exeOut, std::string& versionOut, const std::string& min,
                          const std::string& max) {
    std::string kit = currentVersion(kJdkKey, min, max);
    std::string environment;
    if (getConfigInt(CFG_REQUIRE_JDK) == 0) environment = currentVersion(kJreKey, min, max);
    bool useKit = compareVersions(kit, environment) > 0;
    const std::string& version = useKit ? kit : environment;
    if (version.empty()) return false;  // neither names a current version
    return checkRegisteredHome(std::string(useKit ? kJdkKey : kJreKey) + "\\" + version, exeOut, versionOut, min,
                               max);
}

// The version subkeys of keyPath, greatest first, until one installation passes.
bool enumerateJavaSoftKey(const char* keyPath, std::string& exeOut, std::string& versionOut,
                          const std::string& min, const std::string& max) {
    std::vector<std::string> names;
    {
        RegKey key;
        if (!key.openForRead(HKEY_LOCAL_MACHINE, keyPath)) return false;
        for (DWORD index = 0;; ++index) {
            char name[256];
            DWORD length = sizeof(name);
            LONG status = RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) continue;
            names.emplace_back(name, length);
        }
    }
    for (const std::string& name : orderRegisteredVersions(names, min, max))
        if (checkRegisteredHome(std::string(keyPath) + "\\" + name, exeOut, versionOut, min, max)) return true;
    return false;
}

// The best located java executable of one hive.
bool bestLocatedInHive(HKEY root, std::string& exeOut, std::string& versionOut, const std::string& min,
                       const std::string& max) {
    std::vector<std::string> names;
    {
        RegKey key;
        if (!key.openForRead(root, kLocatedKey)) return false;
        std::vector<char> name(kValueSize);
        for (DWORD index = 0;; ++index) {
            DWORD length = static_cast<DWORD>(name.size());
            LONG status = RegEnumKeyExA(key.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) continue;
            names.emplace_back(name.data(), length);
        }
    }
    bool found = false;
    for (std::string path : names) {
        for (char& c : path)
            if (c == '/') c = '\\';
        std::string version;
        if (!checkJavaExe(path, version, min, max, true)) continue;
        // A later entry replaces the best so far only with a greater version.
        if (!found || compareVersions(version, versionOut) > 0) {
            exeOut = path;
            versionOut = version;
            found = true;
        }
    }
    return found;
}
}  // namespace

bool findJavaSoftJvm(std::string& exeOut, std::string& versionOut, const std::string& min, const std::string& max) {
    if (currentVersionLookup(exeOut, versionOut, min, max)) return true;
    if (getConfigInt(CFG_REQUIRE_JDK) == 0 && enumerateJavaSoftKey(kJreKey, exeOut, versionOut, min, max))
        return true;
    return enumerateJavaSoftKey(kJdkKey, exeOut, versionOut, min, max);
}

bool findLocatedJvm(std::string& exeOut, std::string& versionOut, const std::string& min, const std::string& max) {
    std::string userExe, userVersion, machineExe, machineVersion;
    bool user = bestLocatedInHive(HKEY_CURRENT_USER, userExe, userVersion, min, max);
    bool machine = bestLocatedInHive(HKEY_LOCAL_MACHINE, machineExe, machineVersion, min, max);
    if (!user && !machine) return false;
    // The machine entry wins a tie.
    bool useUser = user && (!machine || compareVersions(userVersion, machineVersion) > 0);
    exeOut = useUser ? userExe : machineExe;
    versionOut = useUser ? userVersion : machineVersion;
    return true;
}

bool findRegisteredJvm(std::string& exeOut, const std::string& min, const std::string& max) {
    std::string sunExe, sunVersion, locatedExe, locatedVersion;
    bool sun = findJavaSoftJvm(sunExe, sunVersion, min, max);
    bool located = findLocatedJvm(locatedExe, locatedVersion, min, max);
    if (sun) logMessage("found sun %s %s", sunExe.c_str(), sunVersion.c_str());
    if (located) logMessage("found located %s %s", locatedExe.c_str(), locatedVersion.c_str());
    if (!sun && !located) return false;
    // The located result wins a tie.
    bool useSun = sun && (!located || compareVersions(sunVersion, locatedVersion) > 0);
    exeOut = useSun ? sunExe : locatedExe;
    return true;
}

bool findPreviousInstallation(RegistryHive hive, std::string& exeOut, const std::string& min,
                              const std::string& max) {
    std::string valueName = getConfigString(CFG_INSTALLATION_KEY);
    if (valueName.empty()) return false;
    std::string list;
    {
        RegKey key;
        if (!key.openForRead(rootOf(hive), kInstallationsKey)) return false;
        if (!readRegistryString(key.get(), valueName.c_str(), kValueSize, list)) return false;
    }
    if (list.empty()) return false;
    logMessage("found installations: %s", list.c_str());
    for (const std::string& directory : installationDirectories(list)) {
        std::string exe, version;
        if (javaExeForHome(exe, directory + "\\jre") && checkJavaExe(exe, version, min, max, false)) {
            exeOut = exe;
            return true;
        }
    }
    return false;
}
