// The configuration block's byte layout and the PE section table lookup.
#include <cstdio>

#include "builder.h"
#include "launcher/pe_image.h"

namespace builder {

namespace {
void putU32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putU64(std::string& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putNarrow(std::string& out, const std::string& s) {
    putU32(out, static_cast<uint32_t>(s.size()));
    out += s;
}
void putWide(std::string& out, const std::u16string& s) {
    putU32(out, static_cast<uint32_t>(s.size() * 2));
    for (char16_t c : s) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>((c >> 8) & 0xFF);
    }
}

uint64_t getLE(const std::string& data, uint64_t pos, int width) {
    uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[pos + i]);
    return v;
}

// Sequential reader over the image with bounds checks.
struct Reader {
    const std::string& data;
    uint64_t pos;
    std::string& error;
    uint32_t oddWides = 0;  // wide strings whose odd last byte was dropped

    bool need(uint64_t n, const char* what) {
        if (pos > data.size() || data.size() - pos < n) {
            char buf[160];
            std::snprintf(buf, sizeof buf, "block cut off: %s at offset %llu needs %llu bytes", what,
                          static_cast<unsigned long long>(pos), static_cast<unsigned long long>(n));
            error = buf;
            return false;
        }
        return true;
    }
    bool u32(uint32_t& v, const char* what) {
        if (!need(4, what)) return false;
        v = static_cast<uint32_t>(getLE(data, pos, 4));
        pos += 4;
        return true;
    }
    bool i32(int32_t& v, const char* what) {
        uint32_t u;
        if (!u32(u, what)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }
    bool u64(uint64_t& v, const char* what) {
        if (!need(8, what)) return false;
        v = getLE(data, pos, 8);
        pos += 8;
        return true;
    }
    bool narrow(std::string& s) {
        int32_t len;
        if (!i32(len, "string length")) return false;
        if (len < 0) {
            error = "negative string length at offset " + std::to_string(pos - 4);
            return false;
        }
        if (!need(static_cast<uint64_t>(len), "string")) return false;
        s.assign(data, pos, static_cast<size_t>(len));
        pos += static_cast<uint64_t>(len);
        return true;
    }
    bool wide(std::u16string& s) {
        int32_t len;
        if (!i32(len, "wide-string length")) return false;
        if (len < 0) {
            error = "bad wide-string byte length " + std::to_string(len) + " at offset " + std::to_string(pos - 4);
            return false;
        }
        if (!need(static_cast<uint64_t>(len), "wide string")) return false;
        // As the launcher reads it: an odd last byte is read and dropped.
        if (len & 1) ++oddWides;
        s.clear();
        for (int32_t i = 0; i + 1 < len; i += 2) s += static_cast<char16_t>(getLE(data, pos + i, 2));
        pos += static_cast<uint64_t>(len);
        return true;
    }
};
}  // namespace

std::string encodeBlock(const BlockData& block) {
    std::string out;
    putU32(out, kConfigMagic);
    putU32(out, block.reserved1);
    putU32(out, block.reserved2);
    putU64(out, 0);  // filled in below
    putU32(out, static_cast<uint32_t>(block.strings.size()));
    for (const StringEntry& e : block.strings) {
        putU32(out, static_cast<uint32_t>(e.id));
        putNarrow(out, e.value);
    }
    putU32(out, static_cast<uint32_t>(block.wides.size()));
    for (const WideEntry& e : block.wides) {
        putU32(out, static_cast<uint32_t>(e.id));
        putWide(out, e.value);
    }
    putU32(out, static_cast<uint32_t>(block.sets.size()));
    for (const LanguageSet& set : block.sets) {
        putNarrow(out, set.key);
        putU32(out, static_cast<uint32_t>(set.entries.size()));
        for (const WideEntry& e : set.entries) {
            putU32(out, static_cast<uint32_t>(e.id));
            putWide(out, e.value);
        }
    }
    uint64_t rest = out.size() - kBlockReservedValueOffset;
    for (int i = 0; i < 8; ++i) out[kBlockReservedValueOffset + i] = static_cast<char>((rest >> (8 * i)) & 0xFF);
    return out;
}

bool decodeBlock(const std::string& image, uint64_t start, BlockData& block, uint64_t& end, std::string& error) {
    block = BlockData();
    Reader r{image, start, error};
    uint32_t magic;
    if (start + 4 > image.size()) {
        error = "no configuration block (the file ends after the last section, at offset " + std::to_string(start) + ")";
        return false;
    }
    if (!r.u32(magic, "magic")) return false;
    if (magic != kConfigMagic) {
        char buf[120];
        std::snprintf(buf, sizeof buf, "no configuration block (found 0x%08X instead of the magic at offset %llu)",
                      magic, static_cast<unsigned long long>(start));
        error = buf;
        return false;
    }
    if (!r.u32(block.reserved1, "reserved word") || !r.u32(block.reserved2, "reserved word") ||
        !r.u64(block.reserved64, "reserved value"))
        return false;
    int32_t count;
    if (!r.i32(count, "string count")) return false;
    for (int32_t i = 0; i < count; ++i) {
        StringEntry e;
        if (!r.i32(e.id, "string id") || !r.narrow(e.value)) return false;
        block.strings.push_back(std::move(e));
    }
    if (!r.i32(count, "wide-string count")) return false;
    for (int32_t i = 0; i < count; ++i) {
        WideEntry e;
        if (!r.i32(e.id, "wide-string id") || !r.wide(e.value)) return false;
        block.wides.push_back(std::move(e));
    }
    if (!r.i32(count, "language-set count")) return false;
    for (int32_t i = 0; i < count; ++i) {
        LanguageSet set;
        int32_t entries;
        if (!r.narrow(set.key) || !r.i32(entries, "language-set entry count")) return false;
        for (int32_t k = 0; k < entries; ++k) {
            WideEntry e;
            if (!r.i32(e.id, "language-set id") || !r.wide(e.value)) return false;
            set.entries.push_back(std::move(e));
        }
        block.sets.push_back(std::move(set));
    }
    block.oddWideLengths = r.oddWides;
    end = r.pos;
    return true;
}

std::string blockTrailer(uint64_t blockEnd) {
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((kConfigMagic >> shift) & 0xFF);
    uint64_t size = blockEnd + kTrailerSize;
    if (size % kTrailerAlignment) out.append(static_cast<size_t>(kTrailerAlignment - size % kTrailerAlignment), '\0');
    return out;
}

bool findBlockStart(const std::string& image, uint64_t& start, std::string& error) {
    pe::PeHeaders headers;
    if (!readPe32PlusHeaders(image, headers, error)) return false;
    if (headers.coff.sectionCount == 0) {
        error = "the image has no sections";
        return false;
    }
    uint32_t rawOffset = 0, rawSize = 0;
    if (!pe::lastSectionRawEnd(image, headers, &rawOffset, &rawSize)) {
        error = "the section table reaches beyond the end of the file";
        return false;
    }
    if (uint64_t{rawOffset} + rawSize > image.size()) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "the last section's raw data (offset %llu, size %llu) lies beyond the end of the file (%llu bytes)",
                      static_cast<unsigned long long>(rawOffset), static_cast<unsigned long long>(rawSize),
                      static_cast<unsigned long long>(image.size()));
        error = buf;
        return false;
    }
    start = uint64_t{rawOffset} + rawSize;
    return true;
}

}  // namespace builder
