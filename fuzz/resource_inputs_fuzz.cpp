// What the builder reads for the [resources] section from the user's files and lines:
// an ICON file, a SPLASH_IMAGE file, the version and manifest keys, a MANIFEST text.
// Input: the kind ("icon", "splash", "lines" or "manifest"), a NUL byte, then the file's
// bytes; for "lines", key and value pairs separated by NUL bytes.
// Invariant: refused with a message, or accepted with consistent results:
// - icon: a PNG is one image of the file's own bytes, 1 to 256 pixels each way; an .ico
//   gives as many images as its directory counts, each the bytes its entry points at, a
//   bitmap or a PNG; written into a stub, each group lists exactly these images;
// - splash: accepted only when the header's size is 1 to 8192 each way (decided before
//   any decoding; a 30000x30000 header allocates nothing), a BMP only when the file holds
//   its rows; the bitmap is a 24-bit DIB of that size, rows padded to 4 bytes;
// - lines: each line accepted or refused with a message; the version resource is a
//   well-formed VS_VERSIONINFO whose numbers and strings are those accepted (defaults
//   for the missing ones); a generated manifest is well-formed for the checker and for
//   expat, and selects UTF-8 exactly when UTF8_CODE_PAGE is 1;
// - manifest: what the checker accepts as UTF-8 text, expat parses as well-formed XML
//   with the root element assembly; what expat parses so, the checker accepts (unless
//   it has a DOCTYPE or text beyond ASCII); a refusal names its line and column.
// Splash images over a million pixels are only checked for their size: decoding them
// would slow the fuzzer down, not reach other code.
#include <expat.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "builder.h"
#include "fuzz_support.h"
#include "pe_resources.h"
#include "resources.h"

namespace {
using builder::Bytes;
using builder::ResourceName;

uint32_t le(const Bytes& d, uint64_t at, int width) {  // bytes beyond the end read as 0
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | (at + i < d.size() ? static_cast<unsigned char>(d[at + i]) : 0);
    return v;
}
uint32_t be32(const Bytes& d, size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(d[at])) << 24 |
           static_cast<uint32_t>(static_cast<unsigned char>(d[at + 1])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(d[at + 2])) << 8 | static_cast<unsigned char>(d[at + 3]);
}
void putLe(Bytes& d, uint64_t at, uint32_t v, int width) {
    if (d.size() < at + width) d.resize(at + width, '\0');
    for (int i = 0; i < width; ++i) d[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
bool isPng(const Bytes& d) { return d.size() >= 8 && d.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0; }

// ---- icon ----------------------------------------------------------------------------

// A PE32+ image with one code section: headers 0x400, file alignment 0x200, section
// alignment 0x1000, no resources.
Bytes plainStub() {
    Bytes image(0x600, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    const size_t pe = 0x80, opt = pe + 24, table = opt + 240;
    putLe(image, 0x3C, pe, 4);
    image.replace(pe, 4, std::string("PE\0\0", 4));
    putLe(image, pe + 4, 0x8664, 2);
    putLe(image, pe + 6, 1, 2);
    putLe(image, pe + 20, 240, 2);
    putLe(image, opt, 0x20B, 2);
    putLe(image, opt + 32, 0x1000, 4);
    putLe(image, opt + 36, 0x200, 4);
    putLe(image, opt + 56, 0x2000, 4);
    putLe(image, opt + 60, 0x400, 4);
    putLe(image, opt + 108, 16, 4);
    image.replace(table, 5, ".text");
    putLe(image, table + 8, 0x200, 4);
    putLe(image, table + 12, 0x1000, 4);
    putLe(image, table + 16, 0x200, 4);
    putLe(image, table + 20, 0x400, 4);
    putLe(image, table + 36, 0x60000020, 4);
    return image;
}

void checkIcon(const Bytes& file) {
    std::vector<builder::IconImage> images;
    std::string error;
    if (!builder::readIconFile(file, images, error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    if (isPng(file)) {
        FUZZ_CHECK(images.size() == 1 && images[0].data == file);
        const uint32_t w = be32(file, 16), h = be32(file, 20);
        FUZZ_CHECK(w >= 1 && w <= 256 && h >= 1 && h <= 256);
        FUZZ_CHECK(images[0].width == (w & 0xFF) && images[0].height == (h & 0xFF));
    } else {
        FUZZ_CHECK(le(file, 0, 2) == 0 && le(file, 2, 2) == 1 && images.size() == le(file, 4, 2));
        for (size_t i = 0; i < images.size(); ++i) {
            const size_t entry = 6 + 16 * i;
            const Bytes& data = images[i].data;
            FUZZ_CHECK(!data.empty() && data == file.substr(le(file, entry + 12, 4), le(file, entry + 8, 4)));
            FUZZ_CHECK(isPng(data) || (data.size() >= 40 && (le(data, 0, 4) == 40 || le(data, 0, 4) == 108 ||
                                                             le(data, 0, 4) == 124)));
            FUZZ_CHECK(images[i].width == static_cast<unsigned char>(file[entry]));
            FUZZ_CHECK(images[i].height == static_cast<unsigned char>(file[entry + 1]));
            FUZZ_CHECK(images[i].planes >= 1);
        }
    }

    builder::ResourceSet set;
    set.icons = images;
    set.iconGroups = {ResourceName::id(1001), ResourceName::named(u"ID_SPLASH_ICON")};
    Bytes out;
    static const Bytes stub = plainStub();
    FUZZ_CHECK(builder::writeResources(stub, set, out, error));
    builder::ResourceTree tree;
    FUZZ_CHECK(builder::readResources(out, tree, error));
    for (const ResourceName& name : set.iconGroups) {
        const builder::ResourceEntry* group = builder::findResource(tree, ResourceName::id(builder::kResGroupIcon), name);
        FUZZ_CHECK(group && group->data.size() == 6 + 14 * images.size() && le(group->data, 4, 2) == images.size());
        for (size_t i = 0; i < images.size(); ++i) {
            const size_t row = 6 + 14 * i;
            FUZZ_CHECK(le(group->data, row + 8, 4) == images[i].data.size());
            const builder::ResourceEntry* image = builder::findResource(
                tree, ResourceName::id(builder::kResIcon), ResourceName::id(static_cast<uint16_t>(le(group->data, row + 12, 2))));
            FUZZ_CHECK(image && image->data == images[i].data);
        }
    }
}

// ---- splash --------------------------------------------------------------------------

void checkSplash(const Bytes& file) {
    int width = 0, height = 0;
    std::string sizeError;
    const bool sized = builder::imageSize(file, width, height, sizeError);
    const bool inRange = sized && width >= 1 && height >= 1 && width <= builder::kMaxSplashSide &&
                         height <= builder::kMaxSplashSide;
    if (inRange && static_cast<uint64_t>(width) * height > (1u << 20)) return;
    Bytes bitmap;
    int w = 0, h = 0;
    std::string error;
    if (!builder::splashBitmapOf(file, bitmap, w, h, error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    FUZZ_CHECK(inRange && w == width && h == height);
    if (file.compare(0, 2, "BM") == 0) {
        // The rows at the offset the file header gives, each padded to 4 bytes.
        const uint64_t bits = le(file, 14, 4) == 12 ? le(file, 24, 2) : le(file, 28, 2);
        const uint64_t row = (static_cast<uint64_t>(w) * bits + 31) / 32 * 4;
        FUZZ_CHECK(le(file, 10, 4) + row * (h - 1) + (w * bits + 7) / 8 <= file.size());
    }
    const uint64_t row = (static_cast<uint64_t>(w) * 3 + 3) / 4 * 4;
    FUZZ_CHECK(bitmap.size() == 40 + row * h);
    FUZZ_CHECK(le(bitmap, 0, 4) == 40 && le(bitmap, 4, 4) == static_cast<uint32_t>(w) &&
               le(bitmap, 8, 4) == static_cast<uint32_t>(h));
    FUZZ_CHECK(le(bitmap, 12, 2) == 1 && le(bitmap, 14, 2) == 24 && le(bitmap, 16, 4) == 0 &&
               le(bitmap, 20, 4) == row * h);
}

// ---- manifest ------------------------------------------------------------------------

// Whether expat reads xml as well-formed (no namespace processing); root gets the
// first element's name.
bool expatAccepts(const std::string& xml, std::string& root, bool tell = true) {
    XML_Parser parser = XML_ParserCreate(nullptr);
    XML_SetUserData(parser, &root);
    XML_SetStartElementHandler(parser, [](void* data, const XML_Char* name, const XML_Char**) {
        std::string& first = *static_cast<std::string*>(data);
        if (first.empty()) first = name;
    });
    const bool ok = XML_Parse(parser, xml.data(), static_cast<int>(xml.size()), 1) == XML_STATUS_OK;
    if (!ok && tell)
        std::fprintf(stderr, "expat: line %lu, column %lu: %s\n", XML_GetCurrentLineNumber(parser),
                     XML_GetCurrentColumnNumber(parser), XML_ErrorString(XML_GetErrorCode(parser)));
    XML_ParserFree(parser);
    return ok;
}

void checkManifest(const std::string& xml) {
    std::string error;
    if (!builder::checkManifestXml(xml, error)) {
        FUZZ_CHECK(!error.empty());
        if (error.compare(0, 28, "not well-formed XML at line ") == 0) {
            size_t lines = 1;
            for (char c : xml) lines += c == '\n';
            FUZZ_CHECK(std::strtoul(error.c_str() + 28, nullptr, 10) <= lines);
        }
        // Refused by design: a DOCTYPE, names beyond ASCII (so text beyond ASCII is left
        // out), versions other than 1.x (expat takes any name there).
        bool ascii = true;
        for (char c : xml) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        const bool byDesign = xml.find("<!DOCTYPE") != std::string::npos || !ascii ||
                              error.find("is not an XML version") != std::string::npos;
        std::string root;
        if (!byDesign && expatAccepts(xml, root, false)) {
            const size_t colon = root.find(':');
            if ((colon == std::string::npos ? root : root.substr(colon + 1)) == "assembly") {
                std::fprintf(stderr, "--- refused: %s ---\n%s\n", error.c_str(), xml.c_str());
                FUZZ_CHECK(!"well-formed XML with the root element assembly is accepted");
            }
        }
        return;
    }
    builder::manifestSelectsUtf8(xml);
    std::vector<uint32_t> codePoints;
    const bool bom = xml.compare(0, 3, "\xEF\xBB\xBF") == 0;
    if (!builder::decodeUtf8(bom ? xml.substr(3) : xml, codePoints)) return;  // the builder refuses it before
    std::string root;
    if (!expatAccepts(xml, root)) {
        std::fprintf(stderr, "--- accepted as a manifest ---\n%s\n", xml.c_str());
        FUZZ_CHECK(!"a manifest the checker accepts is well-formed XML");
    }
    const size_t colon = root.find(':');
    FUZZ_CHECK((colon == std::string::npos ? root : root.substr(colon + 1)) == "assembly");
}

// ---- lines ---------------------------------------------------------------------------

struct VersionNode {
    std::u16string key;
    uint32_t type = 0, valueLength = 0;
    Bytes value;
    std::vector<VersionNode> children;
};

// One node of VS_VERSIONINFO at offset at, within limit: length, value length, type,
// the key up to its NUL, padding to 4, the value, then children each at a multiple of
// 4, ending exactly at the node's end.
VersionNode readVersionNode(const Bytes& d, size_t at, size_t limit) {
    VersionNode node;
    FUZZ_CHECK(at % 4 == 0 && at + 6 <= limit);
    const size_t length = le(d, at, 2), end = at + length;
    FUZZ_CHECK(length >= 6 && end <= limit);
    node.valueLength = le(d, at + 2, 2);
    node.type = le(d, at + 4, 2);
    FUZZ_CHECK(node.type <= 1);
    size_t pos = at + 6;
    for (;; pos += 2) {
        FUZZ_CHECK(pos + 2 <= end);
        const char16_t c = static_cast<char16_t>(le(d, pos, 2));
        if (!c) break;
        node.key += c;
    }
    pos = (pos + 2 + 3) / 4 * 4;
    const size_t valueBytes = node.type == 1 ? 2 * node.valueLength : node.valueLength;
    FUZZ_CHECK(pos + valueBytes <= end || (valueBytes == 0 && pos >= end));
    if (valueBytes) node.value = d.substr(pos, valueBytes);
    pos += valueBytes;
    for (pos = (pos + 3) / 4 * 4; pos < end; pos = (pos + 3) / 4 * 4) {
        node.children.push_back(readVersionNode(d, pos, end));
        pos += le(d, pos, 2);
    }
    return node;
}
std::u16string textOf(const Bytes& value) {  // a text value, its NUL at the end
    std::u16string text;
    for (size_t i = 0; i + 1 < value.size(); i += 2) text += static_cast<char16_t>(le(value, i, 2));
    FUZZ_CHECK(!text.empty() && text.back() == u'\0');
    text.pop_back();
    return text;
}
std::u16string utf16(const std::vector<uint32_t>& codePoints) {
    std::u16string out;
    for (uint32_t c : codePoints) {
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}
std::u16string ascii16(const std::string& s) { return std::u16string(s.begin(), s.end()); }

// The version strings and where their values come from.
const std::pair<const char*, const char*> kVersionKeys[] = {
    {"COMPANY_NAME", "CompanyName"},   {"FILE_DESCRIPTION", "FileDescription"}, {"FILE_VERSION", "FileVersion"},
    {"INTERNAL_NAME", "InternalName"}, {"LEGAL_COPYRIGHT", "LegalCopyright"},   {"ORIGINAL_FILENAME", "OriginalFilename"},
    {"PRODUCT_NAME", "ProductName"},   {"PRODUCT_VERSION", "ProductVersion"},   {"COMMENTS", "Comments"},
};

void checkVersion(const builder::ResourceEntry& entry, const std::map<std::string, std::u16string>& accepted) {
    const Bytes& d = entry.data;
    const VersionNode root = readVersionNode(d, 0, d.size());
    FUZZ_CHECK(le(d, 0, 2) == d.size() && root.key == u"VS_VERSION_INFO" && root.value.size() == 52);
    FUZZ_CHECK(le(root.value, 0, 4) == 0xFEEF04BDu);
    auto numbers = [&](const char* key, const std::u16string& fallback) {
        auto it = accepted.find(key);
        std::u16string text = it != accepted.end() ? it->second : fallback;
        uint16_t parts[4];
        std::string error;
        FUZZ_CHECK(builder::parseVersionNumbers(std::string(text.begin(), text.end()), parts, error));
        return std::make_pair(static_cast<uint32_t>(parts[0]) << 16 | parts[1], static_cast<uint32_t>(parts[2]) << 16 | parts[3]);
    };
    const auto fileVersion = numbers("FILE_VERSION", u"0.0.0.0");
    const std::u16string fileText = accepted.count("FILE_VERSION") ? accepted.at("FILE_VERSION") : u"0.0.0.0";
    const auto productVersion = numbers("PRODUCT_VERSION", fileText);
    FUZZ_CHECK(le(root.value, 8, 4) == fileVersion.first && le(root.value, 12, 4) == fileVersion.second);
    FUZZ_CHECK(le(root.value, 16, 4) == productVersion.first && le(root.value, 20, 4) == productVersion.second);

    FUZZ_CHECK(root.children.size() == 2 && root.children[0].key == u"StringFileInfo" &&
               root.children[1].key == u"VarFileInfo");
    const VersionNode& info = root.children[0];
    FUZZ_CHECK(info.children.size() == 1 && info.children[0].key == u"040904B0");
    std::map<std::u16string, std::u16string> strings;
    for (const VersionNode& s : info.children[0].children) {
        FUZZ_CHECK(s.type == 1 && s.children.empty() && s.valueLength * 2 == s.value.size());
        FUZZ_CHECK(strings.emplace(s.key, textOf(s.value)).second);
    }
    std::map<std::u16string, std::u16string> expected;
    for (const auto& key : kVersionKeys) {
        auto it = accepted.find(key.first);
        if (it != accepted.end()) expected[ascii16(key.second)] = it->second;
    }
    expected.emplace(u"OriginalFilename", u"app.exe");
    expected.emplace(u"FileVersion", fileText);
    expected.emplace(u"ProductVersion", accepted.count("PRODUCT_VERSION") ? accepted.at("PRODUCT_VERSION") : fileText);
    FUZZ_CHECK(strings == expected);
    const VersionNode& var = root.children[1];
    FUZZ_CHECK(var.children.size() == 1 && var.children[0].key == u"Translation" && var.children[0].value.size() == 4);
    FUZZ_CHECK(le(var.children[0].value, 0, 2) == 0x0409 && le(var.children[0].value, 2, 2) == 1200);
}

void checkLines(const std::vector<std::string>& pieces) {
    builder::ResourceInput input;
    std::map<std::string, std::u16string> accepted;
    for (size_t i = 0; i + 1 < pieces.size(); i += 2) {
        const std::string& key = pieces[i];
        if (key == "ICON" || key == "SPLASH_IMAGE" || key == "MANIFEST") continue;  // files: the other kinds
        std::vector<uint32_t> codePoints;
        if (!builder::decodeUtf8(pieces[i + 1], codePoints)) {
            codePoints.clear();
            for (unsigned char c : pieces[i + 1]) codePoints.push_back(c);
        }
        std::vector<builder::TextUnit> units;
        for (uint32_t c : codePoints) units.push_back({builder::TextUnit::CodePoint, c});
        std::string error;
        if (!builder::parseResourceLine(key, units, "fuzz:1", "/base", input, error)) {
            FUZZ_CHECK(!error.empty());
            continue;
        }
        accepted[key] = utf16(codePoints);
    }
    std::string error;
    FUZZ_CHECK(builder::finishResourceInput(input, error));
    builder::ResourceSet set;
    int w = -1, h = -1;
    if (!builder::prepareResources(input, "app.exe", set, w, h, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        FUZZ_CHECK(!"lines without files always prepare");
    }
    FUZZ_CHECK(w == 0 && h == 0 && set.icons.empty());
    bool anyVersion = false, anyManifest = false;
    for (const auto& key : kVersionKeys) anyVersion = anyVersion || accepted.count(key.first);
    for (const char* key : {"EXECUTION_LEVEL", "DPI_AWARENESS", "LONG_PATHS", "UTF8_CODE_PAGE"})
        anyManifest = anyManifest || accepted.count(key);
    FUZZ_CHECK(set.replace.size() == static_cast<size_t>(anyVersion) + anyManifest);
    for (const builder::ResourceEntry& entry : set.replace) {
        if (entry.type == ResourceName::id(builder::kResVersion)) {
            FUZZ_CHECK(entry.name == ResourceName::id(1));
            checkVersion(entry, accepted);
            continue;
        }
        FUZZ_CHECK(entry.type == ResourceName::id(builder::kResManifest));
        std::string root;
        FUZZ_CHECK(builder::checkManifestXml(entry.data, error) && expatAccepts(entry.data, root) && root == "assembly");
        const bool utf8 = accepted.count("UTF8_CODE_PAGE") && accepted.at("UTF8_CODE_PAGE") == u"1";
        FUZZ_CHECK(builder::manifestSelectsUtf8(entry.data) == utf8 && input.utf8 == utf8);
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string> parts = splitInput(data, size, 2);
    if (parts[0] == "icon") checkIcon(parts[1]);
    if (parts[0] == "splash") checkSplash(parts[1]);
    if (parts[0] == "manifest") checkManifest(parts[1]);
    if (parts[0] == "lines") {
        const std::vector<std::string> pieces = splitInput(data, size, 64);
        checkLines(std::vector<std::string>(pieces.begin() + 1, pieces.end()));
    }
    return 0;
}
