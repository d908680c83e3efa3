// tovex-build --check: reads a configuration and reports, without building,
// what would make the executable fail or surprise on a user's machine.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "builder.h"

namespace builder {

struct Finding {
    std::string origin;  // "FILE:LINE", "--set NAME", "--file NAME" or "--stub"
    bool error;          // an error makes the build or the start fail; a warning surprises
    std::string text;
};

struct CheckContext {
    std::string configFile;  // findings about a setting that is absent point at its line 1
    std::string appDir;      // where the executable will sit; empty: files beside it are not looked up
    std::string stubPath;    // the stub the build would start from; empty when none is known
    std::string stubImage;   // its bytes
    bool resourcesRefused = false;  // a [resources] line was refused (and is reported on its own)
};

// The findings for a parsed input, in the order of their lines.
std::vector<Finding> checkInput(const BuildInput& input, const CheckContext& context);
// "ORIGIN: error: TEXT" or "ORIGIN: warning: TEXT".
std::string formatFinding(const Finding& finding);

// The whole check of the command line: reads and parses the configuration, applies
// the --set and --file arguments (pairs of is-file and argument, in order), takes
// the stub as a build would, and writes one line per finding to out and a summary
// to err. Returns 1 when there is an error, else 0.
int runCheck(const std::string& configPath, const std::string& appDir, const std::string& stubArgument,
             const std::vector<std::pair<bool, std::string>>& overrides, const std::string& builderDir,
             std::string& out, std::string& err);

}  // namespace builder
