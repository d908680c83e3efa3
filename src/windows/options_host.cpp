// System queries of the option assembly on the host: real files under a test root,
// state that the Windows build takes from other modules set by tests.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>

#include "options_platform.h"

HostLauncherState& hostLauncherState() {
    static HostLauncherState* state = new HostLauncherState();
    return *state;
}

std::string hostPathOf(const std::string& path) {
    std::string out;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        out = hostLauncherState().driveRoot + "/" + static_cast<char>(path[0] & ~0x20) + "/" + path.substr(2);
    } else {
        out = path;
    }
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

std::string launcherTempDir() { return hostLauncherState().tempDir; }

bool readEnvironment(const std::string& name, std::string* value) {
    const char* text = std::getenv(name.c_str());
    value->assign(text ? text : "");
    if (value->size() > 8191) value->resize(8191);
    return text != nullptr;
}

std::string longPathName(const std::string& path) { return path; }

std::vector<std::string> findFileNames(const std::string& pattern) {
    // Only the "<directory>\*.<extension>" form is used.
    std::vector<std::string> names;
    size_t star = pattern.rfind("\\*");
    if (star == std::string::npos) return names;
    std::string suffix = pattern.substr(star + 2);
    DIR* directory = opendir(hostPathOf(pattern.substr(0, star)).c_str());
    if (!directory) return names;
    while (dirent* entry = readdir(directory)) {
        std::string name = entry->d_name;
        if (name.size() >= suffix.size() &&
            strcasecmp(name.c_str() + name.size() - suffix.size(), suffix.c_str()) == 0)
            names.push_back(name);
    }
    closedir(directory);
    return names;
}

bool optionPathExists(const std::string& path) {
    if (path.size() >= 2) {
        std::string rest = path.substr(1);
        if (rest == ":\\" || rest == ":\\." || rest == ":\\.\\.") return true;
    }
    struct stat info;
    return !path.empty() && stat(hostPathOf(path).c_str(), &info) == 0;
}

FILE* openTextFile(const std::string& path) { return std::fopen(hostPathOf(path).c_str(), "r"); }
