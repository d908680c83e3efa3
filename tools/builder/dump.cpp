// Writing a block back in the configuration-file format.
#include <cstdio>

#include "builder.h"
#include "resources.h"
#include "files/paths.h"
#include "launcher/config_ids.h"

namespace builder {

namespace {

bool isBlankByte(char c) { return c == ' ' || c == '\t'; }

void appendHex(std::string& out, const char* prefix, unsigned value, int digits) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%s%0*X", prefix, digits, value);
    out += buf;
}

// Escapes shared by narrow and wide values; false when c needs a form of its own.
bool appendAsciiEscaped(std::string& out, uint32_t c) {
    switch (c) {
        case '\\': out += "\\\\"; return true;
        case '"': out += "\\\""; return true;
        case '\n': out += "\\n"; return true;
        case '\r': out += "\\r"; return true;
        case '\t': out += "\\t"; return true;
        default: break;
    }
    if (c < 0x20 || c == 0x7F) {
        appendHex(out, "\\x", c, 2);
        return true;
    }
    if (c < 0x7F) {
        out += static_cast<char>(c);
        return true;
    }
    return false;
}

template <typename Str>
bool plainWritable(const Str& value) {
    if (value.empty() || value[0] == '"' || isBlankByte(static_cast<char>(value[0])) ||
        isBlankByte(static_cast<char>(value[value.size() - 1])))
        return false;
    for (auto c : value) {
        auto u = static_cast<uint32_t>(static_cast<typename std::make_unsigned<decltype(c)>::type>(c));
        if (u < 0x20 || u >= 0x7F) return false;
    }
    return true;
}

// A UTF-8 host path in a [files] line.
std::string formatPath(const std::string& path) {
    bool plain = !path.empty() && path[0] != '"' && !isBlankByte(path[0]) && !isBlankByte(path.back());
    for (unsigned char c : path)
        if (c < 0x20 || c == 0x7F) plain = false;
    if (plain) return path;
    std::string out = "\"";
    for (unsigned char c : path) {
        if (c >= 0x80)
            out += static_cast<char>(c);
        else if ((c < 0x20 && c != '\n' && c != '\r' && c != '\t') || c == 0x7F)
            appendHex(out, "\\u", c, 4);  // a path takes characters, not the raw bytes of \xHH
        else
            appendAsciiEscaped(out, c);
    }
    return out + "\"";
}

std::string formatLangKey(const std::string& key) {
    bool plain = plainWritable(key);
    for (char c : key)
        if (c == ']' || c == ' ' || c == '\t') plain = false;
    if (plain) return key;
    std::string out = "\"";
    for (unsigned char c : key) {
        if (c == ']') {
            out += "\\x5D";  // keeps the section header's closing bracket unambiguous
        } else if (!appendAsciiEscaped(out, c)) {
            uint32_t cp = cp1252ToUnicode(c);
            if (cp == c && c < 0xA0)
                appendHex(out, "\\x", c, 2);
            else
                appendUtf8(out, cp);
        }
    }
    return out + "\"";
}

std::string settingName(int32_t id, const std::string& value, std::string* note) {
    const ConfigIdInfo* info = findConfigId(id);
    if (!info) return std::to_string(id);
    std::string error;
    if (!checkSettingValue(id, value, error)) {
        if (note) *note = "# " + error + "; written by id\n";
        return std::to_string(id);
    }
    return info->name;
}

std::string wideName(int32_t id) {
    const ConfigIdInfo* info = findConfigId(id);
    return info ? std::string(info->name) : std::to_string(id);
}

std::string storedNameToHost(const std::string& stored, bool slashes) {
    std::string out;
    for (unsigned char c : stored) {
        if (c == '\\')
            out += slashes ? '/' : '\\';
        else
            appendUtf8(out, cp1252ToUnicode(c));
    }
    return out;
}

uint64_t le64(const std::string& data, uint64_t pos) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[pos + i]);
    return v;
}

const std::string* findString(const BlockData& block, int32_t id) {
    const std::string* found = nullptr;
    for (const StringEntry& e : block.strings)
        if (e.id == id) found = &e.value;
    return found;
}

// The appended files as this builder writes them: FILE_COUNT names in
// FILE_LIST and exactly that many entries up to the end of the file.
// The certificate table (Authenticode signature) of a PE32+ image: the security entry
// of the data directories gives its file offset and size. False when there is none
// or it does not end the file, as signing tools write it.
bool certificateTable(const std::string& image, uint64_t& offset, uint64_t& size) {
    pe::PeHeaders headers;
    if (pe::readPeHeaders(image, &headers) != pe::PeStatus::Ok || headers.optionalMagic != pe::kPe32PlusMagic)
        return false;
    const uint64_t o = headers.optionalOffset;
    const uint64_t security = o + pe::kDirectoriesField + pe::kDirectorySize * pe::kCertificateDirectory;
    if (security + pe::kDirectorySize > image.size() ||
        pe::readLe(image, o + pe::kDirectoryCountField, 4) <= pe::kCertificateDirectory)
        return false;
    offset = pe::readLe(image, security, 4);
    size = pe::readLe(image, security + 4, 4);
    return size > 0 && offset <= image.size() && size == image.size() - offset;
}

bool findAppendedFiles(const std::string& image, uint64_t end, const BlockData& block,
                       std::vector<std::pair<std::string, std::pair<uint64_t, uint64_t>>>& files) {
    files.clear();
    const std::string* countText = findString(block, CFG_FILE_COUNT);
    const std::string* listText = findString(block, CFG_FILE_LIST);
    if (!countText || !listText || countText->empty()) return false;
    std::string error;
    if (!checkSettingValue(CFG_FILE_COUNT, *countText, error)) return false;
    long long count = std::stoll(*countText);
    if (count <= 0) return false;
    // Empty names are kept: each one is a file whose count must match the stored count.
    std::vector<std::string> names = splitList(*listText, EmptyItems::Keep);
    if (static_cast<long long>(names.size()) != count) return false;
    uint64_t pos = end;
    for (const std::string& name : names) {
        std::string stored;
        if (!checkAppendedName(storedNameToHost(name, false), stored, error) || stored != name) return false;
        if (image.size() - pos < 8) return false;
        uint64_t length = le64(image, pos);
        pos += 8;
        if (length > image.size() - pos) return false;
        files.push_back({name, {pos, length}});
        pos += length;
    }
    return pos == image.size();
}

}  // namespace

std::string formatNarrowValue(const std::string& value, bool utf8) {
    if (plainWritable(value)) return value;
    std::string out = "\"";
    std::vector<uint32_t> cps;
    if (utf8 && decodeUtf8(value, cps)) {
        for (uint32_t cp : cps)
            if (!appendAsciiEscaped(out, cp)) cp < 0xA0 ? appendHex(out, "\\u", cp, 4) : appendUtf8(out, cp);
        return out + "\"";
    }
    for (unsigned char c : value) {
        if (appendAsciiEscaped(out, c)) continue;
        uint32_t cp = cp1252ToUnicode(c);
        if (cp < 0xA0)  // a byte without a character of its own
            appendHex(out, "\\x", c, 2);
        else
            appendUtf8(out, cp);
    }
    return out + "\"";
}

std::string formatWideValue(const std::u16string& value) {
    if (plainWritable(value)) return value.empty() ? std::string() : std::string(value.begin(), value.end());
    std::string out = "\"";
    for (size_t i = 0; i < value.size(); ++i) {
        uint32_t c = value[i];
        if (appendAsciiEscaped(out, c)) continue;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < value.size() && value[i + 1] >= 0xDC00 && value[i + 1] <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((c - 0xD800) << 10) + (value[i + 1] - 0xDC00));
            ++i;
        } else if ((c >= 0xD800 && c <= 0xDFFF) || c < 0xA0) {
            appendHex(out, "\\u", c, 4);
        } else {
            appendUtf8(out, c);
        }
    }
    return out + "\"";
}

std::string dumpBlock(const BlockData& block, const std::vector<AppendedFile>& files, bool filesNotExtracted,
                      bool utf8, bool codePageKey, bool ansiKey) {
    std::string out;
    if (block.reserved1 || block.reserved2) {
        out += "# The reserved words of this block are " + std::to_string(block.reserved1) + " and " +
               std::to_string(block.reserved2) + "; a rebuild writes 0.\n";
    }
    if (block.oddWideLengths) {
        out += "# " + std::to_string(block.oddWideLengths) +
               " wide string(s) of this block have an odd byte length; the launcher drops the last byte of each, "
               "and so does a rebuild.\n";
    }
    bool sorted = true;
    for (size_t i = 1; i < block.strings.size(); ++i)
        if (block.strings[i - 1].id >= block.strings[i].id) sorted = false;
    if (!sorted) out += "# The entries of this block are not in ascending id order or repeat an id; a rebuild sorts them and keeps the last value.\n";
    for (int32_t id = 0; id < 20000; ++id) {
        if (defaultValue(id) && !findString(block, id)) {
            out += "# Id " + std::to_string(id) + " is absent from this block; a rebuild adds its default value.\n";
        }
    }

    for (const StringEntry& e : block.strings) {
        const bool fileSetting = e.id == CFG_FILE_COUNT || e.id == CFG_FILE_LIST;
        if (!files.empty() && fileSetting) continue;
        std::string note;
        std::string name = settingName(e.id, e.value, &note);
        out += note;
        if (filesNotExtracted && fileSetting) out += "# ";
        out += name + " = " + formatNarrowValue(e.value, utf8) + "\n";
    }
    if (!block.wides.empty()) {
        out += "\n[wide]\n";
        for (const WideEntry& e : block.wides) out += wideName(e.id) + " = " + formatWideValue(e.value) + "\n";
    }
    for (const LanguageSet& set : block.sets) {
        out += set.key.empty() ? "\n[lang]\n"
                               : "\n[lang " + (utf8 ? formatNarrowValue(set.key, true) : formatLangKey(set.key)) + "]\n";
        for (const WideEntry& e : set.entries) out += wideName(e.id) + " = " + formatWideValue(e.value) + "\n";
    }
    if (utf8 && codePageKey) out += "\n[resources]\nUTF8_CODE_PAGE = 1\n";
    if (!utf8 && ansiKey) out += "\n[resources]\nUTF8_CODE_PAGE = 0\n";
    if (!files.empty()) {
        out += "\n[files]\n";
        for (const AppendedFile& f : files) out += storedNameToHost(f.name, false) + " = " + formatPath(f.path) + "\n";
    }
    return out;
}

bool dumpExecutable(const std::string& exePath, const std::string& extractDir, std::string& text,
                    std::string& error) {
    std::string image;
    if (!readWholeFile(exePath, image, error)) return false;
    uint64_t start = 0, end = 0;
    std::string message;
    BlockData block;
    if (!findBlockStart(image, start, message) || !decodeBlock(image, start, block, end, message)) {
        error = exePath + ": " + message;
        return false;
    }

    // With the UTF-8 code page selected by the manifest, the narrow strings are UTF-8;
    // the appended files' names are looked up in their Windows-1252 form.
    ResourceTree tree;
    const ResourceEntry* manifest = nullptr;
    if (readResources(image, tree, message))
        manifest = findResource(tree, ResourceName::id(kResManifest), ResourceName::id(1));
    const bool utf8 = manifest && manifestSelectsUtf8(manifest->data);
    BlockData lookup = block;
    for (StringEntry& e : lookup.strings) {
        std::vector<uint32_t> cps;
        if (!utf8 || e.id != CFG_FILE_LIST || !decodeUtf8(e.value, cps)) continue;
        std::string narrow;
        unsigned char byte;
        for (uint32_t cp : cps) narrow += unicodeToCp1252(cp, byte) ? static_cast<char>(byte) : '?';
        e.value = narrow;
    }

    std::string shownPath = exePath;  // a comment line must stay one line
    for (char& c : shownPath)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    std::string header = "# Configuration block of " + shownPath + " (written by tovex-build --dump)\n";
    uint64_t certificateOffset = 0, certificateSize = 0;
    if (certificateTable(image, certificateOffset, certificateSize) && certificateOffset >= end) {
        header += "# The executable is signed: its certificate table (" + std::to_string(certificateSize) +
                  " bytes at offset " + std::to_string(certificateOffset) +
                  ") ends the file. A rebuild from this dump is unsigned.\n";
        // Signing tools pad the data before the table with zeros to a multiple of 8 bytes.
        uint64_t cut = certificateOffset;
        std::vector<std::pair<std::string, std::pair<uint64_t, uint64_t>>> probe;
        for (uint64_t pad = 0; pad < 8 && pad <= certificateOffset - end; ++pad) {
            std::string body = image.substr(0, certificateOffset - pad);
            if (body.compare(end, std::string::npos, blockTrailer(end)) == 0 ||
                findAppendedFiles(body, end, lookup, probe)) {
                cut = certificateOffset - pad;
                break;
            }
            if (pad == certificateOffset - end || image[certificateOffset - pad - 1] != '\0') break;
        }
        image.resize(cut);
    }
    std::vector<AppendedFile> listed;
    bool notExtracted = false;
    std::vector<std::pair<std::string, std::pair<uint64_t, uint64_t>>> files;
    if (image.compare(end, std::string::npos, blockTrailer(end)) == 0) {
        // no appended files: the block is followed by the trailer and padding
    } else if (findAppendedFiles(image, end, lookup, files)) {
        if (extractDir.empty()) {
            header += "# " + std::to_string(files.size()) +
                      " appended files follow the block (FILE_COUNT and FILE_LIST below); --extract DIR writes them out\n";
            header += "# and lists them in a [files] section, so that the dump rebuilds the same executable.\n";
            notExtracted = true;
        } else {
            if (!makeDirectory(extractDir, error)) return false;
            for (const auto& f : files) {
                std::string hostName = storedNameToHost(f.first, true);
                size_t slash = hostName.find('/');
                if (slash != std::string::npos && !makeDirectory(joinPath(extractDir, hostName.substr(0, slash)), error))
                    return false;
                std::string content = image.substr(f.second.first, f.second.second);
                for (char& c : content) c = static_cast<char>(static_cast<unsigned char>(c) ^ kScrambleByte);
                std::string path = joinPath(absolutePath(extractDir), hostName);
                if (!writeWholeFile(path, content, error)) return false;
                AppendedFile a;
                a.name = f.first;
                a.path = path;
                listed.push_back(a);
            }
        }
    } else {
        header += "# " + std::to_string(image.size() - end) +
                  " bytes follow the block that are neither the trailer nor appended files as listed in FILE_LIST.\n";
    }
    // The launcher stub's own manifest selects the UTF-8 code page: a rebuild with that
    // stub needs no key for it (and keeps the stub's manifest, byte for byte).
    const bool stubManifest =
        manifest && manifest->data.find("<description>tovex Java application launcher</description>") != std::string::npos;
    // A manifest that does not select it: the key says so, since the default follows the stub.
    text = header + "\n" + dumpBlock(block, listed, notExtracted, utf8, !stubManifest, manifest != nullptr);
    return true;
}

}  // namespace builder
