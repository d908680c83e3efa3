// "-version" output of any shape: the parser finds a version or refuses, never
// returning more text than it was given.
#include <cstddef>
#include <cstdint>
#include <string>

#include "jvm/probe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string output(reinterpret_cast<const char*>(data), size);
    std::string version;
    if (parseVersionOutput(output, version) && version.size() >= size) __builtin_trap();
    return 0;
}
