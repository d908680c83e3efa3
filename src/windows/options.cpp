// The VM option list: launcher properties, configured options, "-J" arguments,
// locale options, the default options file with its includes, and the class path last.
#include "options.h"

#include <cstring>

#include "cds.h"
#include "classpath.h"
#include "expand.h"
#include "files/paths.h"
#include "launcher/config.h"
#include "launcher/errors.h"
#include "launcher/language.h"
#include "launcher/log.h"
#include "option_lines.h"
#include "options_platform.h"
#include "windows/args.h"

namespace {

const char kIncludeWord[] = "-include-options";
const char kClassPathOption[] = "-Djava.class.path=";
const char16_t kFormatAsDefaultPrefix[] = u"-Dsun.locale.formatasdefault=";
const char16_t kFormatAsDefaultTrue[] = u"-Dsun.locale.formatasdefault=true";

bool startsWith(const std::u16string& text, const char16_t* prefix) {
    return text.compare(0, std::char_traits<char16_t>::length(prefix), prefix) == 0;
}

bool endsWith(const std::string& text, char c) { return !text.empty() && text.back() == c; }

// Narrow form of a command-line argument (ANSI code page, "?" for what it cannot hold).
std::string narrow(const std::u16string& text) { return fromUtf16(text, 0); }

// Every ";"-separated piece of list exists (a list brought in by a variable counts as
// found only when all of it is there).
bool allExist(const std::string& list) {
    std::vector<std::string> pieces = splitList(list);
    if (pieces.empty()) return false;
    for (const std::string& piece : pieces)
        if (!optionPathExists(piece)) return false;
    return true;
}

}  // namespace

bool marlowkitFlavour() {
    std::string flavour = getConfigString(CFG_LAUNCHER_FLAVOUR);
    return !flavour.empty() && flavour[0] == 'i';
}

void handleOptionLine(const std::string& line, const char* containingFile, std::vector<std::string>& options,
                      ClassPathOverrides& overrides, int depth) {
    std::string rest;
    switch (classifyOptionLine(line, rest)) {
        case OptionLineKind::Include: {
            std::string name = rest;
            expandVariables(name);
            std::string absolute = makeAbsolutePath(name, containingFile);
            if (depth >= kMaxIncludeDepth) {
                logError("include depth limit of %d reached, not reading <%s>", kMaxIncludeDepth, absolute.c_str());
                return;
            }
            FILE* file = openTextFile(absolute);
            logMessage("adding vmoptions from <%s> (%s) (%p)", absolute.c_str(), name.c_str(),
                       static_cast<void*>(file));
            readOptionsFile(absolute.c_str(), file, options, overrides, depth + 1);
            break;
        }
        case OptionLineKind::ClassPath:
            overrides.replacement = rest;
            overrides.hasReplacement = true;
            break;
        case OptionLineKind::ClassPathPrepend:
            overrides.prepend = rest;
            overrides.hasPrepend = true;
            break;
        case OptionLineKind::ClassPathAppend:
            overrides.append = rest;
            overrides.hasAppend = true;
            break;
        case OptionLineKind::Option:
            options.push_back(line);
            break;
    }
}

void readOptionsFile(const char* path, FILE* file, std::vector<std::string>& options, ClassPathOverrides& overrides,
                     int depth) {
    if (!file) return;
    char buffer[kOptionsLineLimit + 1];
    // A line longer than the buffer arrives in several reads, each taken as a line.
    bool first = true;
    while (std::fgets(buffer, sizeof buffer, file)) {
        std::string line = textFromFile(buffer);
        // Editors such as Notepad begin a UTF-8 file with a byte-order mark: not part of the first line.
        if (first && line.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            line.erase(0, 3);
            logMessage("skipped the UTF-8 byte-order mark of <%s>", path);
        }
        first = false;
        trimOptionLine(line);
        if (isSkippedOptionLine(line)) continue;
        expandVariables(line);
        handleOptionLine(line, path, options, overrides, depth);
    }
    std::fclose(file);
}

void addConfiguredOptions(const std::vector<std::u16string>& argumentList, std::vector<std::string>& options,
                          ClassPathOverrides& overrides) {
    std::string configured = getConfigString(CFG_VM_OPTIONS);
    expandVariables(configured);
    std::vector<std::string> tokens;
    splitArgumentsNarrow(configured, tokens);
    logMessage("adding options\n");
    for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == kIncludeWord && i + 1 < tokens.size()) {
            handleOptionLine(tokens[i] + " " + tokens[i + 1], nullptr, options, overrides);
            ++i;
        } else {
            handleOptionLine(tokens[i], nullptr, options, overrides);
        }
    }

    if (getConfigFlag(CFG_ACCEPT_J_ARGUMENTS)) {
        for (const std::u16string& argument : argumentList)
            if (startsWith(argument, u"-J")) handleOptionLine(narrow(argument.substr(2)), nullptr, options, overrides);
    }

    const std::u16string* formatAsDefault = nullptr;
    for (const std::u16string& argument : argumentList)
        if (startsWith(argument, kFormatAsDefaultPrefix)) formatAsDefault = &argument;
    if (!formatAsDefault) {
        handleOptionLine(narrow(kFormatAsDefaultTrue), nullptr, options, overrides);
        return;
    }
    handleOptionLine(narrow(*formatAsDefault), nullptr, options, overrides);
    if (*formatAsDefault == kFormatAsDefaultTrue) return;
    std::string part;
    if (getUserLanguage(&part) && !part.empty())
        handleOptionLine("-Duser.language=" + part, nullptr, options, overrides);
    part.clear();
    if (getUserCountry(&part) && !part.empty())
        handleOptionLine("-Duser.country=" + part, nullptr, options, overrides);
}

FILE* openDefaultOptionsFile() {
    const std::string& exe = getModulePath();
    std::string longPath = longPathName(exe);
    std::string first = (longPath.size() >= 4 ? longPath.substr(0, longPath.size() - 4) : std::string()) +
                        ".vmoptions";
    FILE* file = longPath.size() >= 4 ? openTextFile(first) : nullptr;
    logMessage("vmoptions: exe file: %s, long: %s, opts1: %s, file: %p", exe.c_str(), longPath.c_str(),
               first.c_str(), static_cast<void*>(file));
    if (file) return file;
    std::string second = longPath + ".vmoptions";
    file = openTextFile(second);
    logMessage("vmoptions: opts2: %s, file: %p", second.c_str(), static_cast<void*>(file));
    return file;
}

std::vector<std::string> listDirectory(const std::string& directory, const char* extension) {
    std::string pattern = directory + "\\*";
    if (extension[0] != '.') pattern += ".";
    pattern += extension;
    return findFileNames(pattern);
}

bool appendToClassPath(std::string& classPath, const std::string& text) {
    if (classPath.size() + text.size() > kClassPathOptionLimit) {
        logError("class path full (%d bytes), leaving out %s", static_cast<int>(kClassPathOptionLimit),
                 text.c_str());
        return false;
    }
    classPath += text;
    return true;
}

bool appendArchivesOfDirectory(std::string& classPath, const std::string& directory, const char* extension) {
    if (!optionPathExists(directory)) return false;
    for (const std::string& name : listDirectory(directory, extension))
        appendToClassPath(classPath, makeAbsolutePath(directory + "\\" + name) + ";");
    return true;
}

void appendConfiguredClassPath(std::string& classPath) {
    std::string setting = getConfigString(CFG_CLASS_PATH);
    logMessage("classpath entry %s", setting.c_str());
    for (const ClassPathEntry& entry : parseClassPath(setting)) {
        char type = entry.type;
        bool mandatory = entry.mandatory;
        std::string name = entry.name;
        expandVariables(name);
        bool found = false;
        if (type == 'A' || type == 'D') {
            std::string list = makeAbsolutePathList(name);
            found = allExist(list);
            if (!list.empty()) appendToClassPath(classPath, list + ";");
        } else if (type == 'E') {
            std::string value;
            bool defined = readEnvironment(name, &value);
            if (!value.empty()) {
                if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                    value = value.substr(1, value.size() - 2);
                if (!endsWith(value, ';')) value += ";";
                appendToClassPath(classPath, value);
                found = true;
            } else if (!mandatory) {
                continue;
            } else if (!defined) {
                logError("mandatory classpath entry: environment variable %s is not defined", name.c_str());
                fatalMessage(CFG_MSG_ENV_VAR_UNDEFINED, name.c_str());
            }
        } else if (type == 'S') {
            std::string directory = makeAbsolutePath(name);
            found = appendArchivesOfDirectory(classPath, directory, "jar");
            appendArchivesOfDirectory(classPath, directory, "zip");
        }
        if (mandatory && !found) {
            logError("mandatory classpath entry %s (type %c) not found or empty", name.c_str(), type);
            fatalMessage(CFG_MSG_FILE_NOT_FOUND, name.c_str());
        }
    }
}

std::string composeClassPathOption(const ClassPathOverrides& overrides) {
    std::string classPath = kClassPathOption;
    if (overrides.hasPrepend && !overrides.prepend.empty()) appendToClassPath(classPath, overrides.prepend + ";");
    std::string extracted = launcherTempDir();
    if (!extracted.empty()) {
        appendArchivesOfDirectory(classPath, extracted, "jar");
        appendArchivesOfDirectory(classPath, extracted, "zip");
        std::string user = extracted + "\\user";
        appendArchivesOfDirectory(classPath, user, "jar");
        appendArchivesOfDirectory(classPath, user, "zip");
    }
    if (marlowkitFlavour()) {
        std::string root = getFullPath(getConfigString(CFG_INSTALLATION_ROOT), true);
        if (!endsWith(root, '\\')) root += "\\";
        appendToClassPath(classPath, root + ".marlowkit\\mlkruntime.jar;");
    }
    if (overrides.hasReplacement)
        appendToClassPath(classPath, overrides.replacement);
    else
        appendConfiguredClassPath(classPath);
    if (overrides.hasAppend && !overrides.append.empty()) {
        // No separator in front of the first entry: an empty entry would add the working directory.
        bool empty = classPath.size() == std::strlen(kClassPathOption);
        appendToClassPath(classPath, (empty || endsWith(classPath, ';') ? "" : ";") + overrides.append);
    }
    return classPath;
}

std::vector<std::string> buildVmOptions(const std::vector<std::u16string>& argumentList,
                                        const std::vector<std::string>& launcherProperties) {
    std::vector<std::string> options(launcherProperties);
    ClassPathOverrides overrides;
    addConfiguredOptions(argumentList, options, overrides);
    FILE* file = openDefaultOptionsFile();
    logMessage("default vmoptions file: %p", static_cast<void*>(file));
    readOptionsFile(nullptr, file, options, overrides);
    options.push_back(composeClassPathOption(overrides));
    addClassDataSharingOptions(options, launcherProperties.size());
    logMessage("vmoption count %d", static_cast<int>(options.size()));
    for (size_t i = 0; i < options.size(); ++i) logMessage("vmoption %d: %s", static_cast<int>(i), options[i].c_str());
    return options;
}
