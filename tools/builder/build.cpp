// Assembling a launcher executable: defaults, appended files and the output file.
#include <cstdlib>
#include <cstring>

#include "builder.h"
#include "launcher/config_ids.h"
#include "launcher/default_texts.h"
#include "resources.h"
#include "launcher/texts.h"
#include "stubs.h"

namespace builder {

namespace {

struct DefaultText {
    int32_t id;
    const char* text;
};

// The settings and splash colours a block carries when the configuration gives
// none; the message texts (1000 to 1020) come from kDefaultMessageTexts.
const DefaultText kDefaults[] = {
    {149, ""},
    {150, ""},
    {151, ""},
    {153, ""},
    {155, ""},
    {157, ""},
    {159, ""},
    {161, ""},
    {10114, "0,0,0"},
    {10121, "0,0,0"},
    {10124, "1"},  // CLASS_DATA_SHARING: on for new executables
};

// Copies a file into the output, XORing every byte with kScrambleByte.
struct ScrambleSink : ChunkSink {
    OutputFile& out;
    PeChecksum& checksum;
    uint64_t written = 0;
    std::string buffer;
    ScrambleSink(OutputFile& o, PeChecksum& c) : out(o), checksum(c) {}
    bool chunk(const char* data, size_t size, std::string& error) override {
        buffer.assign(data, size);
        for (char& c : buffer) c = static_cast<char>(static_cast<unsigned char>(c) ^ kScrambleByte);
        written += size;
        checksum.add(buffer.data(), buffer.size());
        return writeOutput(out, buffer.data(), buffer.size(), error);
    }
};

std::string le64(uint64_t v) {
    std::string s;
    for (int i = 0; i < 8; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
    return s;
}

// The configuration file, then the --set and --file arguments in their order.
// stubUtf8: the stub's manifest selects UTF-8, the code page of the narrow text
// when no key of the configuration decides.
bool readBuildInput(const BuildRequest& request, bool stubUtf8, BuildInput& input, std::string& error) {
    input = BuildInput();
    input.resources.stubUtf8 = stubUtf8;
    input.resources.utf8 = stubUtf8;
    if (!request.config.empty()) {
        std::string text;
        if (!readWholeFile(request.config, text, error)) return false;
        if (!parseConfigText(text, request.config, directoryOf(request.config), input, error)) return false;
    }
    for (const auto& o : request.overrides) {
        bool ok = o.first ? applyFileArgument(o.second, input, error) : applySetArgument(o.second, input, error);
        if (!ok) return false;
    }
    return true;
}

// Whether the manifest of the stub that input chooses selects UTF-8; false when
// the stub or its manifest cannot be read (the build reports that stub later).
bool stubSelectsUtf8(const BuildRequest& request, const BuildInput& input) {
    std::string stubPath, note, image, ignored;
    ResourceTree tree;
    if (!resolveStub(request.stub, input, request.builderDir, stubPath, note, ignored) ||
        !readWholeFile(stubPath, image, ignored) || !readResources(image, tree, ignored))
        return false;
    const ResourceEntry* manifest = findResource(tree, ResourceName::id(kResManifest), ResourceName::id(1));
    return manifest && manifestSelectsUtf8(manifest->data);
}

void warnAboutEmptyFiles(const BuildInput& input, std::string& messages) {
    std::string ignored;
    for (const AppendedFile& f : input.files) {
        uint64_t size = 0;
        if (fileSize(f.path, size, ignored) && size == 0)
            messages += "tovex-build: warning: " + f.origin + ": " + f.path +
                        " is empty; the launcher creates no file for an empty entry\n";
    }
}

}  // namespace

const char* defaultValue(int32_t id) {
    if (const char* message = defaultMessageText(id)) return message;
    for (const DefaultText& d : kDefaults)
        if (d.id == id) return d.text;
    return nullptr;
}

bool finishBlock(const BuildInput& input, BlockData& block, std::string& error) {
    std::map<int32_t, std::string> strings;
    for (const auto& kv : input.strings) strings[kv.first] = kv.second.value;
    if (!input.files.empty()) {
        for (int32_t id : {static_cast<int32_t>(CFG_FILE_COUNT), static_cast<int32_t>(CFG_FILE_LIST)}) {
            auto it = input.strings.find(id);
            if (it != input.strings.end()) {
                error = it->second.origin + ": " + findConfigId(id)->name +
                        " is set by hand while files are appended (the builder sets it from the appended files)";
                return false;
            }
        }
        std::string list;
        for (const AppendedFile& f : input.files) {
            if (!list.empty()) list += ';';
            if (input.resources.utf8) {
                for (unsigned char c : f.name) appendUtf8(list, cp1252ToUnicode(c));
            } else {
                list += f.name;
            }
        }
        if (list.size() > kNarrowLimit) {
            error = input.files.back().origin + ": the list of appended file names is longer than " +
                    std::to_string(kNarrowLimit) + " bytes";
            return false;
        }
        strings[CFG_FILE_COUNT] = std::to_string(input.files.size());
        strings[CFG_FILE_LIST] = list;
    }
    for (const DefaultText& d : kDefaults)
        if (strings.find(d.id) == strings.end()) strings[d.id] = d.text;
    for (const DefaultMessageText& d : kDefaultMessageTexts)
        if (strings.find(d.id) == strings.end()) strings[d.id] = d.text;

    block = BlockData();
    for (const auto& kv : strings) block.strings.push_back({kv.first, kv.second});
    for (const auto& kv : input.wides) block.wides.push_back({kv.first, kv.second.value});
    for (const LanguageSetInput& set : input.sets) {
        LanguageSet out;
        out.key = set.key;
        for (const auto& kv : set.entries) out.entries.push_back({kv.first, kv.second.value});
        block.sets.push_back(std::move(out));
    }
    return true;
}

bool prepareResourceChanges(BuildInput& input, const std::string& outPath, const char* sourceDateEpoch,
                            ResourceSet& set, std::string& error) {
    size_t slash = outPath.find_last_of("/\\");
    std::string outputName = slash == std::string::npos ? outPath : outPath.substr(slash + 1);
    int width = 0, height = 0;
    if (!prepareResources(input.resources, outputName, set, width, height, error)) return false;
    if (width > 0) {
        const std::string origin = input.resources.lines.at("SPLASH_IMAGE").origin;
        if (width > kSplashWarnWidth || height > kSplashWarnHeight) {
            size_t bytes = 0;
            for (const ResourceEntry& entry : set.replace) bytes += entry.data.size();
            input.warnings.push_back(
                {origin, "SPLASH_IMAGE is " + std::to_string(width) + " x " + std::to_string(height) +
                             " pixels, more than a " + std::to_string(kSplashWarnWidth) + " x " +
                             std::to_string(kSplashWarnHeight) + " screen shows: the splash window does not fit the "
                             "screen, and the image adds " + std::to_string(bytes) +
                             " bytes to the executable (scale it down)"});
        }
        if (!input.strings.count(CFG_SPLASH_WIDTH)) input.strings[CFG_SPLASH_WIDTH] = Setting{std::to_string(width), origin};
        if (!input.strings.count(CFG_SPLASH_HEIGHT))
            input.strings[CFG_SPLASH_HEIGHT] = Setting{std::to_string(height), origin};
    }
    if (sourceDateEpoch) {
        std::string text = sourceDateEpoch;
        uint64_t value = 0;
        bool ok = !text.empty() && text.size() <= 10;
        for (char c : text) {
            ok = ok && c >= '0' && c <= '9';
            if (ok) value = value * 10 + static_cast<uint64_t>(c - '0');
        }
        if (!ok || value > 0xFFFFFFFFull) {
            error = "SOURCE_DATE_EPOCH=" + text + ": seconds since 1970 up to 4294967295 are expected";
            return false;
        }
        set.setTimeDateStamp = true;
        set.timeDateStamp = static_cast<uint32_t>(value);
    }
    return true;
}

bool buildExecutable(const std::string& stubPath, const BlockData& block, const std::vector<AppendedFile>& files,
                     const std::string& outPath, std::string& error, const ResourceSet& resources) {
    std::string stub;
    if (!readWholeFile(stubPath, stub, error)) return false;
    std::string image, peError;
    if (!writeResources(stub, resources, image, peError)) {
        error = stubPath + ": " + peError;
        return false;
    }
    const uint64_t start = image.size();
    std::string blockBytes = encodeBlock(block);
    uint64_t total = start + blockBytes.size();
    std::vector<uint64_t> sizes;
    for (const AppendedFile& f : files) {
        uint64_t size = 0;
        if (!fileSize(f.path, size, error)) {
            error = f.origin + ": " + error;
            return false;
        }
        sizes.push_back(size);
        total += 8 + size;
    }
    if (files.empty()) total += blockTrailer(start + blockBytes.size()).size();
    if (total > kMaxImageSize) {
        error = "the executable would be " + std::to_string(total) +
                " bytes; the launcher reads positions up to 2 GB only";
        return false;
    }

    // The CheckSum covers the whole file: summed while writing, set at the end.
    uint64_t checksumAt = 0;
    std::string ignored;
    bool withChecksum = checksumOffset(image, checksumAt, ignored);
    PeChecksum checksum;
    OutputFile out;
    if (!openOutput(outPath, out, error)) return false;
    auto write = [&](const std::string& data) {
        checksum.add(data.data(), data.size());
        return writeOutput(out, data.data(), data.size(), error);
    };
    bool ok = write(image) && write(blockBytes);
    for (size_t i = 0; ok && i < files.size(); ++i) {
        ok = write(le64(sizes[i]));
        if (!ok) break;
        ScrambleSink sink(out, checksum);
        ok = streamFile(files[i].path, sink, error);
        if (ok && sink.written != sizes[i]) {
            error = files[i].path + ": the file changed size while it was read";
            ok = false;
        }
        if (!ok && error.compare(0, files[i].origin.size(), files[i].origin) != 0) error = files[i].origin + ": " + error;
    }
    if (ok && files.empty()) ok = write(blockTrailer(start + blockBytes.size()));
    if (ok && withChecksum) {
        std::string field;
        uint32_t sum = checksum.finish();
        for (int i = 0; i < 4; ++i) field += static_cast<char>((sum >> (8 * i)) & 0xFF);
        ok = writeOutputAt(out, checksumAt, field.data(), field.size(), error);
    }
    if (!ok) {
        discardOutput(out);
        return false;
    }
    return commitOutput(out, error);
}

bool buildFromRequest(const BuildRequest& request, std::string& messages, std::string& error) {
    BuildInput input;
    // The narrow text is written in the code page that the built executable's manifest
    // selects; without a key that decides, that is the stub's manifest, known only once
    // the stub is chosen (by EXE_TYPE): the configuration is then read again. Read first
    // as UTF-8, which takes every character; only EXE_TYPE is needed to choose the stub.
    if (!readBuildInput(request, true, input, error)) return false;
    if (!stubSelectsUtf8(request, input) && !readBuildInput(request, false, input, error)) return false;
    ResourceSet resources;
    if (!prepareResourceChanges(input, request.output, std::getenv("SOURCE_DATE_EPOCH"), resources, error))
        return false;
    for (const InputWarning& w : input.warnings) messages += "tovex-build: warning: " + w.origin + ": " + w.text + "\n";
    BlockData block;
    if (!finishBlock(input, block, error)) return false;
    warnAboutEmptyFiles(input, messages);
    std::string stubPath, note;
    if (!resolveStub(request.stub, input, request.builderDir, stubPath, note, error)) return false;
    messages += note;
    return buildExecutable(stubPath, block, input.files, request.output, error, resources);
}

}  // namespace builder
