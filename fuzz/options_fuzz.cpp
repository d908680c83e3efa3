// The VM option list: configured options (piece 1), an options file beside the
// executable (piece 2), the configured class path (piece 3) and command-line
// arguments (piece 4, one per line); pieces are separated by NUL bytes. Include
// lines may name the files of a small tree that includes itself in a cycle.
// Invariant: no crash; no option in the list is an include or class-path line (those
// are consumed); every option read from a file is non-empty, holds no line feed and
// neither begins nor ends with a space nor begins with "#"; the class-path option
// comes last in its form and within its limit; and the launch ends early only
// with exit code 1 and a message, for a mandatory class-path entry.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "files/paths.h"
#include "fuzz_support.h"
#include "launcher/config.h"
#include "launcher/language.h"
#include "windows/expand.h"
#include "windows/expand_host.h"
#include "windows/options.h"
#include "windows/options_host.h"

namespace {
std::string gRoot;

void write(const std::string& launcherPath, const std::string& content) {
    std::filesystem::path host = hostPathOf(launcherPath);
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << content;
}

void removeRoot() { std::filesystem::remove_all(gRoot); }

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

bool hasMandatoryEntry(const std::string& classPath) {
    size_t start = 0;
    while (start <= classPath.size()) {
        size_t end = classPath.find(';', start);
        if (end == std::string::npos) end = classPath.size();
        if (end - start > 1 && classPath[start + 1] == '1') return true;
        start = end + 1;
    }
    return false;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/tovex_options_fuzz_XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    gRoot = pattern;
    std::atexit(removeRoot);
    hostLauncherState().driveRoot = gRoot;
    hostLauncherState().tempDir = "C:\\Tmp\\x_dir1";
    hostExpansionValues().jvmHome = "C:\\jre\\bin\\..";
    hostExpansionValues().systemTempDir = "C:\\Tmp\\";
    setModulePathForTesting("C:\\App\\run.exe");
    recordLanguageCode("de_DE");
    write("C:\\App\\inc\\a.vmoptions", "-Da\n  -include-options b.vmoptions  \n-classpath/a ${LIBDIR}\\x.jar\n");
    write("C:\\App\\inc\\b.vmoptions", "# cycle\n-Db=${JARS}\r\n-include-options a.vmoptions\n");
    write("C:\\App\\lib\\x.jar", "");
    write("C:\\App\\lib\\y.zip", "");
    write("C:\\App\\lib\\sub\\z.jar", "");
    write("C:\\Tmp\\x_dir1\\a.jar", "");
    write("C:\\Tmp\\x_dir1\\user\\b.zip", "");
    // The only variables: values without blanks, so a file line keeps its trimmed ends.
    clearenv();
    setenv("LIBDIR", "C:\\App\\lib", 1);
    setenv("JARS", "C:\\App\\lib\\x.jar;C:\\App\\lib\\y.zip;", 1);
    setenv("QUOTED", "\"C:\\App\\lib\\x.jar\"", 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces = splitInput(data, size, 4);
    std::vector<std::u16string> arguments = {u"C:\\App\\run.exe"};
    size_t start = 0;
    while (start < pieces[3].size()) {
        size_t end = pieces[3].find('\n', start);
        if (end == std::string::npos) end = pieces[3].size();
        arguments.push_back(toUtf16(pieces[3].substr(start, end - start), 0));
        start = end + 1;
    }
    setConfigForTesting({{CFG_MSG_FILE_NOT_FOUND, "File or directory {0} not found or empty"},
                         {CFG_MSG_ENV_VAR_UNDEFINED, "The environment variable {0} has to be defined"},
                         {CFG_VM_OPTIONS, pieces[0]},
                         {CFG_CLASS_PATH, pieces[2]},
                         {CFG_ACCEPT_J_ARGUMENTS, "1"},
                         {CFG_LAUNCHER_FLAVOUR, pieces[3].empty() || pieces[3][0] != 'i' ? "e" : "i"},
                         {CFG_INSTALLATION_ROOT, ".."}});
    lastErrorText().clear();

    std::vector<std::string> options;
    ClassPathOverrides overrides;
    size_t fromFile = 0;
    std::string classPath;
    try {
        addConfiguredOptions(arguments, options, overrides);
        fromFile = options.size();
        FILE* file = pieces[1].empty() ? nullptr : fmemopen(&pieces[1][0], pieces[1].size(), "r");
        readOptionsFile(nullptr, file, options, overrides);
        classPath = composeClassPathOption(overrides);
    } catch (const FuzzExit& exit) {
        FUZZ_CHECK(exit.code == 1);
        FUZZ_CHECK(hasMandatoryEntry(pieces[2]));
        FUZZ_CHECK(startsWith(lastErrorText(), "File or directory ") ||
                   startsWith(lastErrorText(), "The environment variable "));
        return 0;
    }
    for (const std::string& option : options)
        FUZZ_CHECK(!startsWith(option, "-include-options ") && !startsWith(option, "-classpath ") &&
                   !startsWith(option, "-classpath/a ") && !startsWith(option, "-classpath/p "));
    for (size_t i = fromFile; i < options.size(); ++i) {
        const std::string& option = options[i];
        FUZZ_CHECK(!option.empty() && option.front() != ' ' && option.back() != ' ' && option.front() != '#');
        FUZZ_CHECK(option.find('\n') == std::string::npos);
    }
    FUZZ_CHECK(startsWith(classPath, "-Djava.class.path="));
    FUZZ_CHECK(classPath.size() <= kClassPathOptionLimit);
    return 0;
}
