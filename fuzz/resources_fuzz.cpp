// The builder's resource-section writer on any stub image and any set of resource
// changes, and the CheckSum of the file built from what it writes.
// Input: the changes as lines of text, a NUL byte, then the stub's bytes:
//   icon W H COLORS PLANES BITS DATA   an icon image (numbers decimal, DATA the rest of the line)
//   group NAME                         an icon group that becomes a group of the images
//   res TYPE NAME LANG CODEPAGE DATA   an entry replacing every language of TYPE NAME
//   time N                             the TimeDateStamp to set
// TYPE and NAME are numbers or "text" (without blanks). The first 32 lines count, DATA
// up to 4096 bytes: more of them would slow each run down, not reach other code.
// Invariant: writeResources refuses with a message, or writes an image
// - that ends where its last section-table entry's raw data ends, so that the launcher's
//   own reader finds a block appended there;
// - without changes: the stub's bytes up to there, only TimeDateStamp, CheckSum and the
//   certificate directory patched, and with every section's raw data still inside;
// - with changes: raw data in table order at file-aligned offsets after the headers, the
//   headers before the first section, SizeOfImage the end of the highest section as the
//   loader sizes it (VirtualSize, or the raw size when that is 0), the resource directory
//   inside the last section, every other section at its address with its sizes and bytes
//   (the debug directory's file offsets aside) or, for the old resource section, its
//   address range without file data, and the sections contiguous when the stub's were;
// - whose resource tree reads back sorted (named first, then ids; no repeats) and holds
//   exactly the stub's entries less the replaced ones, less the icon images that only the
//   replaced groups used, plus the requested entries, the new images under the lowest ids
//   that no kept image or group uses, and each group listing the images;
// - identical when written twice, and unchanged when the same changes are written over it;
// and the CheckSum summed in pieces while the file is written, as the builder does, equals
// the loader's checksum recomputed here over the whole file.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "builder.h"
#include "fuzz_support.h"
#include "launcher/config_block.h"
#include "pe_resources.h"

namespace {
using builder::Bytes;
using builder::ResourceEntry;
using builder::ResourceName;
using builder::ResourceSet;

uint32_t le(const Bytes& d, uint64_t at, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(d[at + i]);
    return v;
}
void putLe(Bytes& d, uint64_t at, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) d[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint64_t alignUp(uint64_t v, uint64_t a) { return (v + a - 1) / a * a; }

// ---- The changes ----------------------------------------------------------------------

uint32_t number(const std::string& token, uint32_t max) {
    unsigned long long v = std::strtoull(token.c_str(), nullptr, 10);
    return static_cast<uint32_t>(v > max ? max : v);
}
ResourceName nameOf(const std::string& token) {
    if (token.size() >= 2 && token.front() == '"' && token.back() == '"') {
        std::u16string text;
        for (size_t i = 1; i + 1 < token.size(); ++i) text += static_cast<char16_t>(static_cast<unsigned char>(token[i]));
        return ResourceName::named(text);
    }
    return ResourceName::id(static_cast<uint16_t>(number(token, 0xFFFF)));
}
// The first count blank-separated words of line, and the rest after them.
std::vector<std::string> words(const std::string& line, size_t count, std::string& rest) {
    std::vector<std::string> out;
    size_t at = 0;
    while (out.size() < count && at <= line.size()) {
        size_t end = line.find(' ', at);
        if (end == std::string::npos) end = line.size();
        out.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    while (out.size() < count) out.emplace_back();
    rest = at < line.size() ? line.substr(at) : std::string();
    return out;
}

ResourceSet parseChanges(const std::string& text) {
    ResourceSet set;
    size_t at = 0;
    for (int lines = 0; at < text.size() && lines < 32; ++lines) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        std::string rest;
        const std::string kind = words(line, 1, rest)[0];
        if (kind == "icon") {
            std::vector<std::string> w = words(rest, 5, rest);
            builder::IconImage image;
            image.width = static_cast<uint8_t>(number(w[0], 0xFF));
            image.height = static_cast<uint8_t>(number(w[1], 0xFF));
            image.colorCount = static_cast<uint8_t>(number(w[2], 0xFF));
            image.planes = static_cast<uint16_t>(number(w[3], 0xFFFF));
            image.bitCount = static_cast<uint16_t>(number(w[4], 0xFFFF));
            image.data = rest.substr(0, 4096);
            set.icons.push_back(image);
        } else if (kind == "group") {
            set.iconGroups.push_back(nameOf(words(rest, 1, rest)[0]));
        } else if (kind == "res") {
            std::vector<std::string> w = words(rest, 4, rest);
            ResourceEntry entry;
            entry.type = nameOf(w[0]);
            entry.name = nameOf(w[1]);
            entry.language = static_cast<uint16_t>(number(w[2], 0xFFFF));
            entry.codePage = number(w[3], 0xFFFFFFFFu);
            entry.data = rest.substr(0, 4096);
            set.replace.push_back(entry);
        } else if (kind == "time") {
            set.setTimeDateStamp = true;
            set.timeDateStamp = number(words(rest, 1, rest)[0], 0xFFFFFFFFu);
        }
    }
    return set;
}

// ---- The resource tree as it should read back -------------------------------------------

struct Key {
    ResourceName type, name;
    uint16_t language;
    bool operator<(const Key& o) const {
        if (type != o.type) return type < o.type;
        if (name != o.name) return name < o.name;
        return language < o.language;
    }
    bool operator==(const Key& o) const { return type == o.type && name == o.name && language == o.language; }
};
struct Value {
    Bytes data;
    uint32_t codePage;
    bool operator==(const Value& o) const { return data == o.data && codePage == o.codePage; }
};
Key keyOf(const ResourceEntry& e) { return Key{e.type, e.name, e.language}; }

// The image ids a group directory (GRPICONDIR) lists: its count, then 14-byte entries
// whose last word is the id, as far as the data holds them.
std::vector<uint16_t> groupIds(const Bytes& group) {
    std::vector<uint16_t> ids;
    if (group.size() < 6) return ids;
    for (uint32_t i = 0; i < le(group, 4, 2) && 6 + 14 * (i + 1) <= group.size(); ++i)
        ids.push_back(static_cast<uint16_t>(le(group, 6 + 14 * i + 12, 2)));
    return ids;
}
bool listed(const std::vector<ResourceName>& names, const ResourceName& n) {
    for (const ResourceName& m : names)
        if (m == n) return true;
    return false;
}

std::map<Key, Value> expectedTree(std::vector<ResourceEntry> entries, const ResourceSet& set) {
    const ResourceName icon = ResourceName::id(builder::kResIcon), group = ResourceName::id(builder::kResGroupIcon);
    auto removeIf = [&](auto predicate) {
        std::vector<ResourceEntry> kept;
        for (ResourceEntry& e : entries)
            if (!predicate(e)) kept.push_back(std::move(e));
        entries.swap(kept);
    };
    if (!set.icons.empty()) {
        std::set<uint16_t> inReplaced, inKept, taken;
        for (const ResourceEntry& e : entries)
            if (e.type == group)
                for (uint16_t id : groupIds(e.data)) (listed(set.iconGroups, e.name) ? inReplaced : inKept).insert(id);
        removeIf([&](const ResourceEntry& e) { return e.type == group && listed(set.iconGroups, e.name); });
        removeIf([&](const ResourceEntry& e) {
            return e.type == icon && e.name.isNumber && inReplaced.count(e.name.number) && !inKept.count(e.name.number);
        });
        taken = inKept;
        for (const ResourceEntry& e : entries)
            if (e.type == icon && e.name.isNumber) taken.insert(e.name.number);
        Bytes directory(6, '\0');
        putLe(directory, 2, 1, 2);
        putLe(directory, 4, static_cast<uint32_t>(set.icons.size()), 2);
        uint32_t id = 0;
        for (const builder::IconImage& image : set.icons) {
            do ++id;
            while (taken.count(static_cast<uint16_t>(id)));
            FUZZ_CHECK(id <= 0xFFFF);  // else the writer had to refuse
            ResourceEntry e;
            e.type = icon;
            e.name = ResourceName::id(static_cast<uint16_t>(id));
            e.data = image.data;
            entries.push_back(e);
            Bytes row(14, '\0');
            row[0] = static_cast<char>(image.width);
            row[1] = static_cast<char>(image.height);
            row[2] = static_cast<char>(image.colorCount);
            putLe(row, 4, image.planes, 2);
            putLe(row, 6, image.bitCount, 2);
            putLe(row, 8, static_cast<uint32_t>(image.data.size()), 4);
            putLe(row, 12, id, 2);
            directory += row;
        }
        for (const ResourceName& g : set.iconGroups) {
            ResourceEntry e;
            e.type = group;
            e.name = g;
            e.data = directory;
            entries.push_back(e);
        }
    }
    for (const ResourceEntry& r : set.replace) {
        removeIf([&](const ResourceEntry& e) { return e.type == r.type && e.name == r.name; });
        entries.push_back(r);
    }
    std::map<Key, Value> tree;  // a repeated type, name and language: the last one counts
    for (const ResourceEntry& e : entries) tree[keyOf(e)] = Value{e.data, e.codePage};
    return tree;
}

// ---- The image --------------------------------------------------------------------------

// The memory a section takes as the loader maps it, before alignment.
uint64_t span(const builder::PeSection& s) { return s.virtualSize ? s.virtualSize : s.rawSize; }
bool contiguous(const builder::PeInfo& pe) {
    for (size_t i = 1; i < pe.sections.size(); ++i)
        if (pe.sections[i].virtualAddress !=
            pe.sections[i - 1].virtualAddress + alignUp(span(pe.sections[i - 1]), pe.sectionAlignment))
            return false;
    return true;
}
bool sameSection(const builder::PeSection& a, const builder::PeSection& b) {
    return std::string(a.name, 8) == std::string(b.name, 8) && a.virtualAddress == b.virtualAddress &&
           a.virtualSize == b.virtualSize && a.rawSize == b.rawSize && a.characteristics == b.characteristics;
}
bool holds(const builder::PeSection& s, uint32_t rva) {
    return rva >= s.virtualAddress && rva - s.virtualAddress < std::max<uint64_t>(s.virtualSize, s.rawSize);
}

void checkUnchangedLayout(const Bytes& stub, const Bytes& out, const ResourceSet& set) {
    uint64_t start = 0;
    std::string error;
    FUZZ_CHECK(builder::findBlockStart(stub, start, error));
    FUZZ_CHECK(out.size() == start);
    const uint64_t p = le(stub, 60, 4), o = p + 24, optionalSize = le(stub, p + 20, 2);
    std::vector<bool> patched(out.size(), false);
    auto patchedField = [&](uint64_t at, uint32_t value) {
        if (at + 4 > out.size()) return;
        FUZZ_CHECK(le(out, at, 4) == value);
        for (int i = 0; i < 4; ++i) patched[at + i] = true;
    };
    if (set.setTimeDateStamp) patchedField(p + 8, set.timeDateStamp);
    if (optionalSize >= 68) patchedField(o + 64, 0);
    if (optionalSize >= 112 + 8 * 5 && o + 112 <= out.size() && le(out, o + 108, 4) > 4) {
        patchedField(o + 112 + 8 * 4, 0);
        patchedField(o + 112 + 8 * 4 + 4, 0);
    }
    for (size_t i = 0; i < out.size(); ++i) FUZZ_CHECK(patched[i] || out[i] == stub[i]);
    builder::PeInfo before, after;
    if (builder::parsePe(stub, before, error)) FUZZ_CHECK(builder::parsePe(out, after, error));
}

void checkChangedLayout(const Bytes& stub, const Bytes& out, const ResourceSet& set) {
    builder::PeInfo before, after;
    std::string error;
    FUZZ_CHECK(builder::parsePe(stub, before, error));  // the writer needed it
    FUZZ_CHECK(builder::parsePe(out, after, error));
    const size_t count = before.sections.size();
    FUZZ_CHECK(after.sections.size() == count || after.sections.size() == count + 1);
    FUZZ_CHECK(after.fileAlignment == before.fileAlignment && after.sectionAlignment == before.sectionAlignment);

    // The file: headers, then the raw data in table order; the last entry's ends the image.
    const uint64_t tableEnd = after.optionalOffset + after.optionalSize + 40ull * after.sections.size();
    FUZZ_CHECK(after.sizeOfHeaders >= tableEnd);
    uint64_t cursor = after.sizeOfHeaders;
    for (const builder::PeSection& s : after.sections) {
        FUZZ_CHECK(after.sizeOfHeaders <= s.virtualAddress);
        if (!s.rawSize) continue;
        FUZZ_CHECK(s.rawOffset % after.fileAlignment == 0);
        FUZZ_CHECK(s.rawOffset >= cursor);
        cursor = static_cast<uint64_t>(s.rawOffset) + s.rawSize;
    }
    const builder::PeSection& last = after.sections.back();
    FUZZ_CHECK(last.rawSize != 0 && static_cast<uint64_t>(last.rawOffset) + last.rawSize == out.size());

    // Memory: SizeOfImage, the resource directory in the last section, no certificate table.
    uint64_t end = 0;
    for (const builder::PeSection& s : after.sections)
        end = std::max<uint64_t>(end, s.virtualAddress + alignUp(span(s), after.sectionAlignment));
    FUZZ_CHECK(le(out, after.optionalOffset + 56, 4) == end);
    FUZZ_CHECK(after.directoryRva(2) == last.virtualAddress);
    FUZZ_CHECK(after.directorySize(2) <= last.virtualSize && last.virtualSize <= last.rawSize);
    FUZZ_CHECK(after.directoryRva(4) == 0 && after.directorySize(4) == 0);
    FUZZ_CHECK(le(out, after.optionalOffset + 64, 4) == 0);
    FUZZ_CHECK(le(out, after.peOffset + 8, 4) == (set.setTimeDateStamp ? set.timeDateStamp : before.timeDateStamp));
    if (contiguous(before)) FUZZ_CHECK(contiguous(after));

    // Every other section in its place with its bytes; the old resource section without them.
    const uint32_t resource = before.directoryRva(2), debug = before.directoryRva(6);
    const uint32_t debugSize = before.directorySize(6);
    const size_t others = after.sections.size() == count ? count - 1 : count;
    if (after.sections.size() == count) FUZZ_CHECK(resource && holds(before.sections.back(), resource));
    for (size_t i = 0; i < others; ++i) {
        const builder::PeSection &a = before.sections[i], &b = after.sections[i];
        if (!sameSection(a, b)) {
            FUZZ_CHECK(resource && holds(a, resource));
            FUZZ_CHECK(std::string(b.name, 8) == ".oldrsrc" && b.rawSize == 0 && b.virtualAddress == a.virtualAddress);
            FUZZ_CHECK(span(b) == span(a));
            continue;
        }
        for (uint32_t k = 0; k < a.rawSize; ++k) {
            uint64_t rva = static_cast<uint64_t>(a.virtualAddress) + k;
            if (rva >= debug && rva < static_cast<uint64_t>(debug) + debugSize) continue;
            FUZZ_CHECK(out[b.rawOffset + k] == stub[a.rawOffset + k]);
        }
    }
}

void checkTree(const Bytes& stub, const Bytes& out, const ResourceSet& set) {
    builder::ResourceTree before, after;
    std::string error;
    FUZZ_CHECK(builder::readResources(stub, before, error));  // the writer read it
    if (!builder::readResources(out, after, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        FUZZ_CHECK(!"the written tree reads back");
    }
    FUZZ_CHECK(after.characteristics == before.characteristics && after.timeDateStamp == before.timeDateStamp);
    FUZZ_CHECK(after.majorVersion == before.majorVersion && after.minorVersion == before.minorVersion);
    std::map<Key, Value> got;
    for (size_t i = 0; i < after.entries.size(); ++i) {
        // The loader searches each directory by halves: sorted, without repeats.
        if (i) FUZZ_CHECK(keyOf(after.entries[i - 1]) < keyOf(after.entries[i]));
        got[keyOf(after.entries[i])] = Value{after.entries[i].data, after.entries[i].codePage};
    }
    FUZZ_CHECK(got == expectedTree(before.entries, set));
}

// The loader's checksum: 16-bit words summed with the carry folded back, the CheckSum
// field counted as 0 and an odd last byte as a word of its own; plus the file length.
uint32_t loaderChecksum(Bytes file, uint64_t field) {
    for (int i = 0; i < 4; ++i) file[field + i] = '\0';
    uint32_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        sum += static_cast<unsigned char>(file[i]);
        if (i + 1 < file.size()) sum += static_cast<uint32_t>(static_cast<unsigned char>(file[i + 1])) << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<uint32_t>(file.size());
}

// The file a build writes: the image, a block, its trailer; summed in pieces of the
// sizes the changes text gives (as the builder sums while it writes).
void checkBuiltFile(const Bytes& image, const std::string& changes) {
    builder::BlockData block;
    block.strings.push_back({122, "fuzz.Main"});
    const Bytes blockBytes = builder::encodeBlock(block);
    Bytes file = image + blockBytes + builder::blockTrailer(image.size() + blockBytes.size());

    // The launcher reads the section count and the optional header size as signed
    // 16-bit values; no loadable image comes near 0x8000 of either.
    const uint32_t p = le(image, 60, 4);
    if (le(image, p + 6, 2) < 0x8000 && le(image, p + 20, 2) < 0x8000) {
        MemoryByteSource source(file);
        ConfigData config;
        const char* fatal = decodeConfigBlock(source, [] { return std::string("en_US"); }, &config);
        FUZZ_CHECK(fatal == nullptr);
        FUZZ_CHECK(config.endPosition == image.size() + blockBytes.size());
        FUZZ_CHECK(config.strings.size() == 1 && config.strings[122] == "fuzz.Main");
    }

    uint64_t field = 0;
    std::string error;
    if (!builder::checksumOffset(file, field, error)) return;
    builder::PeChecksum sum;
    size_t at = 0;
    for (size_t k = 0; at < file.size(); ++k) {
        size_t piece = changes.empty() ? 4096 : 1 + static_cast<unsigned char>(changes[k % changes.size()]) % 97;
        piece = std::min(piece, file.size() - at);
        sum.add(file.data() + at, piece);
        at += piece;
    }
    const uint32_t written = sum.finish();
    FUZZ_CHECK(written == loaderChecksum(file, field));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> pieces = splitInput(data, size, 2);
    const ResourceSet set = parseChanges(pieces[0]);
    const Bytes& stub = pieces[1];
    Bytes out, again;
    std::string error, againError;
    const bool ok = builder::writeResources(stub, set, out, error);
    FUZZ_CHECK(builder::writeResources(stub, set, again, againError) == ok);
    if (!ok) {
        FUZZ_CHECK(!error.empty() && error == againError);
        return 0;
    }
    FUZZ_CHECK(again == out);
    uint64_t start = 0;
    FUZZ_CHECK(builder::findBlockStart(out, start, error) && start == out.size());
    if (set.icons.empty() && set.replace.empty()) {
        checkUnchangedLayout(stub, out, set);
    } else {
        checkChangedLayout(stub, out, set);
        checkTree(stub, out, set);
    }
    Bytes twice;
    if (!builder::writeResources(out, set, twice, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        FUZZ_CHECK(!"the written image takes the same changes again");
    }
    FUZZ_CHECK(twice == out);
    checkBuiltFile(out, pieces[0]);
    return 0;
}
