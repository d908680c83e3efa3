// tovex-build --check. Every rule here is the launcher's own (search entries,
// version limits, class-path entries, message arguments, executable types),
// called rather than restated, so that the check and the launcher cannot drift.
#include "check.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "files/paths.h"
#include "jvm/numeric_version.h"
#include "jvm/search.h"
#include "jvm/versions.h"
#include "launcher/config.h"
#include "launcher/config_ids.h"
#include "launcher/texts.h"
#include "pe_resources.h"
#include "windows/cds.h"
#include "stubs.h"
#include "windows/classpath.h"

namespace builder {

namespace {

// The entry letters that can find a runtime on a machine where no variable
// names one: the directories, the registry sources and the system path.
bool findsRuntimeWithoutVariables(char type) { return type != '\0' && std::strchr("ABRJYS", type) != nullptr; }

bool isDirectoryLetter(char type) { return type == 'A' || type == 'B' || type == 'R'; }

bool splashImageGiven(const BuildInput& input) { return input.resources.lines.count("SPLASH_IMAGE") != 0; }

size_t countOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

size_t countOf(const std::u16string& text, const std::string& what) {
    std::u16string wide(what.begin(), what.end());  // ASCII
    size_t n = 0;
    for (size_t at = text.find(wide); at != std::u16string::npos; at = text.find(wide, at + wide.size())) ++n;
    return n;
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

struct Checker {
    const BuildInput& input;
    const CheckContext& context;
    std::vector<Finding> findings;

    const Setting* setting(int32_t id) const {
        auto it = input.strings.find(id);
        return it == input.strings.end() ? nullptr : &it->second;
    }
    std::string value(int32_t id) const {
        const Setting* s = setting(id);
        return s ? s->value : std::string();
    }
    int32_t number(int32_t id) const { return parseConfigInt(value(id).c_str()); }
    // Where a finding about a setting points: its line, or line 1 when it is absent.
    std::string origin(int32_t id) const {
        const Setting* s = setting(id);
        return s ? s->origin : context.configFile + ":1";
    }
    void error(const std::string& where, const std::string& text) { findings.push_back({where, true, text}); }
    void warning(const std::string& where, const std::string& text) { findings.push_back({where, false, text}); }

    void mainClass() {
        if (value(CFG_MAIN_CLASS).empty())
            error(origin(CFG_MAIN_CLASS),
                  "no MAIN_CLASS: the launcher hands an empty class name to the Java side and the start fails");
    }

    // A directory entry that a check under the application directory can look at.
    bool isBundledDirectory(const SearchEntry& entry) const {
        const std::string& text = entry.text;
        return isDirectoryLetter(entry.type) && !text.empty() && text.find('%') == std::string::npos &&
               !isAbsoluteLocation(text) && text[0] != '\\' && text[0] != '/';
    }

    // A runtime home as the search takes it: bin\java.exe (or jre\bin\java.exe),
    // and the windowless javaw.exe beside it for a GUI application.
    std::string missingRuntimePart(const std::string& home) const {
        if (windowsPathKind(context.appDir, home) != 2) return "is missing";
        std::string bin = windowsPathKind(context.appDir, home + "\\jre\\bin\\java.exe") == 1 ? "\\jre\\bin" : "\\bin";
        const char* exe = number(CFG_EXE_TYPE) == 1 ? "javaw.exe" : "java.exe";
        if (windowsPathKind(context.appDir, home + bin + "\\java.exe") != 1 ||
            windowsPathKind(context.appDir, home + bin + "\\" + exe) != 1)
            return std::string("has no ") + (bin.c_str() + 1) + "\\" + exe;
        return std::string();
    }

    void searchSequence() {
        const std::string where = origin(CFG_JVM_SEARCH_SEQUENCE);
        std::vector<SearchEntry> entries = parseSearchSequence(value(CFG_JVM_SEARCH_SEQUENCE));
        bool anySource = false;      // an entry that can find a runtime without a variable
        bool otherSource = false;    // such an entry that is not a bundled directory found broken below
        std::vector<std::pair<std::string, std::string>> broken;  // (directory, what is wrong)
        for (const SearchEntry& entry : entries) {
            if (!isKnownSearchLetter(entry.type)) {
                warning(where, "JVM_SEARCH_SEQUENCE: the entry " + quoted(std::string(1, entry.type) + entry.text) +
                                   " is ignored: '" + std::string(1, entry.type) +
                                   "' is no entry letter (A, B, R, E, S, Y, J)");
                continue;
            }
            const std::string& t = entry.text;
            if ((isDirectoryLetter(entry.type) || entry.type == 'E') && !t.empty() &&
                (t.front() == ' ' || t.front() == '\t' || t.back() == ' ' || t.back() == '\t')) {
                size_t b = t.find_first_not_of(" \t"), e = t.find_last_not_of(" \t");
                std::string meant = std::string(1, entry.type) + (b == std::string::npos ? "" : t.substr(b, e - b + 1));
                warning(where, "JVM_SEARCH_SEQUENCE: the entry " + quoted(std::string(1, entry.type) + t) +
                                   " has blanks around its text, which the launcher keeps (meant " + quoted(meant) +
                                   "?)");
            }
            if (!findsRuntimeWithoutVariables(entry.type)) continue;
            anySource = true;
            std::string problem;
            if (!context.appDir.empty() && isBundledDirectory(entry)) problem = missingRuntimePart(entry.text);
            if (problem.empty())
                otherSource = true;
            else
                broken.push_back({entry.text, problem});
        }
        if (!anySource) {
            warning(where, std::string(setting(CFG_JVM_SEARCH_SEQUENCE) ? "JVM_SEARCH_SEQUENCE has no entry"
                                                                         : "no JVM_SEARCH_SEQUENCE: nothing") +
                               " that can find a Java runtime on a machine without JAVA_HOME or a like variable "
                               "(add B.\\jre for a bundled runtime, or J, Y or S)");
        }
        for (const auto& b : broken) {
            std::string text = "JVM_SEARCH_SEQUENCE: the runtime directory " + b.first + " " + b.second + " under " +
                               context.appDir;
            if (otherSource)
                warning(where, text);
            else
                error(where, text + ", and no other entry can find a Java runtime");
        }
    }

    void versionLimits() {
        std::string min = value(CFG_MIN_VERSION), max = value(CFG_MAX_VERSION);
        if (min.empty() || max.empty()) return;
        // Either range is empty exactly when the lower limit itself fails the upper one.
        // The 'J' entry compares as numbers, every other step of the search as text.
        bool textEmpty = !isWithinVersionLimits(min, min, max);
        NumericVersion low, high;
        bool numberEmpty = parseNumericVersion(min, low) && parseNumericVersion(max, high) && !meetsUpperLimit(low, high);
        std::vector<SearchEntry> entries = parseSearchSequence(value(CFG_JVM_SEARCH_SEQUENCE));
        bool byNumber = false, byText = entries.empty(), fallback = false;  // no entries: only the fixed steps
        for (const SearchEntry& entry : entries) {
            byNumber = byNumber || entry.type == 'J';
            byText = byText || (isKnownSearchLetter(entry.type) && entry.type != 'J');
            fallback = fallback || takesPartInFallback(entry);
        }
        textEmpty = textEmpty && byText;
        numberEmpty = numberEmpty && byNumber;
        if (!textEmpty && !numberEmpty) return;
        const std::string limits = "MIN_VERSION " + quoted(min) + " is above MAX_VERSION " + quoted(max);
        if ((textEmpty || !byText) && (numberEmpty || !byNumber)) {
            std::string text = limits + ": no Java version passes both (versions compare " +
                               (byNumber && !byText ? "as numbers" : byNumber ? "as text, and as numbers for J"
                                                                                : "as text, character by character") +
                               ")";
            if (fallback)
                warning(origin(CFG_MIN_VERSION), text + "; only a runtime directory retried without a version check "
                                                        "can start");
            else
                error(origin(CFG_MIN_VERSION), text);
        } else if (textEmpty) {
            warning(origin(CFG_MIN_VERSION), limits + " for the entries other than J, which compare versions as "
                                                      "text (character by character): only J can pass both");
        } else {
            warning(origin(CFG_MIN_VERSION), limits + " for the J entry, which compares versions as numbers: only "
                                                      "the other entries can pass both");
        }
    }

    void classPath() {
        if (context.appDir.empty()) return;
        for (const ClassPathEntry& entry : parseClassPath(value(CFG_CLASS_PATH))) {
            if (!entry.mandatory || entry.name.empty() || entry.name.find('%') != std::string::npos ||
                entry.name[0] == '"' || !isRelativePath(entry.name))
                continue;
            int kind = windowsPathKind(context.appDir, entry.name);
            bool found = false;
            const char* what = "entry";
            if (entry.type == 'A' || entry.type == 'D') {
                found = kind != 0;
            } else if (entry.type == 'S') {
                found = kind == 2;
                what = "directory";
            } else {
                continue;  // 'E': a variable of the user's machine
            }
            if (!found)
                error(origin(CFG_CLASS_PATH), std::string("CLASS_PATH: the mandatory ") + what + " " + entry.name +
                                                  " is missing under " + context.appDir +
                                                  ": the start fails with MSG_FILE_NOT_FOUND");
        }
    }

    void stubAndType() {
        if (context.stubImage.empty()) return;
        int subsystem = 0;
        std::string message;
        if (!peSubsystem(context.stubImage, subsystem, message)) {
            error("--stub", context.stubPath + ": " + message);
            return;
        }
        int32_t exeType = number(CFG_EXE_TYPE);
        if (exeType == 1 && subsystem == kSubsystemConsole)
            warning(origin(CFG_EXE_TYPE), "EXE_TYPE 1 (a GUI application) with the console stub " +
                                              context.stubPath +
                                              ": a console window opens beside the application (use --stub gui)");
        if (!exeTypeShowsMessageBoxes(exeType) && subsystem == kSubsystemGui)
            warning(origin(CFG_EXE_TYPE), "EXE_TYPE " + std::to_string(exeType) + " with the GUI stub " +
                                              context.stubPath +
                                              ": errors go to standard error, which a program started from "
                                              "Explorer does not have (set EXE_TYPE = 1 or use --stub console)");
    }

    void splash() {
        if (number(CFG_SPLASH_ENABLED) == 0) return;
        if (number(CFG_SPLASH_FROM_RUNTIME) == 0) {
            std::string missing;
            if (number(CFG_SPLASH_WIDTH) <= 0) missing = "SPLASH_WIDTH";
            if (number(CFG_SPLASH_HEIGHT) <= 0) missing += missing.empty() ? "SPLASH_HEIGHT" : " and SPLASH_HEIGHT";
            if (!missing.empty())
                warning(origin(CFG_SPLASH_ENABLED),
                        "SPLASH_ENABLED without " + missing + ": the splash window has no size and is not seen");
        }
        if (!splashImageGiven(input))
            warning(origin(CFG_SPLASH_ENABLED),
                    "SPLASH_ENABLED without SPLASH_IMAGE in [resources]: the stub's placeholder image is shown");
    }

    void messageArguments() {
        auto report = [this](int32_t id, size_t count, const std::string& where) {
            if (count > 1)
                warning(where, std::string(findConfigId(id)->name) + " has " + std::to_string(count) + " \"" +
                                   texts::kMessageArgument +
                                   "\": only the first is filled in, the others are shown as they are");
        };
        for (int32_t id = CFG_MSG_ERROR_CAPTION; id <= CFG_MSG_JVM_DAMAGED_64; ++id) {
            if (const Setting* s = setting(id)) report(id, countOf(s->value, texts::kMessageArgument), s->origin);
            auto wide = input.wides.find(id);
            if (wide != input.wides.end())
                report(id, countOf(wide->second.value, texts::kMessageArgument), wide->second.origin);
            for (const LanguageSetInput& set : input.sets) {
                auto entry = set.entries.find(id);
                if (entry != set.entries.end())
                    report(id, countOf(entry->second.value, texts::kMessageArgument), entry->second.origin);
            }
        }
    }

    // Managed class-data sharing is on unless the configuration turns it off; say when it
    // cannot do anything for this executable.
    void classDataSharing() {
        const Setting* own = setting(CFG_CLASS_DATA_SHARING);
        if (own && number(CFG_CLASS_DATA_SHARING) == 0) return;
        std::string options = value(CFG_VM_OPTIONS);
        size_t start = 0;
        while (start < options.size()) {
            size_t end = options.find_first_of(" \t", start);
            if (end == std::string::npos) end = options.size();
            std::string token = options.substr(start, end - start);
            if (!token.empty() && (token[0] == '"' || token[0] == '\'')) token.erase(0, 1);
            if (!token.empty() && (token.back() == '"' || token.back() == '\'')) token.pop_back();
            if (isClassDataSharingOption(token)) {
                warning(origin(CFG_VM_OPTIONS), "VM_OPTIONS sets class-data sharing itself (" + token +
                                                     "): the launcher's managed archive (CLASS_DATA_SHARING) "
                                                     "is not used");
                return;
            }
            start = end + 1;
        }
        if (!own) return;  // on by default: the appended archives are explained when it is asked for
        for (const AppendedFile& file : input.files) {
            std::string lower = file.name;
            for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
            if (lower.size() > 4 && (lower.compare(lower.size() - 4, 4, ".jar") == 0 ||
                                     lower.compare(lower.size() - 4, 4, ".zip") == 0)) {
                warning(own->origin, "CLASS_DATA_SHARING with appended archive " + file.name +
                                   ": appended files are extracted anew at every start, so the managed "
                                   "archive is not used (ship the jars beside the executable, or set "
                                   "CLASS_DATA_SHARING = 0)");
                return;
            }
        }
    }

    void appendedFiles() {
        BlockData block;
        std::string message;
        if (!finishBlock(input, block, message)) {
            size_t colon = message.find(": ");
            error(message.substr(0, colon), message.substr(colon + 2));
            return;
        }
        if (input.files.empty()) return;
        uint64_t total = encodeBlock(block).size();
        uint64_t stubPart = 0;
        if (!context.stubImage.empty() && findBlockStart(context.stubImage, stubPart, message)) total += stubPart;
        bool reported = false;
        for (const AppendedFile& file : input.files) {
            uint64_t size = 0;
            if (!fileSize(file.path, size, message)) {
                error(file.origin, message);
                continue;
            }
            total += 8 + size;
            if (total > kMaxImageSize && !reported) {
                error(file.origin, "with this file the executable would be " + std::to_string(total) +
                                       " bytes, more than the launcher can read (at most " +
                                       std::to_string(kMaxImageSize) + ": its file positions are 32-bit)");
                reported = true;
            }
        }
    }
};

// "FILE:LINE" origins of the configuration file sort by line, before all others.
std::pair<int, long> sortKey(const Finding& finding, const std::string& configFile) {
    const std::string& o = finding.origin;
    if (o.size() > configFile.size() + 1 && o.compare(0, configFile.size(), configFile) == 0 &&
        o[configFile.size()] == ':') {
        std::string line = o.substr(configFile.size() + 1);
        if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos)
            return {0, std::atol(line.c_str())};
    }
    return {1, 0};
}

// An error message of the parser ("ORIGIN: message") as a finding.
Finding findingOf(const std::string& message, const std::string& configFile) {
    size_t colon = message.find(": ");
    if (message.compare(0, configFile.size(), configFile) == 0) colon = message.find(": ", configFile.size());
    if (colon == std::string::npos) return {configFile + ":1", true, message};
    return {message.substr(0, colon), true, message.substr(colon + 2)};
}

}  // namespace

std::vector<Finding> checkInput(const BuildInput& input, const CheckContext& context) {
    Checker c{input, context, {}};
    c.mainClass();
    c.searchSequence();
    c.versionLimits();
    c.classPath();
    c.stubAndType();
    c.splash();
    c.messageArguments();
    c.classDataSharing();
    c.appendedFiles();
    std::stable_sort(c.findings.begin(), c.findings.end(), [&context](const Finding& a, const Finding& b) {
        return sortKey(a, context.configFile) < sortKey(b, context.configFile);
    });
    return c.findings;
}

std::string formatFinding(const Finding& finding) {
    return finding.origin + (finding.error ? ": error: " : ": warning: ") + finding.text;
}

int runCheck(const std::string& configPath, const std::string& appDir, const std::string& stubArgument,
             const std::vector<std::pair<bool, std::string>>& overrides, const std::string& builderDir,
             std::string& out, std::string& err) {
    std::string text, message;
    if (!readWholeFile(configPath, text, message)) {
        err += "tovex-build: " + message + "\n";
        return 1;
    }
    if (!appDir.empty() && windowsPathKind(appDir, ".") != 2) {
        err += "tovex-build: --app-dir " + appDir + ": not a directory\n";
        return 1;
    }
    std::vector<Finding> findings;
    BuildInput input;
    bool parsed = parseConfigText(text, configPath, directoryOf(configPath), input, message);
    for (size_t i = 0; parsed && i < overrides.size(); ++i)
        parsed = overrides[i].first ? applyFileArgument(overrides[i].second, input, message)
                                    : applySetArgument(overrides[i].second, input, message);
    if (!parsed) {
        findings.push_back(findingOf(message, configPath));
    } else {
        // The resources as a build makes them: a refused icon or image is a finding, and a
        // splash image gives the splash window its size.
        ResourceSet resources;
        bool resourcesReady = prepareResourceChanges(input, "app.exe", nullptr, resources, message);
        if (!resourcesReady) findings.push_back(findingOf(message, configPath));
        CheckContext context{configPath, appDir, std::string(), std::string()};
        std::string note;
        if (resolveStub(stubArgument, input, builderDir, context.stubPath, note, message)) {
            err += note;
            std::string image;
            if (!readWholeFile(context.stubPath, context.stubImage, message))
                findings.push_back({"--stub", true, message});
            else if (resourcesReady && writeResources(context.stubImage, resources, image, message))
                context.stubImage.swap(image);  // the stub part of the executable, its resources written
        } else if (!stubArgument.empty()) {
            findings.push_back({"--stub", true, message});
        }
        std::vector<Finding> more = checkInput(input, context);
        findings.insert(findings.end(), more.begin(), more.end());
    }
    int errors = 0, warnings = 0;
    for (const Finding& f : findings) {
        out += formatFinding(f) + "\n";
        (f.error ? errors : warnings) += 1;
    }
    err += "tovex-build: " + configPath + ": " + std::to_string(errors) + (errors == 1 ? " error, " : " errors, ") +
           std::to_string(warnings) + (warnings == 1 ? " warning\n" : " warnings\n");
    return errors ? 1 : 0;
}

}  // namespace builder
