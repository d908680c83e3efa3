// Command line of tovex-build.
#include "cli.h"

#include <cstdio>
#include <utility>

#include "builder.h"
#include "check.h"
#include "launcher/config_ids.h"

namespace builder {

namespace {

const char kUsage[] =
    "usage: tovex-build [--stub gui|console|STUB.exe] [--config APP.conf] --out APP.exe [--set NAME=VALUE]... [--file NAME=PATH]...\n"
    "       tovex-build --check APP.conf [--app-dir DIR] [--stub ...] [--set NAME=VALUE]... [--file NAME=PATH]...\n"
    "       tovex-build --dump APP.exe [--extract DIR]\n"
    "       tovex-build --list-settings | --version | --help\n"
    "\n"
    "  --stub STUB       launcher stub: gui, console or a path (default: gui for EXE_TYPE 1 and 5, else console, from ../stubs)\n"
    "  --config PATH     configuration file (NAME = value lines, sections [wide], [lang KEY], [files], [resources])\n"
    "  --out PATH        executable to write (replaced only when the build succeeds)\n"
    "  --set NAME=VALUE  a setting after those of the configuration file; the value is taken literally\n"
    "  --file NAME=PATH  append a file, extracted as NAME (one directory level at most)\n"
    "  --check PATH      report what would make the executable fail or surprise, one FILE:LINE: line each; builds nothing\n"
    "  --app-dir DIR     with --check: the directory the executable will be in (class path, options files, bundled runtime)\n"
    "  --dump PATH       print the configuration block of an executable in configuration-file form\n"
    "  --extract DIR     with --dump: write the appended files into DIR and list them in [files]\n"
    "  --list-settings   print every known setting: id, name, form, meaning\n"
    "  --version         print the builder's version\n"
    "  --help            print this text\n"
    "\n"
    "Exit codes: 0 success, 1 failure (bad configuration, unusable stub, I/O; --check: an error found), 2 usage error.\n";

const char* formName(ConfigForm form) {
    switch (form) {
        case ConfigForm::String: return "string";
        case ConfigForm::Int: return "int";
        case ConfigForm::Flag: return "flag";
        case ConfigForm::List: return "list";
        case ConfigForm::Color: return "colour";
        case ConfigForm::Char: return "character";
    }
    return "?";
}

int usageError(std::string& err, const std::string& message) {
    err += "tovex-build: " + message + "\n" + kUsage;
    return 2;
}

int failure(std::string& err, const std::string& message) {
    err += "tovex-build: " + message + "\n";
    return 1;
}

constexpr int kGoOn = -1;  // parseArguments: no exit code yet, the mode runs

// The command line, read but not yet acted on.
struct CliOptions {
    std::string stub, config, output, dump, extract, check, appDir;
    bool listSettings = false;
    std::vector<std::pair<bool, std::string>> overrides;  // (is file, argument) in command-line order
};

// "--name=value" becomes "--name" and "value"; false when no value is written inline.
bool splitInlineValue(std::string& arg, std::string& value) {
    if (arg.compare(0, 2, "--") != 0) return false;
    size_t eq = arg.find('=');
    if (eq == std::string::npos) return false;
    value = arg.substr(eq + 1);
    arg = arg.substr(0, eq);
    return true;
}

// The field of an argument given at most once, or nullptr.
std::string* singleValue(CliOptions& o, const std::string& arg) {
    return arg == "--stub"      ? &o.stub
           : arg == "--config"  ? &o.config
           : arg == "--out"     ? &o.output
           : arg == "--dump"    ? &o.dump
           : arg == "--extract" ? &o.extract
           : arg == "--check"   ? &o.check
           : arg == "--app-dir" ? &o.appDir
                                : nullptr;
}

// Reads args into o. --help and --version answer at once. Returns kGoOn, or the exit code.
int parseArguments(const std::vector<std::string>& args, CliOptions& o, std::string& out, std::string& err) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i], value;
        const bool inlineValue = splitInlineValue(arg, value);
        if (arg == "--help" || arg == "-h") {
            out += kUsage;
            return 0;
        }
        if (arg == "--version") {
            out += "tovex-build " TOVEX_VERSION "\n";
            return 0;
        }
        if (arg == "--list-settings") {
            o.listSettings = true;
            continue;
        }
        std::string* single = singleValue(o, arg);
        if (!single && arg != "--set" && arg != "--file") return usageError(err, "unknown argument " + args[i]);
        if (!inlineValue) {
            if (i + 1 >= args.size()) return usageError(err, arg + " needs a value");
            value = args[++i];
        }
        if (!single) {
            o.overrides.push_back({arg == "--file", value});
        } else if (!single->empty()) {
            return usageError(err, arg + " given twice");
        } else if (value.empty()) {
            return usageError(err, arg + " needs a non-empty value");
        } else {
            *single = value;
        }
    }
    return kGoOn;
}

int runListSettings(const CliOptions& o, std::string& out, std::string& err) {
    if (!o.stub.empty() || !o.config.empty() || !o.output.empty() || !o.dump.empty() || !o.overrides.empty() ||
        !o.check.empty())
        return usageError(err, "--list-settings takes no other arguments");
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    for (int i = 0; i < count; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "%-6d %-26s %-10s ", table[i].id, table[i].name, formName(table[i].form));
        out += line;
        out += table[i].meaning;
        const char* def = defaultValue(table[i].id);
        if (def) out += " [default: " + formatNarrowValue(def) + "]";
        out += "\n";
    }
    return 0;
}

int runDump(const CliOptions& o, std::string& out, std::string& err) {
    if (!o.stub.empty() || !o.config.empty() || !o.output.empty() || !o.overrides.empty() || !o.check.empty())
        return usageError(err, "--dump cannot be combined with --stub, --config, --out, --set, --file or --check");
    std::string text, error;
    if (!dumpExecutable(o.dump, o.extract, text, error)) return failure(err, error);
    out += text;
    return 0;
}

int runCheckMode(const CliOptions& o, const std::string& builderDir, std::string& out, std::string& err) {
    if (!o.config.empty() || !o.output.empty())
        return usageError(err, "--check takes the configuration itself and writes nothing (no --config, --out)");
    return runCheck(o.check, o.appDir, o.stub, o.overrides, builderDir, out, err);
}

int runBuild(const CliOptions& o, bool noArguments, const std::string& builderDir, std::string& err) {
    if (!o.appDir.empty()) return usageError(err, "--app-dir belongs to --check");
    if (o.output.empty()) return usageError(err, noArguments ? "nothing to do" : "--out is missing");
    BuildRequest request;
    request.stub = o.stub;
    request.config = o.config;
    request.output = o.output;
    request.overrides = o.overrides;
    request.builderDir = builderDir;
    std::string error;
    if (!buildFromRequest(request, err, error)) return failure(err, error);
    return 0;
}

}  // namespace

int runCli(const std::vector<std::string>& args, std::string& out, std::string& err) {
    CliOptions options;
    const int code = parseArguments(args, options, out, err);
    if (code != kGoOn) return code;
    if (options.listSettings) return runListSettings(options, out, err);
    if (!options.dump.empty()) return runDump(options, out, err);
    if (!options.extract.empty()) return usageError(err, "--extract belongs to --dump");
    const std::string self = ownExecutablePath();
    const std::string builderDir = self.empty() ? std::string() : directoryOf(self);
    if (!options.check.empty()) return runCheckMode(options, builderDir, out, err);
    return runBuild(options, args.empty(), builderDir, err);
}

}  // namespace builder
