// Pure parts of the splash screen: placement and the status text conversion.
#include "splash.h"

#include "files/paths.h"

namespace {
// ANSI code page (CP_ACP): the code page TextOutA draws in.
constexpr int kAnsiCodePage = 0;

bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
}  // namespace

SplashPosition centreSplash(int left, int top, int right, int bottom, int width, int height) {
    return SplashPosition{(right - width - left) / 2, (bottom - height - top) / 2};
}

std::string statusTextToNarrow(const std::u16string& text) {
    const size_t limit = kStatusTextBufferSize - 1;
    std::string narrow = fromUtf16(text, kAnsiCodePage);
    if (narrow.size() <= limit) return narrow;
    // Too long: the longest prefix of whole characters whose conversion fits.
    // A character never converts to fewer than one byte, so the prefix has at
    // most `limit` UTF-16 units; search between 0 and that.
    size_t low = 0, high = text.size() < limit ? text.size() : limit;
    std::string best;
    while (low < high) {
        size_t mid = low + (high - low + 1) / 2;
        size_t cut = mid;
        if (cut < text.size() && isLowSurrogate(text[cut])) --cut;  // keep surrogate pairs whole
        std::string candidate = fromUtf16(text.substr(0, cut), kAnsiCodePage);
        if (candidate.size() <= limit) {
            low = mid;
            if (candidate.size() >= best.size()) best.swap(candidate);
        } else {
            high = mid - 1;
        }
    }
    return best;
}
