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

bool imageSize(const Bytes& file, int& width, int& height, std::string& error) {
    if (file.size() > INT_MAX) {
        error = "the file is too large";
        return false;
    }
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
    return true;
}

bool decodeImage(const Bytes& file, int& width, int& height, std::vector<unsigned char>& rgba, std::string& error) {
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
