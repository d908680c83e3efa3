// The 'J' entry without the platform: numeric versions, release files, the order and
// bounds of the candidate collection, and the judging of candidates.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "jvm/installed.h"
#include "jvm/numeric_version.h"
#include "launcher/config.h"
#include "launcher/log.h"

namespace {
// ---- numeric versions ---------------------------------------------------------------------

struct ParseCase {
    const char* text;
    bool ok;
    const char* parts;  // formatted, when ok
    bool prerelease;
};

const ParseCase kParse[] = {
    {"1.8.0_372", true, "8.0.372", false},
    {"1.8.0_372-b07", true, "8.0.372", false},  // old build number, not a pre-release
    {"1.7.0_05", true, "7.0.5", false},
    {"1.8", true, "8", false},
    {"1", true, "1", false},
    {"17.0.9+9", true, "17.0.9", false},
    {"17.0.9+9-LTS", true, "17.0.9", false},  // options after the build
    {"17.0.9.1", true, "17.0.9.1", false},
    {"21", true, "21", false},
    {"9.0.4", true, "9.0.4", false},
    {"1.10.0", true, "10.0", false},
    {"21-ea", true, "21", true},
    {"22-ea+27-2262", true, "22", true},
    {"1.8.0-ea", true, "8.0", true},
    {"1.8.0_60-ea", true, "8.0.60", true},
    {"17-beta", true, "17", true},
    {"11.0.2-rc", true, "11.0.2", true},
    {"11.0.2-internal", true, "11.0.2", true},
    {"", false, "", false},
    {"abc", false, "", false},
    {"v17", false, "", false},
    {".17", false, "", false},
    {"17.0.9 ", false, "", false},     // trailing blank
    {"17.0.", false, "", false},       // a separator without a part
    {"17-", false, "", false},         // an empty pre-release
    {"17-ea b", false, "", false},     // blank after the suffix
    {"1234567890", false, "", false},  // a part of ten digits
    {"123456789", true, "123456789", false},
    {"1.2.3.4.5.6.7.8", true, "2.3.4.5.6.7.8", false},
    {"1.2.3.4.5.6.7.8.9", false, "", false},  // more than eight parts
    {"17\xe9", false, "", false},
};

TEST(NumericVersion, Parse) {
    for (const ParseCase& c : kParse) {
        NumericVersion v;
        v.parts = {99};
        EXPECT_EQ(parseNumericVersion(c.text, v), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_EQ(v.parts, std::vector<uint32_t>{99}) << "untouched: " << c.text;
            continue;
        }
        NumericVersion plain = v;
        plain.prerelease = false;
        EXPECT_EQ(formatNumericVersion(plain), c.parts) << c.text;
        EXPECT_EQ(v.prerelease, c.prerelease) << c.text;
    }
}

NumericVersion parsed(const char* text) {
    NumericVersion v;
    EXPECT_TRUE(parseNumericVersion(text, v)) << text;
    return v;
}

struct OrderCase {
    const char* a;
    const char* b;
    int order;
};

const OrderCase kOrder[] = {
    {"9.0.4", "11", -1},         {"11", "17.0.9", -1},         {"17.0.9", "21", -1},
    {"1.8.0_372", "9.0.4", -1},  {"1.8.0_372", "8.0.372", 0},  {"17", "17.0.0", 0},
    {"17.0.9+9", "17.0.9", 0},   {"17.0.10", "17.0.9", 1},     {"1.10.0", "1.5", 1},
    {"21-ea", "21", 0},          {"17.0.9.1", "17.0.9", 1},    {"123456789", "99", 1},
};

TEST(NumericVersion, OrderIsNumeric) {
    for (const OrderCase& c : kOrder) {
        int got = compareNumericVersions(parsed(c.a), parsed(c.b));
        EXPECT_EQ(got < 0 ? -1 : got > 0 ? 1 : 0, c.order) << c.a << " vs " << c.b;
        int back = compareNumericVersions(parsed(c.b), parsed(c.a));
        EXPECT_EQ(back < 0 ? -1 : back > 0 ? 1 : 0, -c.order) << c.b << " vs " << c.a;
    }
}

struct LimitCase {
    const char* version;
    const char* min;  // "" none
    const char* max;
    bool within;
};

const LimitCase kLimits[] = {
    {"17.0.9", "", "17", true},          // an upper limit of one part admits 17.0.9
    {"17.0.9", "", "17.0", true},
    {"17.0.9", "", "17.0.8", false},
    {"18", "", "17", false},
    {"9.0.4", "11", "", false},          // numeric, not textual
    {"11", "11", "", true},
    {"11.0.2", "11.0.3", "", false},
    {"11", "11.0.0", "", true},          // missing parts count as 0
    {"1.8.0_372", "1.8", "1.8", true},
    {"1.8.0_372", "8", "8", true},       // "1.8" and "8" are the same
    {"9.0.4", "", "1.8", false},
    {"21", "11", "21", true},
    {"21.0.1", "11", "21.0.0", false},
    {"17.0.9", "17.0.9", "17.0.9", true},
};

TEST(NumericVersion, LimitsCompareTheirOwnParts) {
    for (const LimitCase& c : kLimits) {
        NumericVersion v = parsed(c.version);
        bool within = true;
        if (*c.min) within = within && meetsLowerLimit(v, parsed(c.min));
        if (*c.max) within = within && meetsUpperLimit(v, parsed(c.max));
        EXPECT_EQ(within, c.within) << c.version << " in [" << c.min << ", " << c.max << "]";
    }
}

struct ReleaseCase {
    const char* name;
    std::string content;
    bool usable;
    const char* parts;
    bool prerelease;
    const char* text;
};

const ReleaseCase kRelease[] = {
    {"a JDK 17", "IMPLEMENTOR=\"Eclipse Adoptium\"\nJAVA_VERSION=\"17.0.9\"\nJAVA_RUNTIME_VERSION=\"17.0.9+9\"\n",
     true, "17.0.9", false, "17.0.9 (17.0.9+9)"},
    {"CR LF and a byte-order mark", "\xEF\xBB\xBFJAVA_VERSION=\"1.8.0_372\"\r\nOS_NAME=\"Windows\"\r\n", true,
     "8.0.372", false, "1.8.0_372"},
    {"unquoted value", "JAVA_VERSION=21\n", true, "21", false, "21"},
    {"early access named by the runtime version", "JAVA_VERSION=\"22\"\nJAVA_RUNTIME_VERSION=\"22-ea+27-2262\"\n",
     true, "22", true, "22 (22-ea+27-2262)"},
    {"pre-release in JAVA_VERSION", "JAVA_VERSION=\"1.8.0-ea\"\n", true, "8.0", true, "1.8.0-ea"},
    {"the first JAVA_VERSION line counts", "JAVA_VERSION=\"11\"\nJAVA_VERSION=\"17\"\n", true, "11", false, "11"},
    {"no JAVA_VERSION", "IMPLEMENTOR=\"x\"\nJAVA_RUNTIME_VERSION=\"17+35\"\n", false, "", false, ""},
    {"a key that only begins alike", "JAVA_VERSION_DATE=\"2023-10-17\"\n", false, "", false, ""},
    {"indented key", " JAVA_VERSION=\"17\"\n", false, "", false, ""},
    {"unterminated quote", "JAVA_VERSION=\"17\n", false, "", false, ""},
    {"empty value", "JAVA_VERSION=\"\"\n", false, "", false, ""},
    {"not a version", "JAVA_VERSION=\"seventeen\"\n", false, "", false, ""},
    {"empty file", "", false, "", false, ""},
    {"binary junk", std::string("\0\0\x01JAVA", 7), false, "", false, ""},
    {"line beyond the read limit", std::string(kMaxReleaseFileSize, '#') + "\nJAVA_VERSION=\"17\"\n", false, "",
     false, ""},
    {"overlong value", "JAVA_VERSION=\"17." + std::string(300, '1') + "\"\n", false, "", false, ""},
};

TEST(ReleaseFile, VersionOfAHome) {
    for (const ReleaseCase& c : kRelease) {
        NumericVersion v;
        std::string text;
        EXPECT_EQ(releaseFileVersion(c.content, v, text), c.usable) << c.name;
        if (!c.usable) continue;
        EXPECT_EQ(v.prerelease, c.prerelease) << c.name;
        v.prerelease = false;
        EXPECT_EQ(formatNumericVersion(v), c.parts) << c.name;
        EXPECT_EQ(text, c.text) << c.name;
    }
}

// ---- a fake system ------------------------------------------------------------------------

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

struct FakeKey {
    std::vector<std::string> subkeys;
    std::vector<std::pair<std::string, std::string>> values;
};

class FakeSystem : public InstalledJvmSystem {
public:
    std::map<std::string, FakeKey> registry;  // "HKCU\path" / "HKLM\path"
    // A hostile root: every key below it has `hostileWidth` subkeys and a home value.
    std::string hostileRoot;
    size_t hostileWidth = 0;
    bool hostileValues = true;
    std::map<std::string, std::string> env;
    std::map<std::string, std::vector<std::string>> dirs;  // directory -> subdirectory names
    std::map<std::string, std::string> files;              // lower-cased path -> content
    std::map<std::string, std::string> probeAnswers;       // lower-cased exe -> version
    std::map<std::string, std::pair<PeImageKind, std::string>> vmProblems;  // lower-cased home -> why unusable
    size_t keysRead = 0;
    size_t largestSubkeyRequest = 0;
    size_t deepest = 0;
    std::vector<std::string> probed;

    void install(const std::string& home, const std::string& release, bool javaw = true, bool javac = false) {
        files[lower(home + "\\bin\\java.exe")] = "";
        if (javaw) files[lower(home + "\\bin\\javaw.exe")] = "";
        if (javac) files[lower(home + "\\bin\\javac.exe")] = "";
        if (!release.empty()) files[lower(home + "\\release")] = release;
    }

    bool readRegistryKey(RegistryHive hive, const std::string& path, size_t maxSubkeys,
                         std::vector<std::string>& subkeys,
                         std::vector<std::pair<std::string, std::string>>& homes) override {
        ++keysRead;
        largestSubkeyRequest = std::max(largestSubkeyRequest, maxSubkeys);
        std::string full = (hive == RegistryHive::CurrentUser ? "HKCU\\" : "HKLM\\") + path;
        if (!hostileRoot.empty() && full.compare(0, hostileRoot.size(), hostileRoot) == 0) {
            deepest = std::max<size_t>(deepest, std::count(full.begin() + hostileRoot.size(), full.end(), '\\'));
            for (size_t i = 0; i < std::min(hostileWidth, maxSubkeys); ++i) subkeys.push_back("k" + std::to_string(i));
            if (hostileValues) homes.emplace_back("Path", "C:\\hostile\\" + std::to_string(keysRead));
            return true;
        }
        auto it = registry.find(full);
        if (it == registry.end()) return false;
        for (size_t i = 0; i < it->second.subkeys.size() && i < maxSubkeys; ++i)
            subkeys.push_back(it->second.subkeys[i]);
        for (const auto& value : it->second.values)
            for (size_t i = 0; i < kInstalledJvmHomeValueCount; ++i)
                if (value.first == kInstalledJvmHomeValues[i]) homes.push_back(value);
        return true;
    }
    std::string environment(const char* name) override { return env.count(name) ? env[name] : std::string(); }
    std::vector<std::string> subdirectories(const std::string& directory, size_t maxEntries) override {
        auto it = dirs.find(directory);
        if (it == dirs.end()) return {};
        std::vector<std::string> names = it->second;
        if (names.size() > maxEntries) names.resize(maxEntries);
        return names;
    }
    bool isDirectory(const std::string& path) override {
        if (dirs.count(path)) return true;
        for (const auto& d : dirs)
            for (const std::string& name : d.second)
                if (lower(d.first + "\\" + name) == lower(path)) return true;
        return false;
    }
    bool fileExists(const std::string& path) override { return files.count(lower(path)) > 0; }
    bool readFile(const std::string& path, size_t maxBytes, std::string& content) override {
        auto it = files.find(lower(path));
        if (it == files.end()) return false;
        content = it->second.substr(0, maxBytes);
        return true;
    }
    std::string normalise(const std::string& path) override {
        std::string p = lower(path);
        while (p.size() > 1 && p.back() == '\\') p.pop_back();
        return p;
    }
    std::string javaExeOfHome(const std::string& home) override {
        std::string kit = home + "\\jre\\bin\\java.exe";
        return fileExists(kit) ? kit : home + "\\bin\\java.exe";
    }
    VmLibraryVerdict vmLibrary(const std::string& exe, const std::string& home) override {
        VmLibraryVerdict v;
        auto it = vmProblems.find(lower(home));
        v.usable = it == vmProblems.end();
        v.library = home + "\\bin\\server\\jvm.dll";
        if (!v.usable) {
            v.kind = it->second.first;
            v.reason = it->second.second;
        }
        return v;
    }
    bool checkVersion(std::string& exe, std::string& versionOut) override {
        probed.push_back(exe);
        exe = normalise(exe);
        auto it = probeAnswers.find(lower(exe));
        if (it == probeAnswers.end()) return false;
        versionOut = it->second;
        return true;
    }
};

std::vector<std::string> describe(const std::vector<JvmCandidate>& candidates) {
    std::vector<std::string> out;
    for (const JvmCandidate& c : candidates)
        out.push_back((c.kind == JvmSource::Registry ? "R " : "L ") + c.home + " | " + c.origin);
    return out;
}

// ---- collection ---------------------------------------------------------------------------

TEST(InstalledJvmCandidates, RegistryThenDirectoriesInTableOrder) {
    FakeSystem s;
    s.registry["HKLM\\SOFTWARE\\Eclipse Adoptium"] = {{"JDK"}, {}};
    s.registry["HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK"] = {{"17.0.9.9"}, {}};
    s.registry["HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9"] = {{"hotspot"}, {}};
    s.registry["HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot"] = {{"MSI"}, {}};
    s.registry["HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI"] = {
        {"too deep"}, {{"Path", "C:\\Program Files\\Eclipse Adoptium\\jdk-17.0.9.9-hotspot\\"}}};
    s.registry["HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI\\too deep"] = {
        {}, {{"Path", "C:\\never"}}};
    s.registry["HKLM\\SOFTWARE\\JavaSoft\\JDK"] = {{"17", "21"}, {{"CurrentVersion", "21"}}};
    s.registry["HKLM\\SOFTWARE\\JavaSoft\\JDK\\17"] = {{}, {{"JavaHome", "C:\\Program Files\\Java\\jdk-17"}}};
    s.registry["HKLM\\SOFTWARE\\JavaSoft\\JDK\\21"] = {{}, {{"JavaHome", "C:\\Program Files\\Java\\jdk-21"}}};
    s.registry["HKCU\\SOFTWARE\\Azul Systems\\Zulu"] = {{"zulu-11"}, {}};
    s.registry["HKCU\\SOFTWARE\\Azul Systems\\Zulu\\zulu-11"] = {{}, {{"InstallationPath", "C:\\Zulu\\zulu-11\\"}}};
    s.env = {{"ProgramFiles", "C:\\Program Files"},
             {"USERPROFILE", "C:\\users\\me\\"},
             {"LOCALAPPDATA", "C:\\users\\me\\AppData\\Local"}};
    s.dirs["C:\\Program Files\\Java"] = {"jre1.8.0_372", "jdk1.8.0_372"};
    s.dirs["C:\\Program Files\\Java\\jdk1.8.0_372"] = {"jre", "bin"};
    s.dirs["C:\\users\\me\\.jdks"] = {"temurin-21", "Corretto-17"};
    s.dirs["C:\\users\\me\\scoop\\apps"] = {"temurin17-jdk", "git"};
    s.dirs["C:\\users\\me\\scoop\\apps\\temurin17-jdk"] = {"current", "17.0.9"};

    EXPECT_EQ(describe(collectInstalledJvmCandidates(s)),
              (std::vector<std::string>{
                  "R C:\\Zulu\\zulu-11 | HKCU\\SOFTWARE\\Azul Systems\\Zulu\\zulu-11 InstallationPath",
                  "R C:\\Program Files\\Java\\jdk-17 | HKLM\\SOFTWARE\\JavaSoft\\JDK\\17 JavaHome",
                  "R C:\\Program Files\\Java\\jdk-21 | HKLM\\SOFTWARE\\JavaSoft\\JDK\\21 JavaHome",
                  "R C:\\Program Files\\Eclipse Adoptium\\jdk-17.0.9.9-hotspot | "
                  "HKLM\\SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI Path",
                  "L C:\\Program Files\\Java\\jdk1.8.0_372 | %ProgramFiles%\\Java",
                  "L C:\\Program Files\\Java\\jdk1.8.0_372\\jre | %ProgramFiles%\\Java",
                  "L C:\\Program Files\\Java\\jre1.8.0_372 | %ProgramFiles%\\Java",
                  "L C:\\users\\me\\.jdks\\Corretto-17 | %USERPROFILE%\\.jdks",
                  "L C:\\users\\me\\.jdks\\temurin-21 | %USERPROFILE%\\.jdks",
                  "L C:\\users\\me\\scoop\\apps\\temurin17-jdk\\current | %USERPROFILE%\\scoop\\apps\\*\\current",
              }));
}

TEST(InstalledJvmCandidates, HostileRegistryIsWalkedWithinBounds) {
    // Every key below the root has 100000 subkeys and a home value: the candidate bound ends the walk.
    FakeSystem s;
    s.hostileRoot = "HKLM\\SOFTWARE\\Eclipse Adoptium";
    s.hostileWidth = 100000;
    std::vector<JvmCandidate> candidates = collectInstalledJvmCandidates(s);
    EXPECT_LE(s.largestSubkeyRequest, kRegistrySubkeysPerKey);
    EXPECT_LE(s.deepest, kRegistryWalkDepth);
    EXPECT_EQ(candidates.size(), kInstalledJvmCandidates);
    // The 14 per-user roots and the 4 machine roots before it, then one key per candidate.
    EXPECT_EQ(s.keysRead, kInstalledJvmRegistryRootCount + 4 + kInstalledJvmCandidates);

    // The same without values: the key bounds end the walk, and later roots still get their turn.
    FakeSystem quiet;
    quiet.hostileRoot = "HKCU\\SOFTWARE\\JavaSoft\\JDK";
    quiet.hostileWidth = 100000;
    quiet.hostileValues = false;
    quiet.registry["HKCU\\SOFTWARE\\Microsoft\\JDK"] = {{}, {{"Path", "C:\\ms"}}};
    EXPECT_EQ(describe(collectInstalledJvmCandidates(quiet)),
              std::vector<std::string>{"R C:\\ms | HKCU\\SOFTWARE\\Microsoft\\JDK Path"});
    EXPECT_EQ(quiet.keysRead, kRegistryKeysPerRoot + 2 * kInstalledJvmRegistryRootCount - 1);
    EXPECT_LE(quiet.deepest, kRegistryWalkDepth);
}

// ---- judging ------------------------------------------------------------------------------
// The end-to-end tests cover limits, pre-releases, javaw.exe, javac.exe and removed homes under Wine;
// these are the cases they do not reach.

struct Install {
    std::string home;
    std::string release;  // content of home\release, "" none
    std::string probe;    // the version checkJavaExe reports, "" none
    bool present = true;  // false: the directory is gone
    const char* vmProblem = nullptr;  // the VM library is unusable for this reason
    bool java = true;     // false: no java.exe / javaw.exe (jlink --strip-native-commands)
};

std::string release(const char* version) { return std::string("JAVA_VERSION=\"") + version + "\"\n"; }

struct ChoiceCase {
    const char* name;
    std::vector<Install> installs;  // the candidates in this order
    const char* min;
    const char* max;
    const char* chosen;  // home, "" none
    size_t probes;       // checkJavaExe calls
    const char* logged;  // a line that must be in the log ("" none)
};

const ChoiceCase kChoice[] = {
    {"1.8 limits a Java 8", {{"C:\\j8", release("1.8.0_372"), ""}, {"C:\\j11", release("11.0.21"), ""}}, "1.8",
     "1.8", "C:\\j8", 0,
     "installed JVM C:\\j11 (test): version 11.0.21 from release file, refused: above MAX_VERSION 1.8"},
    {"a tie keeps the earlier candidate",
     {{"C:\\first", release("17.0.9"), ""}, {"C:\\second", release("17.0.9"), ""}}, "", "", "C:\\first", 0, ""},
    {"checkJavaExe only without a usable release file",
     {{"C:\\probed", "", "17.0.10"}, {"C:\\bad", "JAVA_VERSION=x\n", "11"}, {"C:\\j17", release("17.0.9"), "99"}},
     "", "", "C:\\probed", 2, "installed JVM C:\\probed (test): version 17.0.10 from checkJavaExe, accepted"},
    {"a failed probe is refused", {{"C:\\failing", "", "1.0.0"}, {"C:\\silent", "", ""}}, "", "", "", 2,
     "installed JVM C:\\failing (test): refused: java.exe failed when it was run (cached as 1.0.0)"},
    {"the same home twice counts once", {{"C:\\j17", release("17.0.9"), ""}, {"c:\\J17\\", "", "", false}}, "", "",
     "C:\\j17", 0, "installed JVM c:\\J17\\ (test): same installation as C:\\j17"},
    {"an unusable limit admits nothing", {{"C:\\j17", release("17.0.9"), ""}}, "latest", "", "", 0,
     "installed JVMs: MIN_VERSION latest is not a version number, no installation qualifies"},
    {"a higher home whose VM library cannot load is refused, not probed",
     {{"C:\\j21", "", "21.0.1", true, "no VM library (jvm.dll)"}, {"C:\\j17", release("17.0.9"), ""}}, "", "",
     "C:\\j17", 0, "installed JVM C:\\j21 (test): refused: no VM library (jvm.dll)"},
    {"a 32-bit VM library is refused",
     {{"C:\\j21", release("21.0.1"), "", true, "wrong architecture: x is for i386 (32-bit x86), not x86-64"},
      {"C:\\j11", release("11.0.2"), ""}},
     "", "", "C:\\j11", 0,
     "installed JVM C:\\j21 (test): refused: wrong architecture: x is for i386 (32-bit x86), not x86-64"},
    {"a stripped runtime: release file and VM library, no java.exe",
     {{"C:\\stripped", release("21.0.1"), "", true, nullptr, false}, {"C:\\j17", release("17.0.9"), ""}}, "", "",
     "C:\\stripped", 0, "installed JVM C:\\stripped (test): version 21.0.1 from release file, no java.exe, accepted"},
    {"no java.exe and no release file is refused",
     {{"C:\\bare", "", "", true, nullptr, false}, {"C:\\j17", release("17.0.9"), ""}}, "", "", "C:\\j17", 0,
     "installed JVM C:\\bare (test): refused: C:\\bare\\bin\\java.exe doesn't exist"},
    {"numeric limits through the shared rule: 9 to 17",
     {{"C:\\j21", release("21"), ""}, {"C:\\j904", release("9.0.4"), ""}, {"C:\\j17", release("17.0.9"), ""}},
     "9", "17", "C:\\j17", 0, "installed JVM C:\\j21 (test): version 21 from release file, refused: above MAX_VERSION 17"},
};

TEST(InstalledJvmChoice, Table) {
    for (const ChoiceCase& c : kChoice) {
        hostLogClear();
        FakeSystem s;
        std::vector<JvmCandidate> candidates;
        for (const Install& i : c.installs) {
            if (i.present) s.install(i.home, i.release);
            if (!i.java) {
                s.files.erase(lower(i.home + "\\bin\\java.exe"));
                s.files.erase(lower(i.home + "\\bin\\javaw.exe"));
            }
            if (i.vmProblem) s.vmProblems[lower(i.home)] = {PeImageKind::WrongMachine, i.vmProblem};
            if (!i.probe.empty()) s.probeAnswers[lower(i.home + "\\bin\\java.exe")] = i.probe;
            candidates.push_back(JvmCandidate{i.home, JvmSource::Location, "test"});
        }
        InstalledJvmSettings settings;
        settings.min = c.min;
        settings.max = c.max;
        InstalledJvmChoice choice;
        bool found = chooseInstalledJvm(s, candidates, settings, choice);
        EXPECT_EQ(found, *c.chosen != 0) << c.name;
        if (found) {
            EXPECT_EQ(choice.home, c.chosen) << c.name;
            EXPECT_EQ(choice.exe, lower(std::string(c.chosen) + "\\bin\\java.exe")) << c.name;
        }
        EXPECT_EQ(s.probed.size(), c.probes) << c.name;
        const std::vector<std::string>& lines = hostLogLines();
        if (*c.logged) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), c.logged), lines.end()) << c.name;
        }
        // One verdict line per candidate (none when the limits are unusable), then the outcome.
        size_t verdicts = std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
            return l.compare(0, 14, "installed JVM ") == 0 && l.compare(0, 21, "installed JVM chosen:") != 0;
        });
        EXPECT_EQ(verdicts, std::string(c.min) == "latest" ? 0 : c.installs.size()) << c.name;
        EXPECT_EQ(lines.back(), found ? "installed JVM chosen: " + choice.exe + " " + choice.version
                                      : std::string("no installed JVM accepted"))
            << c.name;
    }
}
}  // namespace
