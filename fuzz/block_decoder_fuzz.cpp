// Any byte sequence as a launcher executable, read by the launcher's block decoder.
// Invariant: no crash and no allocation beyond what the input holds; on success the
// block ends within the input and no string holds a NUL (values are terminated
// texts). Where the builder's reader (tovex-build --dump) accepts the same bytes, the
// launcher accepts them too and reads the same strings, the same wide strings with
// the language sets of its language applied, and the same end.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "builder.h"
#include "fuzz_support.h"
#include "launcher/config_block.h"
#include "launcher/pe_image.h"

namespace {
const char kLanguage[] = "de_DE";

std::string cutAtNul(const std::string& text) { return text.substr(0, text.find('\0')); }
std::u16string cutAtNul(const std::u16string& text) { return text.substr(0, text.find(u'\0')); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    MemoryByteSource source(bytes);
    ConfigData config;
    const char* fatal = decodeConfigBlock(source, [] { return std::string(kLanguage); }, &config);
    if (!fatal) {
        FUZZ_CHECK(config.endPosition <= size);
        for (const auto& entry : config.strings) FUZZ_CHECK(entry.second.find('\0') == std::string::npos);
        for (const auto& entry : config.wideStrings) FUZZ_CHECK(entry.second.find(u'\0') == std::u16string::npos);
    }

    uint64_t start = 0, end = 0;
    std::string error;
    builder::BlockData block;
    if (!builder::findBlockStart(bytes, start, error) || !builder::decodeBlock(bytes, start, block, end, error))
        return 0;
    // The launcher reads the section count and the optional header size as signed
    // 16-bit values; no loadable image comes near 0x8000 of either.
    pe::PeHeaders headers;
    FUZZ_CHECK(pe::readPeHeaders(bytes, &headers) == pe::PeStatus::Ok);  // findBlockStart needed them
    if (headers.coff.sectionCount >= 0x8000 || headers.coff.optionalSize >= 0x8000) return 0;
    FUZZ_CHECK(fatal == nullptr);
    FUZZ_CHECK(config.endPosition == end);
    std::map<int32_t, std::string> strings;
    for (const builder::StringEntry& entry : block.strings) strings[entry.id] = cutAtNul(entry.value);
    FUZZ_CHECK(strings == config.strings);
    std::map<int32_t, std::u16string> wides;
    for (const builder::WideEntry& entry : block.wides) wides[entry.id] = cutAtNul(entry.value);
    for (const builder::LanguageSet& set : block.sets) {
        std::string key = cutAtNul(set.key);
        if (std::string(kLanguage).compare(0, key.size(), key) != 0 || key.size() > sizeof kLanguage - 1) continue;
        for (const builder::WideEntry& entry : set.entries) wides[entry.id] = cutAtNul(entry.value);
    }
    FUZZ_CHECK(wides == config.wideStrings);
    return 0;
}
