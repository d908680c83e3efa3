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

#include <climits>

#include "resources.h"

namespace builder {

bool imageSize(const Bytes& file, int& width, int& height, std::string& error) {
    if (file.size() > INT_MAX) {
        error = "the file is too large";
        return false;
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
