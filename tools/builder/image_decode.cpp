// Image decoding for the builder with stb_image (Debian's libstb-dev): PNG,
// JPEG, GIF (first frame) and BMP, from memory only.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_ONLY_PNG
#define STBI_ONLY_JPEG
#define STBI_ONLY_GIF
#define STBI_ONLY_BMP
#define STBI_FAILURE_USERMSG
// stb_image 2.27 leaves its JPEG decoder's state uninitialised: a scan that uses a
// Huffman table no segment defined would read whatever the heap held. Every
// allocation of the decoder is zeroed.
#define STBI_MALLOC(size) std::calloc(1, size)
#define STBI_REALLOC(pointer, size) std::realloc(pointer, size)
#define STBI_FREE(pointer) std::free(pointer)
#include <cstdlib>
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <algorithm>
#include <climits>
#include <cstdint>

#include "resources.h"

namespace builder {

namespace {
uint32_t le(const Bytes& d, size_t at, int width) {  // bytes beyond the end read as 0
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | (at + i < d.size() ? static_cast<unsigned char>(d[at + i]) : 0);
    return v;
}

// A BMP's pixel rows follow at the offset its file header gives, uncompressed (the
// decoder reads no RLE), each padded to 4 bytes: a shorter file is cut off, and the
// decoder would fill the missing rows with black.
bool bmpCutOff(const Bytes& file, int width, int height, std::string& error) {
    const uint64_t bits = le(file, 14, 4) == 12 ? le(file, 24, 2) : le(file, 28, 2);
    const uint64_t row = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
    const uint64_t need = le(file, 10, 4) + row * (static_cast<uint64_t>(height) - 1) +
                          (static_cast<uint64_t>(width) * bits + 7) / 8;
    if (need <= file.size()) return false;
    error = "the BMP file is cut off: its " + std::to_string(width) + "x" + std::to_string(height) + " pixels need " +
            std::to_string(need) + " bytes, the file has " + std::to_string(file.size());
    return true;
}

// stb_image 2.27 (Debian 12's) builds a JPEG Huffman table from any number of codes:
// a table of more than 256 writes past the decoder's arrays. Such a table is refused
// here first, found as the decoder finds it: markers anywhere in the file (bytes
// between them skipped), each table of a DHT segment read while its length lasts.
bool jpegTablesFit(const Bytes& f, std::string& error) {
    auto byte = [&](size_t at) -> unsigned { return at < f.size() ? static_cast<unsigned char>(f[at]) : 0; };
    size_t i = 0;  // the start-of-image marker, after any fill bytes 0xFF
    while (byte(i) == 0xFF) ++i;
    if (i == 0 || byte(i) != 0xD8) return true;
    for (i = i + 1; i + 1 < f.size();) {
        const unsigned marker = byte(i + 1);
        if (byte(i) != 0xFF || marker == 0xFF) {
            ++i;
            continue;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD9)) {  // no length follows
            i += 2;
            continue;
        }
        const size_t length = byte(i + 2) << 8 | byte(i + 3);
        if (marker == 0xC4) {
            long left = static_cast<long>(length) - 2;
            for (size_t at = i + 4; left > 0;) {
                size_t codes = 0;
                for (int k = 1; k <= 16; ++k) codes += byte(at + k);
                if (codes > 256) {
                    error = "not a usable JPEG image (a Huffman table of " + std::to_string(codes) + " codes)";
                    return false;
                }
                at += 17 + codes;
                left -= static_cast<long>(17 + codes);
            }
        }
        i += 2 + length;
    }
    return true;
}

// The decoder grows its buffer to a PNG chunk's stated length before reading it: a
// small file whose chunk claims 2 GB would allocate that. The chunks up to IEND must
// lie within the file.
bool pngChunksFit(const Bytes& f, std::string& error) {
    if (f.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) != 0) return true;
    for (uint64_t at = 8; at + 8 <= f.size();) {
        const uint64_t length = static_cast<uint64_t>(le(f, at, 1)) << 24 | le(f, at + 1, 1) << 16 |
                                le(f, at + 2, 1) << 8 | le(f, at + 3, 1);
        std::string type = f.substr(at + 4, 4);
        for (char& c : type)
            if (c < 0x20 || c > 0x7E) c = '?';
        if (at + 12 + length > f.size()) {
            error = "the PNG file is cut off: its chunk " + type + " at offset " + std::to_string(at) + " needs " +
                    std::to_string(12 + length) + " bytes, the file has " + std::to_string(f.size() - at) +
                    " from there";
            return false;
        }
        if (type == "IEND") break;
        at += 12 + length;
    }
    return true;
}

// What the decoder cannot be given safely.
bool decoderSafe(const Bytes& file, std::string& error) {
    if (file.size() > INT_MAX) {
        error = "the file is too large";
        return false;
    }
    return jpegTablesFit(file, error) && pngChunksFit(file, error);
}
}  // namespace

bool imageSize(const Bytes& file, int& width, int& height, std::string& error) {
    if (!decoderSafe(file, error)) return false;
    // A PNG's size straight from its header, so that a 0x0 or a huge image is named as such
    // (the decoder then checks the rest).
    if (file.size() >= 24 && file.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0 && file.compare(12, 4, "IHDR") == 0) {
        auto be = [&](size_t at) {
            return static_cast<uint32_t>(static_cast<unsigned char>(file[at])) << 24 |
                   static_cast<uint32_t>(static_cast<unsigned char>(file[at + 1])) << 16 |
                   static_cast<uint32_t>(static_cast<unsigned char>(file[at + 2])) << 8 |
                   static_cast<unsigned char>(file[at + 3]);
        };
        width = static_cast<int>(std::min<uint32_t>(be(16), INT_MAX));
        height = static_cast<int>(std::min<uint32_t>(be(20), INT_MAX));
        return true;
    }
    int components = 0;
    if (!stbi_info_from_memory(reinterpret_cast<const stbi_uc*>(file.data()), static_cast<int>(file.size()), &width,
                               &height, &components)) {
        const char* reason = stbi_failure_reason();
        error = std::string("not a PNG, JPEG, GIF or BMP image") + (reason ? std::string(" (") + reason + ")" : "");
        return false;
    }
    if (file.compare(0, 2, "BM") == 0 && width > 0 && height > 0 && bmpCutOff(file, width, height, error)) return false;
    return true;
}

bool decodeImage(const Bytes& file, int& width, int& height, std::vector<unsigned char>& rgba, std::string& error) {
    if (!decoderSafe(file, error)) return false;
    int components = 0;
    stbi_uc* pixels = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(file.data()), static_cast<int>(file.size()),
                                            &width, &height, &components, 4);
    if (!pixels) {
        const char* reason = stbi_failure_reason();
        error = std::string("cannot decode the image") + (reason ? std::string(" (") + reason + ")" : "");
        return false;
    }
    rgba.assign(pixels, pixels + static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    stbi_image_free(pixels);
    return true;
}

}  // namespace builder
