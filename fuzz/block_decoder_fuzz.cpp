// Any byte sequence as a launcher executable: the decoder either reads a
// configuration or names a fatal text; it never crashes or allocates more than
// the input holds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/config_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryByteSource source(std::string(reinterpret_cast<const char*>(data), size));
    ConfigData config;
    const char* fatal = decodeConfigBlock(source, [] { return std::string("de_DE"); }, &config);
    if (!fatal && config.endPosition > size) __builtin_trap();
    return 0;
}
