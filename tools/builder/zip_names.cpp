// A bounds-checked reader of a zip archive's central directory: only the names
// are needed (is a class in a jar?), so nothing is decompressed.
#include "zip_names.h"

#include <cstdint>

namespace builder {

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kEntrySignature = 0x02014b50;
constexpr size_t kEndSize = 22;
constexpr size_t kMaxComment = 0xFFFF;

uint64_t get(const std::string& d, uint64_t at, int width) {
    uint64_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(d[at + i]);
    return v;
}

bool fits(const std::string& d, uint64_t at, uint64_t size) { return at <= d.size() && size <= d.size() - at; }

}  // namespace

bool zipEntryNames(const std::string& data, std::vector<std::string>& names, std::string& error) {
    names.clear();
    if (data.size() < kEndSize) {
        error = "not a zip archive (too short)";
        return false;
    }
    // The end record is the last 22 bytes, or earlier by the length of an archive comment.
    uint64_t end = data.size() - kEndSize;
    uint64_t lowest = data.size() - kEndSize > kMaxComment ? data.size() - kEndSize - kMaxComment : 0;
    for (;; --end) {
        if (get(data, end, 4) == kEndSignature && end + kEndSize + get(data, end + 20, 2) == data.size()) break;
        if (end == lowest) {
            error = "not a zip archive (no end of central directory record)";
            return false;
        }
    }
    uint64_t count = get(data, end + 10, 2);
    uint64_t size = get(data, end + 12, 4);
    uint64_t offset = get(data, end + 16, 4);
    if (count == 0xFFFF || size == 0xFFFFFFFF || offset == 0xFFFFFFFF) {
        if (end < 20 || get(data, end - 20, 4) != kZip64LocatorSignature) {
            error = "a ZIP64 archive without its locator record";
            return false;
        }
        uint64_t at = get(data, end - 20 + 8, 8);
        if (!fits(data, at, 56) || get(data, at, 4) != kZip64EndSignature) {
            error = "a ZIP64 end record outside the archive";
            return false;
        }
        count = get(data, at + 32, 8);
        size = get(data, at + 40, 8);
        offset = get(data, at + 48, 8);
    }
    if (!fits(data, offset, size)) {
        error = "the central directory lies outside the archive";
        return false;
    }
    uint64_t at = offset;
    const uint64_t stop = offset + size;
    for (uint64_t i = 0; i < count; ++i) {
        if (at > stop || stop - at < 46 || get(data, at, 4) != kEntrySignature) {
            error = "a damaged central directory (entry " + std::to_string(i + 1) + " of " + std::to_string(count) + ")";
            return false;
        }
        uint64_t nameLength = get(data, at + 28, 2);
        uint64_t total = 46 + nameLength + get(data, at + 30, 2) + get(data, at + 32, 2);
        if (stop - at < total) {
            error = "a damaged central directory (entry " + std::to_string(i + 1) + " runs past its end)";
            return false;
        }
        names.push_back(data.substr(at + 46, nameLength));
        at += total;
    }
    return true;
}

}  // namespace builder
