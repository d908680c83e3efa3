// System queries of the option assembly on the host: real files under a test root,
// state that the Windows build takes from other modules set by tests.
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include <cstdlib>

#include "options_host.h"

HostLauncherState& hostLauncherState() {
    static HostLauncherState* state = new HostLauncherState();
    return *state;
}

std::string hostPathOf(const std::string& path) {
    const std::string& root = hostLauncherState().driveRoot;
    std::string out, rest;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'))) {
        out = root + "/" + static_cast<char>(path[0] & ~0x20);
        rest = path.substr(2);
    } else if (!root.empty() && path.compare(0, 2, "\\\\") == 0) {
        out = root + "/UNC";
        rest = path.substr(2);
    } else {
        out = path;
        for (char& c : out)
            if (c == '\\') c = '/';
        return out;
    }
    // "." and ".." resolved as Windows resolves them (".." at the top stays there), so
    // that a launcher path never leads out of driveRoot.
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find_first_of("\\/", start);
        if (end == std::string::npos) end = rest.size();
        std::string part = rest.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    for (const std::string& part : parts) out += "/" + part;
    if (!parts.empty() && (rest.back() == '\\' || rest.back() == '/')) out += "/";
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
