// The builder's configuration parser on any text, with the round trip
// parse -> block -> dump -> parse.
// Invariant: no crash; every refusal names the line ("FILE:LINE: "); a configuration
// that builds a block encodes to bytes that decode to the same block, both by the
// builder's reader and by the launcher's decoder (same strings, cut at a NUL as the
// launcher reads them); and the dump of that block parses back into the same block.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>

#include "builder.h"
#include "fuzz_support.h"
#include "launcher/config_block.h"

namespace {
using builder::BlockData;

bool sameEntries(const std::vector<builder::WideEntry>& a, const std::vector<builder::WideEntry>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].id != b[i].id || a[i].value != b[i].value) return false;
    return true;
}

bool sameBlock(const BlockData& a, const BlockData& b) {
    if (a.strings.size() != b.strings.size() || !sameEntries(a.wides, b.wides) || a.sets.size() != b.sets.size())
        return false;
    for (size_t i = 0; i < a.strings.size(); ++i)
        if (a.strings[i].id != b.strings[i].id || a.strings[i].value != b.strings[i].value) return false;
    for (size_t i = 0; i < a.sets.size(); ++i)
        if (a.sets[i].key != b.sets[i].key || !sameEntries(a.sets[i].entries, b.sets[i].entries)) return false;
    return true;
}

// A minimal image for the launcher's decoder: the section table's last entry says
// the raw data ends at offset 112, where the block begins.
std::string imageWithBlock(const std::string& block) {
    std::string image(112, '\0');
    image[60] = 64;          // PE header at 64
    image[64 + 6] = 1;       // one section, no optional header
    image[64 + 40 + 4] = 112;  // raw data offset (size 0)
    return image + block;
}

void checkParseError(const std::string& error, const char* file) {
    FUZZ_CHECK(error.compare(0, std::string(file).size() + 1, std::string(file) + ":") == 0);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    builder::BuildInput input;
    std::string error;
    if (!builder::parseConfigText(text, "fuzz.cfg", "/base", input, error)) {
        checkParseError(error, "fuzz.cfg");
        return 0;
    }
    BlockData block;
    if (!builder::finishBlock(input, block, error)) return 0;

    const std::string bytes = builder::encodeBlock(block);
    BlockData decoded;
    uint64_t end = 0;
    FUZZ_CHECK(builder::decodeBlock(bytes, 0, decoded, end, error));
    FUZZ_CHECK(end == bytes.size() && sameBlock(decoded, block));

    MemoryByteSource source(imageWithBlock(bytes));
    ConfigData config;
    FUZZ_CHECK(decodeConfigBlock(source, [] { return std::string("en_US"); }, &config) == nullptr);
    std::map<int32_t, std::string> strings;
    for (const builder::StringEntry& entry : block.strings) strings[entry.id] = entry.value.substr(0, entry.value.find('\0'));
    FUZZ_CHECK(config.strings == strings && config.endPosition == 112 + bytes.size());

    const std::string dump = builder::dumpBlock(decoded, input.files);
    builder::BuildInput again;
    if (!builder::parseConfigText(dump, "dump.cfg", "/base", again, error)) {
        std::fprintf(stderr, "%s\n--- dump ---\n%s", error.c_str(), dump.c_str());
        FUZZ_CHECK(!"the dump of a block parses back");
    }
    BlockData rebuilt;
    FUZZ_CHECK(builder::finishBlock(again, rebuilt, error));
    FUZZ_CHECK(sameBlock(rebuilt, block));
    FUZZ_CHECK(again.files.size() == input.files.size());
    for (size_t i = 0; i < input.files.size(); ++i)
        FUZZ_CHECK(again.files[i].name == input.files[i].name && again.files[i].path == input.files[i].path);
    return 0;
}
