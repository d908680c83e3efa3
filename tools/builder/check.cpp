// tovex-build --check. Every rule here is the launcher's own (search entries,
// version limits, class-path entries, message arguments, executable types),
// called rather than restated, so that the check and the launcher cannot drift.
#include "check.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "files/paths.h"
#include "jvm/numeric_version.h"
#include "jvm/search.h"
#include "jvm/versions.h"
#include "launcher/config.h"
#include "launcher/config_ids.h"
#include "launcher/texts.h"
#include "pe_resources.h"
#include "stubs.h"
#include "windows/args.h"
#include "windows/classpath.h"
#include "windows/option_lines.h"
#include "zip_names.h"

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

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char a = text[text.size() - suffix.size() + i], b = suffix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

bool isArchiveName(const std::string& name) { return endsWithIgnoringCase(name, ".jar") || endsWithIgnoringCase(name, ".zip"); }

// A name that --check cannot resolve on the build machine: variables, quotes, absolute paths.
bool namesSomethingElsewhere(const std::string& name) {
    return name.empty() || name.find('%') != std::string::npos || name.find("${") != std::string::npos ||
           name[0] == '"' || !isRelativePath(name);
}

// "a.b.Main" -> "a/b/Main.class".
std::string classEntryName(const std::string& dotted) {
    std::string path = dotted;
    std::replace(path.begin(), path.end(), '.', '/');
    return path + ".class";
}

// The entry of a jar that holds the class: its own name, or a multi-release one
// ("META-INF/versions/N/a/b/Main.class").
bool jarEntryHoldsClass(const std::string& entry, const std::string& classPath) {
    if (entry == classPath) return true;
    const std::string versions = "META-INF/versions/";
    if (entry.size() <= versions.size() + classPath.size() + 1 || entry.compare(0, versions.size(), versions) != 0 ||
        entry.compare(entry.size() - classPath.size(), classPath.size(), classPath) != 0)
        return false;
    std::string middle = entry.substr(versions.size(), entry.size() - classPath.size() - versions.size());
    return middle.size() >= 2 && middle.back() == '/' &&
           middle.find_first_not_of("0123456789") == middle.size() - 1;
}

// A host path with its "." and ".." components resolved as text ("a/b/../c" is "a/c").
std::string withoutDotDot(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == ".." && !parts.empty() && !parts.back().empty() && parts.back() != "..")
            parts.pop_back();
        else if (part != "." && !(part.empty() && !parts.empty()))
            parts.push_back(part);
        start = end + 1;
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? "/" : "") + parts[i];
    return out;
}

// Where the launcher's options-file lint stops following includes.
constexpr int kMaxLintDepth = 8;

struct Checker {
    const BuildInput& input;
    const CheckContext& context;
    std::vector<Finding> findings;
    Checker(const BuildInput& in, const CheckContext& ctx) : input(in), context(ctx) {}

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
        const std::string name = value(CFG_MAIN_CLASS);
        if (name.empty()) {
            error(origin(CFG_MAIN_CLASS),
                  "no MAIN_CLASS: the launcher hands an empty class name to the Java side and the start fails");
            return;
        }
        // The Java side loads the class by its binary name: dots, no file name.
        std::string meant = name;
        if (endsWithIgnoringCase(meant, ".class") || endsWithIgnoringCase(meant, ".java"))
            meant = meant.substr(0, meant.rfind('.'));
        std::replace(meant.begin(), meant.end(), '/', '.');
        std::replace(meant.begin(), meant.end(), '\\', '.');
        if (meant != name)
            error(origin(CFG_MAIN_CLASS), "MAIN_CLASS " + name + " is not a class name, which the Java side needs "
                                          "(write " + meant + ")");
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
        // The range is empty exactly when the lower limit itself fails the upper one, by
        // the rule every search entry applies (numbers; text that is no version byte-wise).
        if (isVersionAccepted(min, min, max, true)) return;
        bool fallback = false;
        for (const SearchEntry& entry : parseSearchSequence(value(CFG_JVM_SEARCH_SEQUENCE)))
            fallback = fallback || takesPartInFallback(entry);
        std::string text = "MIN_VERSION " + quoted(min) + " is above MAX_VERSION " + quoted(max) +
                           ": no Java version passes both (versions compare as numbers)";
        if (fallback)
            warning(origin(CFG_MIN_VERSION), text + "; only a runtime directory retried without a version check "
                                                    "can start");
        else
            error(origin(CFG_MIN_VERSION), text);
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
            // A refused [resources] line is reported; the size its image would have given is not.
            if (!missing.empty() && !(context.resourcesRefused && splashImageGiven(input)))
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


    // ---- The class path as the launcher composes it, seen under the application directory ----
    struct ClassPathView {
        std::vector<std::pair<std::string, std::string>> archives;     // (name as configured, host path)
        std::vector<std::pair<std::string, std::string>> directories;  // (name as configured, host path)
        bool unresolved = false;  // an entry --check cannot look into (a variable, an absolute path, ...)
    };
    bool optionsClassPath = false;  // a "-classpath" form in VM_OPTIONS or an options file
    std::map<std::string, std::vector<std::string>> jarNames;  // host path -> entry names
    std::set<std::string> unreadableJars;

    ClassPathView classPathView() {
        ClassPathView view;
        view.unresolved = optionsClassPath;
        for (const ClassPathEntry& entry : parseClassPath(value(CFG_CLASS_PATH))) {
            if (entry.type != 'A' && entry.type != 'D' && entry.type != 'S' && entry.type != 'E') continue;
            if (entry.type == 'E' || namesSomethingElsewhere(entry.name)) {
                view.unresolved = view.unresolved || entry.type == 'E' || !entry.name.empty();
                continue;
            }
            std::string host;
            int kind = resolveWindowsPath(context.appDir, entry.name, host);
            if (entry.type == 'S') {
                if (kind != 2) continue;
                for (const std::string& n : directoryNames(host))
                    if (isArchiveName(n) && windowsPathKind(host, n) == 1)
                        view.archives.push_back({entry.name + "\\" + n, joinPath(host, n)});
            } else if (kind == 1) {
                view.archives.push_back({entry.name, host});
            } else if (kind == 2) {
                view.directories.push_back({entry.name, host});
            } else if (entry.mandatory) {
                view.unresolved = true;  // reported above; its classes are not looked for elsewhere
            }
        }
        // Appended archives are extracted and put on the class path: the top level and "user\".
        for (const AppendedFile& file : input.files) {
            std::string name = file.name;
            if (name.size() > 5 && name[4] == '\\' && endsWithIgnoringCase(name.substr(0, 4), "user")) name = name.substr(5);
            uint64_t size = 0;
            std::string message;
            if (name.find('\\') != std::string::npos || !isArchiveName(name))
                continue;
            if (!fileSize(file.path, size, message))
                view.unresolved = true;  // reported with the appended files
            else
                view.archives.push_back({"[files] " + file.name, file.path});
        }
        std::string flavour = value(CFG_LAUNCHER_FLAVOUR);
        if (!flavour.empty() && flavour[0] == 'i') {
            std::string root = value(CFG_INSTALLATION_ROOT);
            std::string runtimeJar = (root.empty() ? std::string() : root + "\\") + ".marlowkit\\mlkruntime.jar";
            std::string host;
            if (namesSomethingElsewhere(runtimeJar))
                view.unresolved = true;
            else if (resolveWindowsPath(context.appDir, runtimeJar, host) == 1)
                view.archives.push_back({runtimeJar, host});
        }
        return view;
    }

    const std::vector<std::string>* namesOf(const std::pair<std::string, std::string>& archive) {
        auto it = jarNames.find(archive.second);
        if (it != jarNames.end()) return &it->second;
        if (unreadableJars.count(archive.second)) return nullptr;
        std::string data, message;
        std::vector<std::string> names;
        if (!readWholeFile(archive.second, data, message) || !zipEntryNames(data, names, message)) {
            unreadableJars.insert(archive.second);
            warning(origin(CFG_CLASS_PATH), "CLASS_PATH: " + archive.first + " cannot be read as a jar (" + message +
                                                "): the Java runtime finds no class in it");
            return nullptr;
        }
        return &(jarNames[archive.second] = std::move(names));
    }

    // Whether the class is in the class path; similar gets a class of the same simple name elsewhere.
    bool findClass(ClassPathView& view, const std::string& dotted, std::string& similar) {
        const std::string path = classEntryName(dotted);
        const std::string simple = path.substr(path.find_last_of('/') + 1);
        for (const auto& archive : view.archives) {
            const std::vector<std::string>* names = namesOf(archive);
            if (!names) continue;
            for (const std::string& entry : *names) {
                if (jarEntryHoldsClass(entry, path)) return true;
                if (similar.empty() && entry.compare(0, 9, "META-INF/") != 0 && entry.size() >= simple.size() &&
                    entry.compare(entry.size() - simple.size(), simple.size(), simple) == 0 &&
                    (entry.size() == simple.size() || entry[entry.size() - simple.size() - 1] == '/')) {
                    similar = entry.substr(0, entry.size() - 6);
                    std::replace(similar.begin(), similar.end(), '/', '.');
                }
            }
        }
        std::string windowsPath = path;
        std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
        for (const auto& directory : view.directories)
            if (windowsPathKind(directory.second, windowsPath) == 1) return true;
        return false;
    }

    std::string searchedEntries(const ClassPathView& view) const {
        std::string list;
        for (const auto& a : view.archives) list += (list.empty() ? "" : ", ") + a.first;
        for (const auto& d : view.directories) list += (list.empty() ? "" : ", ") + d.first;
        return list.empty() ? "the class path has no entry there" : "searched " + list;
    }

    void classes() {
        if (context.appDir.empty()) return;
        ClassPathView view = classPathView();
        std::string mainClass = value(CFG_MAIN_CLASS);
        std::string similar;
        bool className = mainClass.find_first_of("/\\") == std::string::npos && !endsWithIgnoringCase(mainClass, ".class");
        if (!mainClass.empty() && className && !findClass(view, mainClass, similar) && !view.unresolved) {
            std::string text = "MAIN_CLASS " + mainClass + ": no " + classEntryName(mainClass) +
                               " in the class path under " + context.appDir + " (" + searchedEntries(view) + ")";
            if (!similar.empty() && similar != mainClass) text += "; did you mean " + similar + "?";
            error(origin(CFG_MAIN_CLASS), text);
        }
        std::string flavour = value(CFG_LAUNCHER_FLAVOUR);
        const char* launcherClass = !flavour.empty() && flavour[0] == 'i' ? "com.marlowkit.runtime.launcher.WinLauncher"
                                                                          : "com.tovex.runtime.WinLauncher";
        similar.clear();
        if (!findClass(view, launcherClass, similar) && !view.unresolved)
            error(origin(CFG_CLASS_PATH),
                  std::string("CLASS_PATH: the launcher class ") + launcherClass + " is not on the class path under " +
                      context.appDir + " (" + searchedEntries(view) +
                      "): ship the runtime jar (lib/tovex-runtime.jar of the release) in [files] or on CLASS_PATH, "
                      "or the start fails with MSG_MAIN_CLASS_NOT_LOADED");
    }

    // ---- VM options --------------------------------------------------------------------------
    void vmOptions() {
        std::vector<std::string> tokens;
        splitArgumentsNarrow(value(CFG_VM_OPTIONS), tokens);
        std::vector<std::string> stray;
        for (size_t i = 0; i < tokens.size(); ++i) {
            std::string line = tokens[i];
            if (line == "-include-options" && i + 1 < tokens.size()) line += " " + tokens[++i];
            std::string rest;
            switch (classifyOptionLine(line, rest)) {
                case OptionLineKind::Include:
                    includedFile(rest, context.appDir, origin(CFG_VM_OPTIONS), 0);
                    break;
                case OptionLineKind::Option:
                    if (line.empty() || line[0] != '-') stray.push_back(quoted(line));
                    break;
                default:
                    optionsClassPath = true;
                    break;
            }
        }
        if (stray.empty()) return;
        std::string list;
        for (const std::string& t : stray) list += (list.empty() ? "" : ", ") + t;
        warning(origin(CFG_VM_OPTIONS),
                "VM_OPTIONS: " + list + (stray.size() == 1 ? " does" : " do") +
                    " not start with \"-\" and the Java runtime ignores " + (stray.size() == 1 ? "it" : "them") +
                    ": the value is split at blanks outside quotes, so an option with blanks in its value loses "
                    "the words after the first (write it in quotes within the value: VM_OPTIONS = -Xmx1g "
                    "\"-Dtitle=Acme Viewer\")");
    }

    // An "-include-options" target, relative to the directory of the file that names it.
    void includedFile(const std::string& name, const std::string& baseDir, const std::string& where, int depth) {
        if (baseDir.empty() || namesSomethingElsewhere(name)) return;
        std::string host;
        if (resolveWindowsPath(baseDir, name, host) != 1) {
            warning(where, "-include-options " + name + ": there is no such file under " + baseDir +
                               ": the launcher adds no option from it");
            return;
        }
        optionsFile(host, depth + 1);
    }

    std::set<std::string> lintedFiles;

    // An options file as the launcher reads it.
    void optionsFile(const std::string& host, int depth) {
        if (depth > kMaxLintDepth || !lintedFiles.insert(withoutDotDot(host)).second) return;
        std::string text, message;
        if (!readWholeFile(host, text, message)) {
            warning(host + ":1", message);
            return;
        }
        if (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0) {
            error(host + ":1", "saved as UTF-16 (Notepad's \"Unicode\"): the launcher reads options files as ANSI "
                               "text and takes no option from it (save it as ANSI or UTF-8)");
            return;
        }
        size_t pos = 0;
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            warning(host + ":1", "begins with a UTF-8 byte-order mark (Notepad's \"UTF-8 with BOM\"): launchers "
                                 "of earlier releases take it as part of the first option, which the Java runtime "
                                 "then ignores (save the file as UTF-8 without BOM)");
            pos = 3;
        }
        const std::string dir = directoryOf(host);
        for (int lineNo = 1; pos < text.size(); ++lineNo) {
            size_t nl = text.find('\n', pos);
            std::string line = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
            pos = nl == std::string::npos ? text.size() : nl + 1;
            trimOptionLine(line);
            if (isSkippedOptionLine(line)) continue;
            const std::string where = host + ":" + std::to_string(lineNo);
            std::string rest;
            switch (classifyOptionLine(line, rest)) {
                case OptionLineKind::Include:
                    includedFile(rest, dir, where, depth);
                    break;
                case OptionLineKind::Option:
                    if (line[0] != '-')
                        warning(where, quoted(line) + " is not an option (it does not start with \"-\"): the Java "
                                                      "runtime ignores it");
                    break;
                default:
                    optionsClassPath = true;
                    break;
            }
        }
    }

    // The options files beside the executable: "<exe name>.vmoptions".
    void optionsFiles() {
        if (context.appDir.empty()) return;
        for (const std::string& name : directoryNames(context.appDir))
            if (endsWithIgnoringCase(name, ".vmoptions") && windowsPathKind(context.appDir, name) == 1)
                optionsFile(joinPath(context.appDir, name), 0);
    }

    // ---- Bundled runtimes against the version limits ---------------------------------------------
    void bundledRuntimes() {
        if (context.appDir.empty()) return;
        const std::string min = value(CFG_MIN_VERSION), max = value(CFG_MAX_VERSION);
        if (min.empty() && max.empty()) return;
        for (const SearchEntry& entry : parseSearchSequence(value(CFG_JVM_SEARCH_SEQUENCE))) {
            if (!isBundledDirectory(entry) || !missingRuntimePart(entry.text).empty()) continue;
            std::string host, content, message;
            if (resolveWindowsPath(context.appDir, entry.text + "\\release", host) != 1 ||
                !readWholeFile(host, content, message))
                continue;
            ReleaseInfo release;
            if (!parseReleaseFile(content, release)) continue;
            // Directory entries accept pre-release runtimes.
            if (isVersionAccepted(release.version, min, max, true)) continue;
            bool below = !isVersionAccepted(release.version, min, std::string(), true);
            std::string text = "JVM_SEARCH_SEQUENCE: the runtime directory " + entry.text + " holds Java " +
                               release.version + " (its release file), which " +
                               (below ? "MIN_VERSION " + quoted(min) : "MAX_VERSION " + quoted(max)) +
                               " refuses: the search passes it by";
            if (takesPartInFallback(entry))
                text += ", and when it finds no other Java the fallback pass starts it without a version check" +
                        std::string(below ? " although it is below MIN_VERSION" : "");
            warning(origin(CFG_JVM_SEARCH_SEQUENCE), text);
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
    Checker c(input, context);
    c.mainClass();
    c.searchSequence();
    c.versionLimits();
    c.classPath();
    c.optionsFiles();
    c.vmOptions();
    c.classes();
    c.bundledRuntimes();
    c.stubAndType();
    c.splash();
    c.messageArguments();
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
        CheckContext context;
        context.configFile = configPath;
        context.appDir = appDir;
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
        context.resourcesRefused = !resourcesReady;
        for (const InputWarning& w : input.warnings) findings.push_back({w.origin, false, w.text});
        std::vector<Finding> more = checkInput(input, context);
        findings.insert(findings.end(), more.begin(), more.end());
    }
    std::stable_sort(findings.begin(), findings.end(), [&configPath](const Finding& a, const Finding& b) {
        return sortKey(a, configPath) < sortKey(b, configPath);
    });
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
