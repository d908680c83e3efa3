// The VM option list and the class path.
#pragma once
#include <string>
#include <vector>

struct ClassPathOverrides {
    std::string replacement;  // "-classpath "
    std::string append;       // "-classpath/a "
    std::string prepend;      // "-classpath/p "
    bool hasReplacement = false, hasAppend = false, hasPrepend = false;
};

// The complete option list: launcherProperties first, then the configured options,
// "-J" arguments, locale options, the default options file and the class path last.
std::vector<std::string> buildVmOptions(const std::vector<std::u16string>& argumentList,
                                        const std::vector<std::string>& launcherProperties);
