// The 'J' search entry, free of the platform: the vendor tables, the bounded
// collection of candidate homes, and the judging by numeric versions.
#include "installed.h"

#include <algorithm>

#include "jvm/versions.h"
#include "launcher/config.h"
#include "launcher/log.h"

// One line per vendor key; the walk below each is generic, because vendors lay out
// their keys differently (<root>\JDK\<version>\hotspot\MSI "Path",
// <root>\<name> "InstallationPath", <root>\<version> "JavaHome").
const char* const kInstalledJvmRegistryRoots[] = {
    "SOFTWARE\\JavaSoft\\JDK",
    "SOFTWARE\\JavaSoft\\JRE",
    "SOFTWARE\\JavaSoft\\Java Development Kit",
    "SOFTWARE\\JavaSoft\\Java Runtime Environment",
    "SOFTWARE\\Eclipse Adoptium",
    "SOFTWARE\\Eclipse Foundation",
    "SOFTWARE\\AdoptOpenJDK",
    "SOFTWARE\\Microsoft\\JDK",
    "SOFTWARE\\Azul Systems\\Zulu",
    "SOFTWARE\\BellSoft\\Liberica",
    "SOFTWARE\\Amazon Corretto",
    "SOFTWARE\\Semeru",
    "SOFTWARE\\IBM\\Semeru",
    "SOFTWARE\\SAP\\SapMachine",
};
const size_t kInstalledJvmRegistryRootCount = sizeof(kInstalledJvmRegistryRoots) / sizeof(kInstalledJvmRegistryRoots[0]);

const char* const kInstalledJvmHomeValues[] = {"JavaHome", "Path", "InstallationPath"};
const size_t kInstalledJvmHomeValueCount = sizeof(kInstalledJvmHomeValues) / sizeof(kInstalledJvmHomeValues[0]);

const InstalledJvmDirectory kInstalledJvmDirectories[] = {
    {"ProgramFiles", "Java"},
    {"ProgramFiles", "Eclipse Adoptium"},
    {"ProgramFiles", "Microsoft"},
    {"ProgramFiles", "Zulu"},
    {"ProgramFiles", "BellSoft"},
    {"ProgramFiles", "Amazon Corretto"},
    {"ProgramFiles", "Semeru"},
    {"ProgramFiles", "SapMachine"},
    {"LOCALAPPDATA", "Programs\\Eclipse Adoptium"},  // per-user installs
    {"USERPROFILE", ".jdks"},                        // downloaded by IDEs
    {"USERPROFILE", "scoop\\apps\\*\\current"},      // scoop
};
const size_t kInstalledJvmDirectoryCount = sizeof(kInstalledJvmDirectories) / sizeof(kInstalledJvmDirectories[0]);

namespace {
std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string trimmedHome(const std::string& path) {
    std::string home = path;
    while (home.size() > 1 && (home.back() == '\\' || home.back() == '/')) home.pop_back();
    return home;
}

struct Collector {
    InstalledJvmSystem& system;
    std::vector<JvmCandidate> candidates;
    size_t keysOpened = 0;
    bool full() const { return candidates.size() >= kInstalledJvmCandidates; }
    void add(const std::string& home, JvmSource kind, const std::string& origin) {
        if (full() || home.empty()) return;
        candidates.push_back(JvmCandidate{trimmedHome(home), kind, origin});
    }
};

// Depth first: the key's home values, then its subkeys in enumeration order.
void walkKey(Collector& c, RegistryHive hive, const char* hiveName, const std::string& path, size_t depth,
             size_t& rootKeys) {
    if (c.full() || rootKeys >= kRegistryKeysPerRoot || c.keysOpened >= kRegistryKeysInAll) return;
    std::vector<std::string> subkeys;
    std::vector<std::pair<std::string, std::string>> homes;
    ++rootKeys;
    ++c.keysOpened;
    if (!c.system.readRegistryKey(hive, path, depth < kRegistryWalkDepth ? kRegistrySubkeysPerKey : 0, subkeys,
                                  homes))
        return;
    for (const auto& value : homes)
        c.add(value.second, JvmSource::Registry, std::string(hiveName) + "\\" + path + " " + value.first);
    if (depth >= kRegistryWalkDepth) return;
    for (const std::string& name : subkeys) walkKey(c, hive, hiveName, path + "\\" + name, depth + 1, rootKeys);
}

std::vector<std::string> sortedSubdirectories(InstalledJvmSystem& system, const std::string& directory) {
    std::vector<std::string> names = system.subdirectories(directory, kDirectoryEntriesPerSource);
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return lowerAscii(a) < lowerAscii(b); });
    return names;
}

void collectDirectory(Collector& c, const InstalledJvmDirectory& source) {
    std::string base = c.system.environment(source.variable);
    if (base.empty()) return;
    base = trimmedHome(base);
    std::string path = source.path;
    std::string origin = std::string("%") + source.variable + "%\\" + path;
    size_t star = path.find('*');
    if (star != std::string::npos) {
        // "<prefix>\*<suffix>": one candidate per subdirectory of the prefix that has the suffix.
        std::string parent = base + "\\" + path.substr(0, star > 0 ? star - 1 : 0);
        std::string suffix = path.substr(star + 1);
        for (const std::string& name : sortedSubdirectories(c.system, parent)) {
            std::string home = parent + "\\" + name + suffix;
            if (c.system.isDirectory(home)) c.add(home, JvmSource::Location, origin);
        }
        return;
    }
    std::string parent = base + "\\" + path;
    for (const std::string& name : sortedSubdirectories(c.system, parent)) {
        std::string home = parent + "\\" + name;
        c.add(home, JvmSource::Location, origin);
        // The runtime inside a kit (jdk1.8.0_372\jre) is a candidate too; where the kit itself
        // resolves to its jre\bin\java.exe, the judging counts both as one installation.
        if (c.system.isDirectory(home + "\\jre")) c.add(home + "\\jre", JvmSource::Location, origin);
    }
}

struct Judged {
    NumericVersion version;
    std::string versionText;
    std::string exe;
};

bool parseLimit(const std::string& text, const char* name, NumericVersion& out, bool& usable) {
    if (text.empty()) return false;
    if (!parseNumericVersion(text, out)) {
        logMessage("installed JVMs: %s %s is not a version number, no installation qualifies", name, text.c_str());
        usable = false;
        return false;
    }
    return true;
}
}  // namespace

InstalledJvmSettings installedJvmSettings(const std::string& min, const std::string& max) {
    InstalledJvmSettings s;
    s.min = min;
    s.max = max;
    s.guiLauncher = getConfigInt(CFG_EXE_TYPE) == 1;
    s.requireJdk = getConfigInt(CFG_REQUIRE_JDK) != 0;
    s.allowPrerelease = getConfigInt(CFG_ALLOW_BETA_VM) != 0;
    return s;
}

std::vector<JvmCandidate> collectInstalledJvmCandidates(InstalledJvmSystem& system) {
    Collector c{system, {}, 0};
    const struct {
        RegistryHive hive;
        const char* name;
    } hives[] = {{RegistryHive::CurrentUser, "HKCU"}, {RegistryHive::LocalMachine, "HKLM"}};
    for (const auto& h : hives) {
        for (size_t r = 0; r < kInstalledJvmRegistryRootCount; ++r) {
            size_t rootKeys = 0;
            walkKey(c, h.hive, h.name, kInstalledJvmRegistryRoots[r], 0, rootKeys);
        }
    }
    for (size_t d = 0; d < kInstalledJvmDirectoryCount; ++d) collectDirectory(c, kInstalledJvmDirectories[d]);
    if (c.full())
        logMessage("installed JVMs: only the first %d candidates are judged", static_cast<int>(kInstalledJvmCandidates));
    return c.candidates;
}

bool chooseInstalledJvm(InstalledJvmSystem& system, const std::vector<JvmCandidate>& candidates,
                        const InstalledJvmSettings& settings, InstalledJvmChoice& out) {
    bool limitsUsable = true;
    NumericVersion min, max;
    bool haveMin = parseLimit(settings.min, "MIN_VERSION", min, limitsUsable);
    bool haveMax = parseLimit(settings.max, "MAX_VERSION", max, limitsUsable);
    if (!limitsUsable) {
        logMessage("no installed JVM accepted");
        return false;
    }

    struct Seen {
        std::string home, exe, shownHome;
    };
    std::vector<Seen> seen;
    size_t probes = 0;
    bool found = false;
    NumericVersion best;

    for (const JvmCandidate& candidate : candidates) {
        const char* home = candidate.home.c_str();
        const char* origin = candidate.origin.c_str();
        std::string homeKey = lowerAscii(trimmedHome(system.normalise(candidate.home)));
        std::string exe = system.javaExeOfHome(candidate.home);
        std::string exeKey = lowerAscii(system.normalise(exe));
        const Seen* same = nullptr;
        for (const Seen& s : seen)
            if (s.home == homeKey || s.exe == exeKey) same = &s;
        if (same) {
            logMessage("installed JVM %s (%s): same installation as %s", home, origin, same->shownHome.c_str());
            continue;
        }
        seen.push_back(Seen{homeKey, exeKey, candidate.home});

        auto refuse = [&](const std::string& why) {
            logMessage("installed JVM %s (%s): refused: %s", home, origin, why.c_str());
        };
        Judged j;
        const char* from = "release file";
        std::string release, rawVersion;
        ReleaseInfo info;
        bool haveVersion = system.readFile(candidate.home + "\\release", kMaxReleaseFileSize, release) &&
                           releaseFileVersion(release, j.version, j.versionText) && parseReleaseFile(release, info);
        if (haveVersion) rawVersion = info.version;
        // A runtime made by jlink --strip-native-commands has no java.exe: its release file
        // and its VM library are all the launcher needs.
        bool noCommands = false;
        if (!system.fileExists(exe)) {
            if (!haveVersion) {
                refuse(exe + " doesn't exist");
                continue;
            }
            noCommands = true;
            from = "release file, no java.exe";
        }
        std::string javaw = exe.size() > 4 ? exe.substr(0, exe.size() - 4) + "w.exe" : exe;  // "...java.exe"
        if (settings.guiLauncher && !noCommands && !system.fileExists(javaw)) {
            refuse(javaw + " doesn't exist (GUI launcher)");
            continue;
        }
        std::string javac = candidate.home + "\\bin\\javac.exe";
        if (settings.requireJdk && !system.fileExists(javac)) {
            refuse(javac + " doesn't exist (REQUIRE_JDK)");
            continue;
        }
        // Before any process is started: a runtime whose VM library could never be
        // loaded by this 64-bit launcher is no candidate.
        VmLibraryVerdict vm = system.vmLibrary(exe, candidate.home);
        if (!vm.usable) {
            refuse(vm.reason);
            noteRefusedVmLibrary(vm);
            continue;
        }

        if (haveVersion) {
            j.exe = system.normalise(settings.guiLauncher ? javaw : exe);
        } else {
            from = "checkJavaExe";
            if (probes >= kInstalledJvmProbes) {
                refuse("no usable release file, and " + std::to_string(kInstalledJvmProbes) +
                       " installations were checked already");
                continue;
            }
            ++probes;
            std::string checked = exe;
            std::string text;
            if (!system.checkVersion(checked, text) || text.empty()) {
                refuse("no usable release file, and checkJavaExe found no version");
                continue;
            }
            if (text == "1.0.0") {  // the cache's mark of an executable that failed
                refuse("java.exe failed when it was run (cached as 1.0.0)");
                continue;
            }
            j.versionText = text;
            if (!parseNumericVersion(text, j.version)) {
                refuse("version " + text + " from checkJavaExe is not a version number");
                continue;
            }
            rawVersion = text;
            j.exe = checked;
        }

        auto refuseVersion = [&](const std::string& why) {
            logMessage("installed JVM %s (%s): version %s from %s, refused: %s", home, origin, j.versionText.c_str(),
                       from, why.c_str());
        };
        if (j.version.prerelease && !settings.allowPrerelease) {
            refuseVersion("pre-release (ALLOW_BETA_VM not set)");
            continue;
        }
        // The limits by the rule every entry of the search applies.
        if (haveMin && !isVersionAccepted(rawVersion, settings.min, std::string(), true)) {
            refuseVersion("below MIN_VERSION " + settings.min);
            continue;
        }
        if (haveMax && !isVersionAccepted(rawVersion, std::string(), settings.max, true)) {
            refuseVersion("above MAX_VERSION " + settings.max);
            continue;
        }
        logMessage("installed JVM %s (%s): version %s from %s, accepted", home, origin, j.versionText.c_str(), from);
        // The highest version wins; the earlier candidate keeps a tie.
        if (!found || compareNumericVersions(j.version, best) > 0) {
            found = true;
            best = j.version;
            out.exe = j.exe;
            out.home = candidate.home;
            out.kind = candidate.kind;
            out.version = j.versionText;
        }
    }
    if (found)
        logMessage("installed JVM chosen: %s %s", out.exe.c_str(), out.version.c_str());
    else
        logMessage("no installed JVM accepted");
    return found;
}
