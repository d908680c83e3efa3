// "-version" output of any shape, read by the version probe's parser.
// Invariant: no crash; a version found is the text between the quotes of the
// first line that is not a "Picked up " notice or a VM warning line, right after "java version \"" or
// "openjdk version \"": it holds no double quote, line end or NUL, and fits the
// launcher's version buffer.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "jvm/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string output(reinterpret_cast<const char*>(data), size);
    std::string version = "untouched", line;
    bool found = parseVersionOutput(output, version, &line);
    if (!found) {
        FUZZ_CHECK(version == "untouched");
        return 0;
    }
    FUZZ_CHECK(version.size() <= kMaxVersionLength && version.size() < size);
    FUZZ_CHECK(version.find_first_of(std::string("\"\n\0", 3)) == std::string::npos);
    FUZZ_CHECK(line.compare(0, 10, "Picked up ") != 0);
    size_t warning = line.find(" VM warning: ");
    FUZZ_CHECK(warning == std::string::npos || line.find('"') < warning);
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    std::string expected;
    for (const char* prefix : {"java version \"", "openjdk version \""})
        if (line.compare(0, std::strlen(prefix), prefix) == 0) expected = prefix + version + "\"";
    FUZZ_CHECK(!expected.empty() && line.compare(0, expected.size(), expected) == 0);
    // The judged line is a line of the output.
    FUZZ_CHECK(output.find(line) != std::string::npos);
    return 0;
}
