// UTF-8, UTF-16 and Windows-1252 conversions of the builder.
#include "builder.h"

namespace builder {

namespace {
// Characters of the bytes 0x80..0x9F in Windows-1252; 0 marks the bytes
// without a character, which map to the C1 control of the same value.
const uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
}  // namespace

bool decodeUtf8(const std::string& text, std::vector<uint32_t>& codePoints) {
    codePoints.clear();
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            extra = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            extra = 3;
        } else {
            return false;
        }
        if (extra > 0 && i + static_cast<size_t>(extra) >= n) return false;
        for (int k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(text[i + k]);
            if ((cc & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        codePoints.push_back(cp);
        i += 1 + extra;
    }
    return true;
}

void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

uint32_t cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) {
        uint16_t mapped = kCp1252High[byte - 0x80];
        return mapped ? mapped : byte;
    }
    return byte;
}

bool unicodeToCp1252(uint32_t cp, unsigned char& byte) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        byte = static_cast<unsigned char>(cp);
        return true;
    }
    if (cp >= 0x80 && cp <= 0x9F) {  // only the C1 controls without a character of their own
        if (kCp1252High[cp - 0x80] != 0) return false;
        byte = static_cast<unsigned char>(cp);
        return true;
    }
    for (int i = 0; i < 32; ++i) {
        if (kCp1252High[i] != 0 && kCp1252High[i] == cp) {
            byte = static_cast<unsigned char>(0x80 + i);
            return true;
        }
    }
    return false;
}

bool unitsToNarrow(const std::vector<TextUnit>& units, std::string& out, uint32_t& badChar) {
    out.clear();
    for (const TextUnit& u : units) {
        if (u.kind == TextUnit::RawByte) {
            out += static_cast<char>(u.value);
            continue;
        }
        unsigned char b;
        if (!unicodeToCp1252(u.value, b)) {
            badChar = u.value;
            return false;
        }
        out += static_cast<char>(b);
    }
    return true;
}

std::u16string unitsToWide(const std::vector<TextUnit>& units) {
    std::u16string out;
    for (const TextUnit& u : units) {
        if (u.kind == TextUnit::CodePoint && u.value >= 0x10000) {
            uint32_t v = u.value - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += static_cast<char16_t>(u.value);
        }
    }
    return out;
}

}  // namespace builder
