// Variable expansion of a configured text (the first byte picks the values).
// Invariant: no crash; the result never exceeds kExpandedTextLimit bytes; a text
// without "%" and "${" comes back unchanged; and with short values that cannot
// form a reference themselves, no reference to a launcher variable or to a
// variable of the environment is left in the result (every occurrence is
// replaced, none is skipped).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "windows/expand.h"

namespace {
const char* const kFixedPatterns[] = {
    "%TOVEX_EXEDIR%", "%MARLOWKIT_EXEDIR%", "%TOVEX_TEMPDIR%", "%MARLOWKIT_TEMPDIR%",
    "%TOVEX_PATHLIST_SEPARATOR%", "%MARLOWKIT_PATHLIST_SEPARATOR%", "%TOVEX_JVM_HOME%", "%MARLOWKIT_JVM_HOME%",
    "${TOVEX_EXEDIR}", "${MARLOWKIT_EXEDIR}", "${TOVEX_TEMPDIR}", "${MARLOWKIT_TEMPDIR}",
    "${TOVEX_PATHLIST_SEPARATOR}", "${MARLOWKIT_PATHLIST_SEPARATOR}", "${TOVEX_JVM_HOME}", "${MARLOWKIT_JVM_HOME}",
    "${launcher:sys.launcherDirectory}", "${launcher:sys.launcherTempDirectory}", "${launcher:sys.pathlistSeparator}",
    "${launcher:sys.jvmHome}", "${launcher:sys.tempDir}",
};
// Names as the environment block writes them, with the patterns that refer to them.
const char* const kEnvironmentNames[] = {"Path", "TEMP", "lower", "=C:", "Mixed_Case", "A"};
const char* const kEnvironmentPatterns[] = {"${Path}", "${PATH}", "${TEMP}", "${lower}", "${LOWER}", "${=C:}",
                                            "${Mixed_Case}", "${MIXED_CASE}", "${A}"};

// Digits only: no value holds a character of "%${}" or a letter, so no value joins
// the text around it into a new reference.
ExpansionContext inertContext() {
    ExpansionContext context;
    context.exeDirectory = "1";
    context.tempDir = "22";
    context.jvmHome = "3";
    context.systemTempDir = "44";
    int digit = 5;
    for (const char* name : kEnvironmentNames) context.environment.push_back(std::string(name) + "=" + std::to_string(digit++ % 10));
    context.environment.push_back("NO_SEPARATOR");
    return context;
}

ExpansionContext bigContext() {
    ExpansionContext context;
    context.exeDirectory = "C:\\" + std::string(3000, 'e') + "\\";
    context.tempDir = std::string(5000, 't');
    context.jvmHome = "${TEMP}${launcher:sys.tempDir}";
    context.systemTempDir = "${Path}%TOVEX_EXEDIR%";
    for (const char* name : kEnvironmentNames)
        context.environment.push_back(std::string(name) + "=${A}" + std::string(9000, name[0]));
    return context;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    static const ExpansionContext inert = inertContext(), big = bigContext();
    const bool isInert = data[0] % 2 == 0;
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string text = input;
    expandVariablesWith(text, isInert ? inert : big);
    FUZZ_CHECK(text.size() <= kExpandedTextLimit);
    const std::string bounded = input.substr(0, kExpandedTextLimit);
    if (bounded.find('%') == std::string::npos && bounded.find("${") == std::string::npos) FUZZ_CHECK(text == bounded);
    if (!isInert) return 0;
    FUZZ_CHECK(text.size() <= bounded.size());  // every value is shorter than its reference
    for (const char* pattern : kFixedPatterns) FUZZ_CHECK(text.find(pattern) == std::string::npos);
    for (const char* pattern : kEnvironmentPatterns) FUZZ_CHECK(text.find(pattern) == std::string::npos);
    return 0;
}
