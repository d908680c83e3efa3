// The 'J' search entry on Windows: the registry, directories and files as the
// pure search (installed.cpp) asks for them.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "files/handles_win.h"
#include "files/paths.h"
#include "jvm/installed.h"
#include "jvm/probe.h"
#include "launcher/log.h"

namespace {
class Win32System : public InstalledJvmSystem {
public:
    bool readRegistryKey(RegistryHive hive, const std::string& path, size_t maxSubkeys,
                         std::vector<std::string>& subkeys,
                         std::vector<std::pair<std::string, std::string>>& homes) override {
        RegKey key;
        if (!key.openForRead(hive == RegistryHive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, path))
            return false;
        for (size_t i = 0; i < kInstalledJvmHomeValueCount; ++i) {
            std::string home;
            if (readRegistryString(key.get(), kInstalledJvmHomeValues[i], kPathBufferSize, home) && !home.empty())
                homes.emplace_back(kInstalledJvmHomeValues[i], home);
        }
        // Key names have at most 255 characters. Indices that fail (a name that is
        // too long, a key removed meanwhile) count against the bound too.
        for (DWORD index = 0; index < maxSubkeys; ++index) {
            char name[256];
            DWORD length = sizeof(name);
            LONG status = RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
            if (status == ERROR_NO_MORE_ITEMS) break;
            if (status != ERROR_SUCCESS) continue;
            subkeys.emplace_back(name, length);
        }
        return true;
    }

    std::string environment(const char* name) override {
        std::string value;
        environmentText(name, value);
        return value.size() < kPathBufferSize ? value : std::string();
    }

    std::vector<std::string> subdirectories(const std::string& directory, size_t maxEntries) override {
        std::vector<std::string> names;
        WIN32_FIND_DATAA entry;
        FindHandle search(FindFirstFileA((directory + "\\*").c_str(), &entry));
        if (!search.valid()) return names;
        size_t read = 0;
        do {
            if (++read > maxEntries) break;
            std::string name = entry.cFileName;
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == "." || name == "..") continue;
            names.push_back(name);
        } while (FindNextFileA(search.get(), &entry));
        return names;
    }

    bool isDirectory(const std::string& path) override {
        DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool fileExists(const std::string& path) override { return pathExists(path); }

    bool readFile(const std::string& path, size_t maxBytes, std::string& content) override {
        Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return false;
        content.clear();
        std::vector<char> chunk(4096);
        while (content.size() < maxBytes) {
            DWORD want = static_cast<DWORD>(std::min(chunk.size(), maxBytes - content.size()));
            DWORD got = 0;
            if (!ReadFile(file.get(), chunk.data(), want, &got, nullptr)) return false;
            if (got == 0) break;
            content.append(chunk.data(), got);
        }
        return true;
    }

    std::string normalise(const std::string& path) override { return getFullPath(path, false); }

    std::string javaExeOfHome(const std::string& home) override { return runtimeJavaExe(home); }

    bool checkVersion(std::string& exe, std::string& versionOut) override {
        return checkJavaExeVersion(exe, versionOut, std::string(), std::string(), true);
    }

    VmLibraryVerdict vmLibrary(const std::string& exe, const std::string& home) override {
        return checkVmLibrary(exe, home);
    }
};
}  // namespace

JvmSource findInstalledJvm(std::string& exeOut, std::string& sourceOut, const std::string& min,
                           const std::string& max) {
    Win32System system;
    std::vector<JvmCandidate> candidates = collectInstalledJvmCandidates(system);
    logMessage("installed JVMs: %d candidates", static_cast<int>(candidates.size()));
    InstalledJvmChoice choice;
    if (!chooseInstalledJvm(system, candidates, installedJvmSettings(min, max), choice)) return JvmSource::None;
    exeOut = choice.exe;
    if (choice.kind == JvmSource::Location) sourceOut = choice.home;
    return choice.kind;
}
