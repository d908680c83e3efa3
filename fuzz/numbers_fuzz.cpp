// Number and colour conversion of configuration values (the input as the text).
// Invariant: no crash; parseConfigInt agrees with the C library's strtoll clamped to
// 32 bits, and reads back every number it writes; a colour is three bytes, and reads
// back the numbers it was written from; every value the builder accepts as a number
// or a colour reads as the launcher its checks promise.
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "builder.h"
#include "fuzz_support.h"
#include "launcher/config.h"
#include "launcher/config_ids.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const char* c = text.c_str();

    int32_t value = parseConfigInt(c);
    long long reference = std::strtoll(c, nullptr, 10);
    if (reference > INT32_MAX) reference = INT32_MAX;
    if (reference < INT32_MIN) reference = INT32_MIN;
    FUZZ_CHECK(value == reference);
    FUZZ_CHECK(parseConfigInt(std::to_string(value).c_str()) == value);

    uint32_t colour = parseConfigColor(c);
    FUZZ_CHECK(colour <= 0xFFFFFFu);
    if (size >= 3) {
        std::string written = std::to_string(data[0]) + "," + std::to_string(data[1]) + "," + std::to_string(data[2]);
        FUZZ_CHECK(parseConfigColor(written.c_str()) == (data[0] | data[1] << 8 | data[2] << 16));
    }

    std::string error;
    if (builder::checkSettingValue(CFG_SPLASH_WIDTH, text, error)) {
        // A decimal number within 32 bits: read exactly, nothing clamped or left over.
        char* end = nullptr;
        errno = 0;
        long long exact = std::strtoll(c, &end, 10);
        FUZZ_CHECK(errno == 0 && end == c + size && exact >= INT32_MIN && exact <= INT32_MAX && value == exact);
    }
    if (builder::checkSettingValue(CFG_STATUS_TEXT_COLOR, text, error)) {
        // Three numbers 0..255 (blanks around them allowed): each byte as written.
        uint32_t parts[3] = {0, 0, 0};
        int at = 0;
        for (char ch : text) {
            if (ch == ',') ++at;
            else if (ch >= '0' && ch <= '9') parts[at] = parts[at] * 10 + (ch - '0');
        }
        FUZZ_CHECK(at == 2 && colour == (parts[0] | parts[1] << 8 | parts[2] << 16));
    }
    return 0;
}
