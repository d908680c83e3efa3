// The builder's reader for --dump on any file: PE lookup, block decoder, appended
// files and the dump text (with --extract into a scratch directory).
// Invariant: no crash; a file whose block the builder reads is dumped, and the dump
// parses back into the block a rebuild writes: the same strings (sorted, the last
// of a repeated id kept, defaults added for absent ids), wide strings and language
// sets, the appended files with their names and contents.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "builder.h"
#include "fuzz_support.h"
#include "launcher/config_ids.h"

namespace {
std::string gDirectory;
void removeDirectory() { std::filesystem::remove_all(gDirectory); }

std::map<int32_t, std::u16string> lastWins(const std::vector<builder::WideEntry>& entries) {
    std::map<int32_t, std::u16string> map;
    for (const builder::WideEntry& entry : entries) map[entry.id] = entry.value;
    return map;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/tovex_dump_fuzz_XXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    gDirectory = pattern;
    std::atexit(removeDirectory);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string image(reinterpret_cast<const char*>(data), size);
    uint64_t start = 0, end = 0;
    std::string error;
    builder::BlockData block;
    if (!builder::findBlockStart(image, start, error) || !builder::decodeBlock(image, start, block, end, error))
        return 0;

    const std::string exe = gDirectory + "/in.exe", extract = gDirectory + "/files";
    std::filesystem::remove_all(extract);
    std::string text;
    FUZZ_CHECK(builder::writeWholeFile(exe, image, error));
    if (!builder::dumpExecutable(exe, extract, text, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        FUZZ_CHECK(!"a block the builder reads is dumped");
    }
    builder::BuildInput input;
    if (!builder::parseConfigText(text, "dump.cfg", gDirectory, input, error)) {
        std::fprintf(stderr, "%s\n--- dump ---\n%s", error.c_str(), text.c_str());
        FUZZ_CHECK(!"the dump parses back");
    }
    builder::BlockData rebuilt;
    if (!builder::finishBlock(input, rebuilt, error)) {
        std::fprintf(stderr, "%s\n--- dump ---\n%s", error.c_str(), text.c_str());
        FUZZ_CHECK(!"the dump rebuilds");
    }

    std::map<int32_t, std::string> strings, rebuiltStrings;
    for (const builder::StringEntry& entry : block.strings) strings[entry.id] = entry.value;
    bool listed = !input.files.empty();
    int known = 0;
    const ConfigIdInfo* table = configIdTable(&known);  // every id with a default has a name
    for (int i = 0; i < known; ++i)
        if (builder::defaultValue(table[i].id) && !strings.count(table[i].id))
            strings[table[i].id] = builder::defaultValue(table[i].id);
    for (const builder::StringEntry& entry : rebuilt.strings) rebuiltStrings[entry.id] = entry.value;
    const std::string header = text.substr(0, text.find("\n\n"));  // the comments above the settings
    if (!listed && header.find(" appended files follow the block") != std::string::npos) {
        // Not extracted: FILE_COUNT and FILE_LIST are written as comments.
        strings.erase(2002);
        strings.erase(2003);
    }
    FUZZ_CHECK(rebuiltStrings == strings);
    FUZZ_CHECK(lastWins(rebuilt.wides) == lastWins(block.wides));
    FUZZ_CHECK(rebuilt.sets.size() == block.sets.size());
    for (size_t i = 0; i < block.sets.size(); ++i)
        FUZZ_CHECK(rebuilt.sets[i].key == block.sets[i].key &&
                   lastWins(rebuilt.sets[i].entries) == lastWins(block.sets[i].entries));

    // The appended files come back with their contents.
    uint64_t position = end;
    for (const builder::AppendedFile& file : input.files) {
        std::string content;
        FUZZ_CHECK(builder::readWholeFile(file.path, content, error));
        FUZZ_CHECK(position + 8 + content.size() <= image.size());
        for (size_t i = 0; i < content.size(); ++i)
            FUZZ_CHECK(static_cast<unsigned char>(content[i] ^ image[position + 8 + i]) == kScrambleByte);
        position += 8 + content.size();
    }
    if (listed) FUZZ_CHECK(position == image.size());
    return 0;
}
