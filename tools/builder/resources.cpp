// The [resources] section: its keys, the icon, splash, version and manifest
// resources made from them.
#include "resources.h"

#include "launcher/config_ids.h"

#include <cctype>

#include "launcher/resource_ids.h"
#include "xml_check.h"

namespace builder {

namespace {

enum class KeyKind { Path, Version, Text, Choice, Flag };

struct ResourceKey {
    const char* name;
    KeyKind kind;
    const char* versionKey;  // the VS_VERSIONINFO string, for Version and Text keys
    const char* choices[4];  // for Choice keys, the first one is the default
};

// Every key of the [resources] section.
const ResourceKey kResourceKeys[] = {
    {"ICON", KeyKind::Path, nullptr, {}},
    {"SPLASH_IMAGE", KeyKind::Path, nullptr, {}},
    {"MANIFEST", KeyKind::Path, nullptr, {}},
    {"FILE_VERSION", KeyKind::Version, "FileVersion", {}},
    {"PRODUCT_VERSION", KeyKind::Version, "ProductVersion", {}},
    {"COMPANY_NAME", KeyKind::Text, "CompanyName", {}},
    {"FILE_DESCRIPTION", KeyKind::Text, "FileDescription", {}},
    {"PRODUCT_NAME", KeyKind::Text, "ProductName", {}},
    {"LEGAL_COPYRIGHT", KeyKind::Text, "LegalCopyright", {}},
    {"INTERNAL_NAME", KeyKind::Text, "InternalName", {}},
    {"ORIGINAL_FILENAME", KeyKind::Text, "OriginalFilename", {}},
    {"COMMENTS", KeyKind::Text, "Comments", {}},
    {"EXECUTION_LEVEL", KeyKind::Choice, nullptr, {"asInvoker", "highestAvailable", "requireAdministrator", nullptr}},
    {"DPI_AWARENESS", KeyKind::Choice, nullptr, {"PerMonitorV2", "system", "unaware", nullptr}},
    {"LONG_PATHS", KeyKind::Flag, nullptr, {}},
    {"UTF8_CODE_PAGE", KeyKind::Flag, nullptr, {}},
};

// The version strings in the order they are written.
const char* const kVersionOrder[] = {"COMPANY_NAME",     "FILE_DESCRIPTION", "FILE_VERSION",     "INTERNAL_NAME",
                                     "LEGAL_COPYRIGHT",  "ORIGINAL_FILENAME", "PRODUCT_NAME",    "PRODUCT_VERSION",
                                     "COMMENTS"};
const char* const kManifestKeys[] = {"EXECUTION_LEVEL", "DPI_AWARENESS", "LONG_PATHS", "UTF8_CODE_PAGE"};
constexpr size_t kMaxVersionText = 1024;  // characters of one version string

const ResourceKey* findKey(const std::string& name) {
    for (const ResourceKey& k : kResourceKeys)
        if (name == k.name) return &k;
    return nullptr;
}

std::string knownKeys() {
    std::string s;
    for (const ResourceKey& k : kResourceKeys) s += std::string(s.empty() ? "" : ", ") + k.name;
    return s;
}

uint32_t le(const Bytes& d, size_t pos, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(d[pos + i]);
    return v;
}
void append(Bytes& d, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) d += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void pad4(Bytes& d) {
    while (d.size() % 4) d += '\0';
}
void appendWide(Bytes& d, const std::u16string& s) {
    for (char16_t c : s) append(d, c, 2);
    append(d, 0, 2);
}
std::u16string ascii16(const char* s) {
    std::u16string out;
    for (; *s; ++s) out += static_cast<char16_t>(*s);
    return out;
}

bool isPng(const Bytes& d) { return d.size() >= 8 && d.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) == 0; }

bool has(const ResourceInput& in, const char* key) { return in.lines.count(key) != 0; }

bool fail(std::string& error, const std::string& origin, const std::string& message) {
    error = origin + ": " + message;
    return false;
}

// One node of VS_VERSIONINFO: length, value length, type, key, value, children.
Bytes versionNode(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t valueLength,
                  const std::vector<Bytes>& children) {
    Bytes n;
    append(n, 0, 2);
    append(n, valueLength, 2);
    append(n, type, 2);
    appendWide(n, key);
    pad4(n);
    n += value;
    for (const Bytes& c : children) {
        pad4(n);
        n += c;
    }
    n[0] = static_cast<char>(n.size() & 0xFF);
    n[1] = static_cast<char>((n.size() >> 8) & 0xFF);
    return n;
}

}  // namespace

// ---- Parsing the section ----------------------------------------------------------------

bool parseVersionNumbers(const std::string& text, uint16_t parts[4], std::string& error) {
    for (int k = 0; k < 4; ++k) parts[k] = 0;
    int count = 0;
    size_t b = 0;
    for (;;) {
        size_t dot = text.find('.', b);
        std::string part = text.substr(b, dot == std::string::npos ? std::string::npos : dot - b);
        bool digits = !part.empty() && part.size() <= 5;
        for (char c : part) digits = digits && c >= '0' && c <= '9';
        if (!digits || std::stoul(part) > 65535 || count == 4) {
            error = "not a version: \"" + text + "\" (one to four numbers 0..65535 separated by dots are expected)";
            return false;
        }
        parts[count++] = static_cast<uint16_t>(std::stoul(part));
        if (dot == std::string::npos) return true;
        b = dot + 1;
    }
}

namespace {

std::string unknownKeyMessage(const std::string& name) {
    std::string near = closestName(name, resourceKeyNames());
    if (!near.empty()) return "unknown resource key " + name + "; did you mean " + near + "?";
    if (findConfigIdByName(name.compare(0, 4, "CFG_") == 0 ? name.c_str() + 4 : name.c_str()))
        return name + " is a setting, not a resource key: write it above the [resources] section";
    return "unknown resource key " + name + " (known: " + knownKeys() + ")";
}

// The value as UTF-8 and UTF-16 text: raw bytes, lone surrogates and NUL have no place in it.
bool resourceText(const std::vector<TextUnit>& units, ResourceLine& line, std::string& error) {
    for (const TextUnit& u : units) {
        if (u.kind == TextUnit::RawByte) {
            error = "\\xHH is not allowed in [resources]";
            return false;
        }
        if (u.value >= 0xD800 && u.value < 0xE000) {
            error = "a lone surrogate is not allowed in [resources]";
            return false;
        }
        if (u.value == 0) {  // it would end a file name or a text early
            error = "a NUL character is not allowed in [resources]";
            return false;
        }
        appendUtf8(line.value, u.value);
    }
    line.wide = unitsToWide(units);
    return true;
}

bool checkChoice(const ResourceKey& key, const std::string& name, const std::string& value, std::string& error) {
    std::string list;
    for (const char* c : key.choices) {
        if (!c) break;
        if (value == c) return true;
        list += std::string(list.empty() ? "" : ", ") + c;
    }
    error = name + ": \"" + value + "\" is not one of " + list;
    return false;
}

// Checks the value against the form of its key; a relative path is made absolute against baseDir.
bool checkResourceValue(const ResourceKey& key, const std::string& name, const std::string& baseDir,
                        ResourceLine& line, std::string& error) {
    const std::string& v = line.value;
    switch (key.kind) {
        case KeyKind::Path:
            if (v.empty()) {
                error = name + ": a file name is expected";
                return false;
            }
            if (!isAbsolutePath(v)) line.value = joinPath(baseDir, v);
            return true;
        case KeyKind::Version: {
            uint16_t parts[4];
            if (parseVersionNumbers(v, parts, error)) return true;
            error = name + ": " + error;
            return false;
        }
        case KeyKind::Text:
            if (line.wide.size() <= kMaxVersionText) return true;
            error = name + ": at most " + std::to_string(kMaxVersionText) + " characters";
            return false;
        case KeyKind::Choice:
            return checkChoice(key, name, v, error);
        case KeyKind::Flag:
            if (v == "0" || v == "1") return true;
            error = name + ": 1 or 0 is expected, not \"" + v + "\"";
            return false;
    }
    return true;
}

// MANIFEST is taken as it is: the keys of the generated manifest do not go with it.
bool checkManifestCombination(const std::string& name, const ResourceInput& input, std::string& error) {
    bool isManifestKey = false;
    for (const char* k : kManifestKeys) isManifestKey = isManifestKey || name == k;
    for (const char* k : kManifestKeys) {
        const char* other = name == "MANIFEST" ? k : isManifestKey ? "MANIFEST" : nullptr;
        auto it = other ? input.lines.find(other) : input.lines.end();
        if (it != input.lines.end()) {
            error = std::string("MANIFEST is taken as it is and cannot be combined with ") +
                    (name == "MANIFEST" ? std::string(k) : name) + " (given at " + it->second.origin + ")";
            return false;
        }
    }
    return true;
}

}  // namespace

bool parseResourceLine(const std::string& name, const std::vector<TextUnit>& units, const std::string& origin,
                       const std::string& baseDir, ResourceInput& input, std::string& error) {
    const ResourceKey* key = findKey(name);
    if (!key) {
        error = unknownKeyMessage(name);
        return false;
    }
    ResourceLine line;
    line.origin = origin;
    if (!resourceText(units, line, error) || !checkResourceValue(*key, name, baseDir, line, error) ||
        !checkManifestCombination(name, input, error))
        return false;
    input.lines[name] = std::move(line);
    return true;
}

std::vector<std::string> resourceKeyNames() {
    std::vector<std::string> names;
    for (const ResourceKey& k : kResourceKeys) names.push_back(k.name);
    return names;
}

bool finishResourceInput(ResourceInput& input, std::string& error) {
    // UTF8_CODE_PAGE decides; without it the manifest that the executable will carry
    // (MANIFEST, else the stub's own) decides.
    auto flag = input.lines.find("UTF8_CODE_PAGE");
    input.utf8 = flag != input.lines.end() ? flag->second.value == "1" : input.stubUtf8;
    auto manifest = input.lines.find("MANIFEST");
    if (manifest == input.lines.end()) return true;
    const ResourceLine& line = manifest->second;
    std::string text, message;
    if (!readWholeFile(line.value, text, message)) return fail(error, line.origin, message);
    std::vector<uint32_t> cps;
    if (!decodeUtf8(text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? text.substr(3) : text, cps))
        return fail(error, line.origin, line.value + ": not UTF-8 text");
    if (!checkManifestXml(text, message)) return fail(error, line.origin, line.value + ": " + message);
    input.manifestText = text;
    input.utf8 = manifestSelectsUtf8(text);
    return true;
}

// ---- Pieces --------------------------------------------------------------------------------

bool readIconFile(const Bytes& file, std::vector<IconImage>& images, std::string& error) {
    images.clear();
    if (isPng(file)) {
        int w = 0, h = 0;
        if (!imageSize(file, w, h, error)) return false;
        if (w < 1 || h < 1 || w > 256 || h > 256) {
            error = "a PNG icon is 1 to 256 pixels wide and high, not " + std::to_string(w) + "x" + std::to_string(h);
            return false;
        }
        IconImage image;
        image.width = static_cast<uint8_t>(w & 0xFF);
        image.height = static_cast<uint8_t>(h & 0xFF);
        image.data = file;
        images.push_back(image);
        return true;
    }
    if (file.size() < 6 || le(file, 0, 2) != 0 || le(file, 2, 2) != 1) {
        error = file.size() < 6 ? "not an icon: the file is shorter than an icon header"
                                : "not an .ico file or a PNG image";
        return false;
    }
    uint32_t count = le(file, 4, 2);
    if (count == 0) {
        error = "the icon file holds no images";
        return false;
    }
    if (6 + 16ull * count > file.size()) {
        error = "the icon file is cut off: its directory of " + std::to_string(count) + " images needs " +
                std::to_string(6 + 16ull * count) + " bytes, the file has " + std::to_string(file.size());
        return false;
    }
    for (uint32_t i = 0; i < count; ++i) {
        size_t e = 6 + 16 * i;
        uint32_t size = le(file, e + 8, 4), offset = le(file, e + 12, 4);
        std::string which = "image " + std::to_string(i + 1);
        if (size == 0 || static_cast<uint64_t>(offset) + size > file.size()) {
            error = "the icon file is cut off: " + which + " (" + std::to_string(size) + " bytes at offset " +
                    std::to_string(offset) + ") lies beyond its end (" + std::to_string(file.size()) + " bytes)";
            return false;
        }
        IconImage image;
        image.width = static_cast<uint8_t>(file[e]);
        image.height = static_cast<uint8_t>(file[e + 1]);
        image.colorCount = static_cast<uint8_t>(file[e + 2]);
        image.planes = static_cast<uint16_t>(le(file, e + 4, 2));
        image.bitCount = static_cast<uint16_t>(le(file, e + 6, 2));
        image.data = file.substr(offset, size);
        if (isPng(image.data)) {
            if (!image.bitCount) image.bitCount = 32;
        } else if (size >= 40 && (le(image.data, 0, 4) == 40 || le(image.data, 0, 4) == 108 ||
                                  le(image.data, 0, 4) == 124)) {
            if (!image.bitCount) image.bitCount = static_cast<uint16_t>(le(image.data, 14, 2));
        } else {
            error = which + " of the icon file is neither a bitmap nor a PNG";
            return false;
        }
        if (!image.planes) image.planes = 1;
        images.push_back(image);
    }
    return true;
}

Bytes splashBitmap(int width, int height, const std::vector<unsigned char>& rgba) {
    const size_t row = (static_cast<size_t>(width) * 3 + 3) & ~static_cast<size_t>(3);
    Bytes out;
    append(out, 40, 4);
    append(out, static_cast<uint32_t>(width), 4);
    append(out, static_cast<uint32_t>(height), 4);  // positive: bottom-up
    append(out, 1, 2);
    append(out, 24, 2);
    append(out, 0, 4);  // BI_RGB
    append(out, static_cast<uint32_t>(row * height), 4);
    append(out, 0, 4);
    append(out, 0, 4);
    append(out, 0, 4);
    append(out, 0, 4);
    const unsigned grey = resource_ids::kSplashGrey;
    size_t at = out.size();
    out.resize(at + row * height, '\0');
    for (int y = 0; y < height; ++y) {
        char* dst = &out[at + row * static_cast<size_t>(height - 1 - y)];
        const unsigned char* src = &rgba[static_cast<size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x, src += 4) {
            unsigned a = src[3];
            for (int c = 2; c >= 0; --c) *dst++ = static_cast<char>((src[c] * a + grey * (255 - a) + 127) / 255);
        }
    }
    return out;
}

bool splashBitmapOf(const Bytes& file, Bytes& bitmap, int& width, int& height, std::string& error) {
    if (!imageSize(file, width, height, error)) return false;
    if (width < 1 || height < 1 || width > kMaxSplashSide || height > kMaxSplashSide) {
        error = "a splash image is 1 to " + std::to_string(kMaxSplashSide) + " pixels wide and high, not " +
                std::to_string(width) + "x" + std::to_string(height);
        return false;
    }
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    if (!decodeImage(file, w, h, rgba, error)) return false;
    if (w != width || h != height) {  // the size checked above is the size decoded
        error = "the image's header says " + std::to_string(width) + "x" + std::to_string(height) + ", its data " +
                std::to_string(w) + "x" + std::to_string(h);
        return false;
    }
    bitmap = splashBitmap(width, height, rgba);
    return true;
}

Bytes versionResource(const VersionStrings& version) {
    Bytes fixed;
    append(fixed, 0xFEEF04BDu, 4);
    append(fixed, 0x00010000u, 4);
    append(fixed, static_cast<uint32_t>(version.fileVersion[0]) << 16 | version.fileVersion[1], 4);
    append(fixed, static_cast<uint32_t>(version.fileVersion[2]) << 16 | version.fileVersion[3], 4);
    append(fixed, static_cast<uint32_t>(version.productVersion[0]) << 16 | version.productVersion[1], 4);
    append(fixed, static_cast<uint32_t>(version.productVersion[2]) << 16 | version.productVersion[3], 4);
    append(fixed, 0x3F, 4);       // file flags mask
    append(fixed, 0, 4);          // file flags
    append(fixed, 0x00040004, 4);  // VOS_NT_WINDOWS32
    append(fixed, 1, 4);          // VFT_APP
    append(fixed, 0, 4);          // subtype
    append(fixed, 0, 4);          // file date: none (reproducible)
    append(fixed, 0, 4);
    std::vector<Bytes> strings;
    for (const auto& kv : version.strings) {
        Bytes value;
        appendWide(value, kv.second);
        strings.push_back(versionNode(kv.first, 1, value, static_cast<uint16_t>(kv.second.size() + 1), {}));
    }
    Bytes table = versionNode(u"040904B0", 1, Bytes(), 0, strings);
    Bytes stringInfo = versionNode(u"StringFileInfo", 1, Bytes(), 0, {table});
    Bytes translation;
    append(translation, kLangEnglishUs, 2);
    append(translation, 1200, 2);
    Bytes var = versionNode(u"Translation", 0, translation, 4, {});
    Bytes varInfo = versionNode(u"VarFileInfo", 1, Bytes(), 0, {var});
    return versionNode(u"VS_VERSION_INFO", 0, fixed, static_cast<uint16_t>(fixed.size()), {stringInfo, varInfo});
}

std::string generateManifest(const ManifestOptions& o) {
    std::string dpiAware = o.dpiAwareness == "unaware" ? "false" : "true";
    std::string dpiAwareness = o.dpiAwareness == "PerMonitorV2" ? "PerMonitorV2, system" : o.dpiAwareness;
    std::string m =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "  <assemblyIdentity type=\"win32\" name=\"tovex.launcher\" version=\"1.0.0.0\" processorArchitecture=\"amd64\"/>\r\n"
        "  <trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
        "    <security>\r\n"
        "      <requestedPrivileges>\r\n"
        "        <requestedExecutionLevel level=\"" + o.executionLevel + "\" uiAccess=\"false\"/>\r\n"
        "      </requestedPrivileges>\r\n"
        "    </security>\r\n"
        "  </trustInfo>\r\n"
        "  <dependency>\r\n"
        "    <dependentAssembly>\r\n"
        "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" "
        "processorArchitecture=\"amd64\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\r\n"
        "    </dependentAssembly>\r\n"
        "  </dependency>\r\n"
        "  <application xmlns=\"urn:schemas-microsoft-com:asm.v3\">\r\n"
        "    <windowsSettings>\r\n"
        "      <dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">" + dpiAware + "</dpiAware>\r\n"
        "      <dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">" + dpiAwareness +
        "</dpiAwareness>\r\n";
    if (o.longPaths)
        m += "      <longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>\r\n";
    if (o.utf8CodePage)
        m += "      <activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>\r\n";
    m +=
        "    </windowsSettings>\r\n"
        "  </application>\r\n"
        "  <compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">\r\n"
        "    <application>\r\n"
        "      <supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>\r\n"  // Windows 7
        "      <supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>\r\n"  // Windows 8
        "      <supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>\r\n"  // Windows 8.1
        "      <supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>\r\n"  // Windows 10 and 11
        "    </application>\r\n"
        "  </compatibility>\r\n"
        "</assembly>\r\n";
    return m;
}

bool checkManifestXml(const std::string& xml, std::string& error) {
    std::string root;
    if (!checkWellFormedXml(xml, root, error)) return false;
    size_t colon = root.find(':');
    if ((colon == std::string::npos ? root : root.substr(colon + 1)) != "assembly") {
        error = "the root element is <" + root + ">, a manifest's is <assembly>";
        return false;
    }
    return true;
}

bool manifestSelectsUtf8(const std::string& xml) {
    for (size_t at = xml.find("activeCodePage"); at != std::string::npos; at = xml.find("activeCodePage", at + 1)) {
        if (at == 0 || (xml[at - 1] != '<' && xml[at - 1] != ':')) continue;
        size_t close = xml.find('>', at);
        if (close == std::string::npos || xml[close - 1] == '/') continue;
        size_t end = xml.find('<', close);
        if (end == std::string::npos) continue;
        std::string value;
        for (size_t k = close + 1; k < end; ++k)
            if (!isXmlSpace(xml[k])) value += static_cast<char>(std::toupper(static_cast<unsigned char>(xml[k])));
        if (value == "UTF-8") return true;
    }
    return false;
}

// ---- The whole section -------------------------------------------------------------------------

namespace {

const ResourceLine& lineOf(const ResourceInput& input, const char* key) { return input.lines.at(key); }

bool addIcon(const ResourceLine& line, ResourceSet& set, std::string& error) {
    Bytes file;
    std::string message;
    if (!readWholeFile(line.value, file, message)) return fail(error, line.origin, message);
    if (!readIconFile(file, set.icons, message)) return fail(error, line.origin, line.value + ": " + message);
    set.iconGroups.push_back(ResourceName::id(resource_ids::kAppIconGroup));
    set.iconGroups.push_back(ResourceName::named(ascii16(resource_ids::kSplashIconName)));
    return true;
}

// The splash bitmap and the image file as it is.
bool addSplash(const ResourceLine& line, ResourceSet& set, int& width, int& height, std::string& error) {
    Bytes file;
    std::string message;
    if (!readWholeFile(line.value, file, message)) return fail(error, line.origin, message);
    ResourceEntry bitmap;
    if (!splashBitmapOf(file, bitmap.data, width, height, message))
        return fail(error, line.origin, line.value + ": " + message);
    bitmap.type = ResourceName::id(kResBitmap);
    bitmap.name = ResourceName::id(resource_ids::kSplashBitmap);
    ResourceEntry raw;
    raw.type = ResourceName::id(kResRcData);
    raw.name = ResourceName::id(resource_ids::kSplashImage);
    raw.data = file;
    set.replace.push_back(bitmap);
    set.replace.push_back(raw);
    return true;
}

std::u16string wideOfUtf8(const std::string& text) {
    std::vector<uint32_t> cps;
    decodeUtf8(text, cps);
    std::vector<TextUnit> units;
    for (uint32_t cp : cps) units.push_back({TextUnit::CodePoint, cp});
    return unitsToWide(units);
}

// The version numbers and strings: ORIGINAL_FILENAME defaults to the output's name,
// PRODUCT_VERSION to FILE_VERSION, FILE_VERSION to 0.0.0.0.
VersionStrings versionOf(const ResourceInput& input, const std::string& outputName) {
    VersionStrings version;
    std::string message;
    std::string fileText = has(input, "FILE_VERSION") ? lineOf(input, "FILE_VERSION").value : "0.0.0.0";
    std::string productText = has(input, "PRODUCT_VERSION") ? lineOf(input, "PRODUCT_VERSION").value : fileText;
    parseVersionNumbers(fileText, version.fileVersion, message);
    parseVersionNumbers(productText, version.productVersion, message);
    for (const char* key : kVersionOrder) {
        const std::string k = key;
        std::u16string value;
        if (has(input, key)) {
            value = lineOf(input, key).wide;
        } else if (k == "ORIGINAL_FILENAME") {
            value = wideOfUtf8(outputName);
        } else if (k == "FILE_VERSION" || k == "PRODUCT_VERSION") {
            value = ascii16((k == "FILE_VERSION" ? fileText : productText).c_str());
        } else {
            continue;
        }
        version.strings.push_back({ascii16(findKey(key)->versionKey), value});
    }
    return version;
}

// MANIFEST as it is, else the manifest generated from the manifest keys.
std::string manifestOf(const ResourceInput& input) {
    if (has(input, "MANIFEST")) return input.manifestText;
    ManifestOptions options;
    if (has(input, "EXECUTION_LEVEL")) options.executionLevel = lineOf(input, "EXECUTION_LEVEL").value;
    if (has(input, "DPI_AWARENESS")) options.dpiAwareness = lineOf(input, "DPI_AWARENESS").value;
    options.longPaths = has(input, "LONG_PATHS") && lineOf(input, "LONG_PATHS").value == "1";
    options.utf8CodePage = input.utf8;
    return generateManifest(options);
}

void addResource(ResourceSet& set, uint16_t type, uint16_t name, const Bytes& data) {
    ResourceEntry entry;
    entry.type = ResourceName::id(type);
    entry.name = ResourceName::id(name);
    entry.data = data;
    set.replace.push_back(entry);
}

}  // namespace

bool prepareResources(const ResourceInput& input, const std::string& outputName, ResourceSet& set, int& splashWidth,
                      int& splashHeight, std::string& error) {
    set = ResourceSet();
    splashWidth = splashHeight = 0;
    if (has(input, "ICON") && !addIcon(lineOf(input, "ICON"), set, error)) return false;
    int w = 0, h = 0;
    if (has(input, "SPLASH_IMAGE") && !addSplash(lineOf(input, "SPLASH_IMAGE"), set, w, h, error)) return false;
    splashWidth = w;
    splashHeight = h;
    bool anyVersion = false;
    for (const char* key : kVersionOrder) anyVersion = anyVersion || has(input, key);
    if (anyVersion) addResource(set, kResVersion, 1, versionResource(versionOf(input, outputName)));
    bool anyManifest = has(input, "MANIFEST");
    for (const char* key : kManifestKeys) anyManifest = anyManifest || has(input, key);
    if (anyManifest) addResource(set, kResManifest, resource_ids::kManifest, manifestOf(input));
    return true;
}

}  // namespace builder
