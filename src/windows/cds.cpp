// Managed class-data sharing: the decisions, free of the system (see cds.h).
#include "cds.h"

#include <cstring>

#include "files/paths.h"
#include "launcher/config.h"
#include "launcher/config_ids.h"
#include "launcher/log.h"
#include "options_platform.h"

namespace {

const char kClassPathOption[] = "-Djava.class.path=";

std::string quoted(const std::string& path) {
    std::string out = "\"";
    for (char c : path) {
        if (c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

}  // namespace

CdsKind cdsKindFor(const NumericVersion& version, bool hasBaseArchive) {
    if (version.prerelease || version.parts.empty()) return CdsKind::None;
    uint32_t major = version.parts[0];
    if (major >= 19 && hasBaseArchive) return CdsKind::Dynamic;
    if (major >= 17) return CdsKind::Static;
    return CdsKind::None;
}

const char* cdsKindName(CdsKind kind) {
    switch (kind) {
        case CdsKind::Dynamic: return "dynamic";
        case CdsKind::Static: return "static";
        default: return "none";
    }
}

std::string cdsHash(const std::string& text) {
    uint64_t hash = 14695981039346656037ULL;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) hex[static_cast<size_t>(i)] = "0123456789abcdef"[hash & 15];
    return hex;
}

std::string cdsFolderName(const std::string& applicationName, const std::string& exePath,
                          const std::string& runtimeHome, const std::string& versionText) {
    std::string name;
    for (char c : applicationName) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '_' || c == '.';
        name += plain ? c : '_';
        if (name.size() == 40) break;
    }
    if (name.empty()) name = "app";
    return name + "-" + cdsHash(lowered(exePath) + '\n' + lowered(runtimeHome) + '\n' + versionText);
}

CdsPlan planClassDataSharing(CdsKind kind, const std::string& base, const CdsFiles& files) {
    CdsPlan plan;
    // The VM's own complaints about an archive it cannot use (another build, a changed
    // class path) would go to the program's standard output: the launcher's archive
    // stays silent. A user's own -Xlog:cds comes later in the list and wins.
    if (kind == CdsKind::Dynamic) {
        plan.options = {"-XX:+AutoCreateSharedArchive", "-XX:SharedArchiveFile=" + base + ".jsa", "-Xlog:cds=off",
                        "-Xlog:cds+dynamic=off"};
        plan.newStamp = !files.archive;
        plan.what = files.archive ? "dynamic archive mapped (and renewed by the VM when stale)"
                                  : "dynamic archive written at the end of this run";
    } else if (kind == CdsKind::Static) {
        if (files.archive) {
            plan.options = {"-XX:SharedArchiveFile=" + base + ".jsa", "-Xshare:auto", "-Xlog:cds=off"};
            plan.what = "static archive mapped";
        } else if (!files.classList && !files.dumpStarted) {
            plan.options = {"-XX:DumpLoadedClassList=" + base + ".lst"};
            plan.newStamp = true;
            plan.what = "class list recorded in this run";
        } else if (files.classList && !files.dumpStarted) {
            plan.startDump = true;
            plan.what = "class list present: archive dump started in the background";
        } else {
            plan.what = "archive dump started earlier and no archive (yet): nothing added";
        }
    } else {
        plan.what = "not supported by this runtime: nothing added";
    }
    return plan;
}

std::string cdsDumpArguments(const std::string& base, const std::string& classPath) {
    return "-Xshare:dump\n-XX:SharedClassListFile=" + quoted(base + ".lst") + "\n-XX:SharedArchiveFile=" +
           quoted(base + ".jsa") + "\n-cp\n" + quoted(classPath) + "\n";
}

void addClassDataSharingOptions(std::vector<std::string>& options, size_t insertAt) {
    if (!getConfigFlag(CFG_CLASS_DATA_SHARING)) return;
    for (const std::string& option : options) {
        if (isClassDataSharingOption(option)) {
            logMessage("class-data sharing: the option %s is given: the launcher adds none", option.c_str());
            return;
        }
    }
    std::string home = cdsRuntimeHome();
    std::string release;
    NumericVersion version;
    std::string versionText;
    if (home.empty() || !cdsReadFile(home + "\\release", release) ||
        !releaseFileVersion(release, version, versionText)) {
        logMessage("class-data sharing: no version in %s\\release: nothing added", home.c_str());
        return;
    }
    bool hasBase = cdsFileExists(home + "\\bin\\server\\classes.jsa");
    CdsKind kind = cdsKindFor(version, hasBase);
    logMessage("class-data sharing: runtime %s, version %s, base archive %s: %s", home.c_str(), versionText.c_str(),
               hasBase ? "present" : "absent", cdsKindName(kind));
    if (kind == CdsKind::None) return;
    if (options.empty() || options.back().compare(0, std::strlen(kClassPathOption), kClassPathOption) != 0) return;
    std::string classPath = options.back().substr(std::strlen(kClassPathOption));
    std::string temp = launcherTempDir();
    if (!temp.empty() && lowered(classPath).find(lowered(temp)) != std::string::npos) {
        logMessage("class-data sharing: the class path holds extracted files (new every start): nothing added");
        return;
    }
    std::string localAppData;
    if (!cdsLocalAppData(localAppData)) {
        logError("class-data sharing: no local application data folder: nothing added");
        return;
    }
    std::string application = getConfigString(CFG_APPLICATION_NAME);
    const std::string& exe = getModulePath();
    if (application.empty()) {
        size_t slash = exe.find_last_of("\\/");
        application = exe.substr(slash == std::string::npos ? 0 : slash + 1);
        if (application.size() > 4 && lowered(application.substr(application.size() - 4)) == ".exe")
            application.resize(application.size() - 4);
    }
    std::string folder = localAppData + "\\tovex\\cds\\" + cdsFolderName(application, exe, home, versionText);
    if (!cdsEnsureFolder(folder)) {
        logError("class-data sharing: cannot create %s: nothing added", folder.c_str());
        return;
    }
    // The stamp: the class path and each entry's size and time.
    std::string stampText = classPath;
    for (const std::string& entry : splitList(classPath)) {
        uint64_t size = 0, time = 0;
        cdsFileStamp(entry, size, time);
        stampText += "\n" + cdsHash(std::string(reinterpret_cast<const char*>(&size), sizeof size) +
                                     std::string(reinterpret_cast<const char*>(&time), sizeof time));
    }
    std::string stamp = cdsHash(stampText);
    std::string base = folder + "\\" + stamp;
    CdsFiles files;
    files.archive = cdsFileExists(base + ".jsa");
    files.classList = cdsFileExists(base + ".lst");
    files.dumpStarted = cdsFileExists(base + ".dump");
    CdsPlan plan = planClassDataSharing(kind, base, files);
    logMessage("class-data sharing: %s: %s", base.c_str(), plan.what);
    if (plan.newStamp) cdsRemoveOtherFiles(folder, stamp);
    if (plan.startDump) {
        // The argument file doubles as the mark that this stamp had its one dump run.
        if (!cdsCreateNewFile(base + ".dump", cdsDumpArguments(base, classPath))) {
            logMessage("class-data sharing: another start is dumping");
        } else if (!cdsStartDump(home + "\\bin\\java.exe", base + ".dump", base + ".log")) {
            logError("class-data sharing: the dump run did not start");
        }
    }
    if (insertAt > options.size()) insertAt = options.size();
    options.insert(options.begin() + static_cast<long>(insertAt), plan.options.begin(), plan.options.end());
}
