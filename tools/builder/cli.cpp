// Command line of tovex-build.
#include "cli.h"

#include <cstdio>
#include <cstdlib>

#include "builder.h"
#include "check.h"
#include "pe_resources.h"
#include "resources.h"
#include "launcher/config_ids.h"
#include "stubs.h"

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

}  // namespace

int runCli(const std::vector<std::string>& args, std::string& out, std::string& err) {
    std::string stub, config, output, dump, extract, check, appDir;
    bool listSettings = false;
    std::vector<std::pair<bool, std::string>> overrides;  // (is file, argument) in command-line order

    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::string value;
        bool inlineValue = false;
        if (arg.compare(0, 2, "--") == 0) {
            size_t eq = arg.find('=');
            if (eq != std::string::npos) {
                value = arg.substr(eq + 1);
                arg = arg.substr(0, eq);
                inlineValue = true;
            }
        }
        if (arg == "--help" || arg == "-h") {
            out += kUsage;
            return 0;
        }
        if (arg == "--version") {
            out += "tovex-build " TOVEX_VERSION "\n";
            return 0;
        }
        if (arg == "--list-settings") {
            listSettings = true;
            continue;
        }
        if (arg != "--stub" && arg != "--config" && arg != "--out" && arg != "--set" && arg != "--file" &&
            arg != "--dump" && arg != "--extract" && arg != "--check" && arg != "--app-dir")
            return usageError(err, "unknown argument " + args[i]);
        if (!inlineValue) {
            if (i + 1 >= args.size()) return usageError(err, arg + " needs a value");
            value = args[++i];
        }
        std::string* single = arg == "--stub" ? &stub
                              : arg == "--config" ? &config
                              : arg == "--out" ? &output
                              : arg == "--dump" ? &dump
                              : arg == "--extract" ? &extract
                              : arg == "--check" ? &check
                              : arg == "--app-dir" ? &appDir
                                                   : nullptr;
        if (single) {
            if (!single->empty()) return usageError(err, arg + " given twice");
            if (value.empty()) return usageError(err, arg + " needs a non-empty value");
            *single = value;
        } else {
            overrides.push_back({arg == "--file", value});
        }
    }

    if (listSettings) {
        if (!stub.empty() || !config.empty() || !output.empty() || !dump.empty() || !overrides.empty() ||
            !check.empty())
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

    if (!dump.empty()) {
        if (!stub.empty() || !config.empty() || !output.empty() || !overrides.empty() || !check.empty())
            return usageError(err, "--dump cannot be combined with --stub, --config, --out, --set, --file or --check");
        std::string text, error;
        if (!dumpExecutable(dump, extract, text, error)) return failure(err, error);
        out += text;
        return 0;
    }
    if (!extract.empty()) return usageError(err, "--extract belongs to --dump");
    const std::string self = ownExecutablePath();
    const std::string builderDir = self.empty() ? std::string() : directoryOf(self);
    if (!check.empty()) {
        if (!config.empty() || !output.empty())
            return usageError(err, "--check takes the configuration itself and writes nothing (no --config, --out)");
        return runCheck(check, appDir, stub, overrides, builderDir, out, err);
    }
    if (!appDir.empty()) return usageError(err, "--app-dir belongs to --check");
    if (output.empty()) return usageError(err, args.empty() ? "nothing to do" : "--out is missing");

    BuildInput input;
    std::string error;
    // The narrow text is written in the code page that the built executable's manifest
    // selects; without a key that decides, that is the stub's manifest, known only once
    // the stub is chosen (by EXE_TYPE): the configuration is then read again.
    auto parseAll = [&](bool stubUtf8) {
        input = BuildInput();
        input.resources.stubUtf8 = stubUtf8;
        input.resources.utf8 = stubUtf8;
        if (!config.empty()) {
            std::string text;
            if (!readWholeFile(config, text, error)) return false;
            if (!parseConfigText(text, config, directoryOf(config), input, error)) return false;
        }
        for (const auto& o : overrides) {
            bool ok = o.first ? applyFileArgument(o.second, input, error) : applySetArgument(o.second, input, error);
            if (!ok) return false;
        }
        return true;
    };
    // Read first as UTF-8, which takes every character; only EXE_TYPE is needed to choose the stub.
    if (!parseAll(true)) return failure(err, error);
    {
        std::string stubPath, note, image, ignored;
        ResourceTree tree;
        const ResourceEntry* manifest = nullptr;
        if (resolveStub(stub, input, builderDir, stubPath, note, ignored) && readWholeFile(stubPath, image, ignored) &&
            readResources(image, tree, ignored))
            manifest = findResource(tree, ResourceName::id(kResManifest), ResourceName::id(1));
        if (!(manifest && manifestSelectsUtf8(manifest->data)) && !parseAll(false)) return failure(err, error);
    }
    ResourceSet resources;
    if (!prepareResourceChanges(input, output, std::getenv("SOURCE_DATE_EPOCH"), resources, error))
        return failure(err, error);
    for (const InputWarning& w : input.warnings) err += "tovex-build: warning: " + w.origin + ": " + w.text + "\n";
    BlockData block;
    if (!finishBlock(input, block, error)) return failure(err, error);
    for (const AppendedFile& f : input.files) {
        uint64_t size = 0;
        if (fileSize(f.path, size, error) && size == 0)
            err += "tovex-build: warning: " + f.origin + ": " + f.path +
                   " is empty; the launcher creates no file for an empty entry\n";
    }
    std::string stubPath, note;
    if (!resolveStub(stub, input, builderDir, stubPath, note, error)) return failure(err, error);
    err += note;
    if (!buildExecutable(stubPath, block, input.files, output, error, resources)) return failure(err, error);
    return 0;
}

}  // namespace builder
