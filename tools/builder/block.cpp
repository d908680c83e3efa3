// The configuration block's byte layout and the PE section table lookup.
#include <cstdio>

#include "builder.h"

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
    putU32(out, kBlockMagic);
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
    uint64_t rest = out.size() - 12;
    for (int i = 0; i < 8; ++i) out[12 + i] = static_cast<char>((rest >> (8 * i)) & 0xFF);
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
    if (magic != kBlockMagic) {
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
    std::string out("\xE8\xE4\x13\xD5", 4);
    uint64_t size = blockEnd + 4;
    if (size % 512) out.append(static_cast<size_t>(512 - size % 512), '\0');
    return out;
}

bool findBlockStart(const std::string& image, uint64_t& start, std::string& error) {
    const uint64_t size = image.size();
    if (size < 64 || image[0] != 'M' || image[1] != 'Z') {
        error = "not a PE32+ image (no MZ header)";
        return false;
    }
    uint64_t p = getLE(image, 60, 4);
    if (p + 24 + 2 > size || image.compare(p, 4, std::string("PE\0\0", 4)) != 0) {
        error = "not a PE32+ image (no PE signature)";
        return false;
    }
    if (getLE(image, p + 24, 2) != 0x20B) {
        error = "not a PE32+ image (optional header magic is not 0x20B)";
        return false;
    }
    uint64_t sections = getLE(image, p + 6, 2);
    uint64_t optionalSize = getLE(image, p + 20, 2);
    if (sections == 0) {
        error = "the image has no sections";
        return false;
    }
    // The raw-data size and offset fields of the last section-table entry.
    uint64_t q = p + optionalSize + 40 * sections;
    if (q + 8 > size) {
        error = "the section table reaches beyond the end of the file";
        return false;
    }
    uint64_t rawSize = getLE(image, q, 4);
    uint64_t rawOffset = getLE(image, q + 4, 4);
    if (rawOffset + rawSize > size) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "the last section's raw data (offset %llu, size %llu) lies beyond the end of the file (%llu bytes)",
                      static_cast<unsigned long long>(rawOffset), static_cast<unsigned long long>(rawSize),
                      static_cast<unsigned long long>(size));
        error = buf;
        return false;
    }
    start = rawOffset + rawSize;
    return true;
}

}  // namespace builder
