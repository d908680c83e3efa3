// PE32+ resource trees: reading, changing and writing them back into an image.
//
// Section layout of a written image. The launcher looks for its configuration
// block right after the raw data of the last entry of the section table, so
// the written resource section is always that last entry, and the raw data of
// all sections is laid out in table order (the last entry's data ends the
// image). When the stub's resource section is already the last one it is
// rewritten in place. When other sections follow it (the linker puts .reloc
// after .rsrc), those sections cannot move in memory: code reaches them at
// fixed addresses. So the new resources go into a new section appended after
// the highest address, and the old resource section keeps its address range as
// uninitialised memory without file data (".oldrsrc"): nothing points into it
// any more, the image's addresses stay contiguous, and its file bytes are gone.
#include "pe_resources.h"

#include "builder.h"
#include "launcher/pe_image.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace builder {

namespace {

struct TypeNameRow {
    uint16_t type;
    const char* name;
};
const TypeNameRow kTypeNames[] = {
    {1, "RT_CURSOR"},        {2, "RT_BITMAP"},    {3, "RT_ICON"},      {4, "RT_MENU"},
    {5, "RT_DIALOG"},        {6, "RT_STRING"},    {7, "RT_FONTDIR"},   {8, "RT_FONT"},
    {9, "RT_ACCELERATOR"},   {10, "RT_RCDATA"},   {11, "RT_MESSAGETABLE"}, {12, "RT_GROUP_CURSOR"},
    {14, "RT_GROUP_ICON"},   {16, "RT_VERSION"},  {17, "RT_DLGINCLUDE"}, {19, "RT_PLUGPLAY"},
    {20, "RT_VXD"},          {21, "RT_ANICURSOR"}, {22, "RT_ANIICON"}, {23, "RT_HTML"},
    {24, "RT_MANIFEST"},
};

constexpr int kDirResource = 2;
constexpr int kDirSecurity = 4;
constexpr int kDirDebug = 6;
constexpr int kDirBoundImport = 11;
constexpr uint32_t kScnCode = 0x20, kScnInitData = 0x40, kScnUninitData = 0x80;
constexpr uint32_t kScnMemRead = 0x40000000;
constexpr size_t kMaxResourceEntries = 100000;  // a bound for crafted trees

uint32_t get(const Bytes& d, uint64_t pos, int width) {
    uint32_t v = 0;
    for (int i = width - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(d[pos + i]);
    return v;
}
void put(Bytes& d, uint64_t pos, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) d[pos + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void append(Bytes& d, uint32_t v, int width) {
    for (int i = 0; i < width; ++i) d += static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint64_t alignUp(uint64_t v, uint64_t a) { return a ? (v + a - 1) / a * a : v; }
// The memory a section takes as the loader maps it (before alignment): its virtual
// size, or its raw size when the virtual size is 0. Raw data beyond it is not mapped.
uint64_t memorySize(const PeSection& s) { return s.virtualSize ? s.virtualSize : s.rawSize; }
bool powerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }

std::string hex(uint64_t v) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "0x%llX", static_cast<unsigned long long>(v));
    return buf;
}

// Where an RVA's bytes lie in the file: only within a section's raw data, as far as
// the loader maps it (raw data beyond the section's memory lies at no address).
bool rvaToOffset(const PeInfo& pe, const Bytes& image, uint32_t rva, uint32_t size, uint64_t& offset) {
    for (const PeSection& s : pe.sections) {
        if (rva < s.virtualAddress) continue;
        uint64_t rel = rva - s.virtualAddress;
        if (rel + size > std::min<uint64_t>(s.rawSize, alignUp(memorySize(s), pe.sectionAlignment))) continue;
        offset = s.rawOffset + rel;
        return offset + size <= image.size();
    }
    return false;
}

struct TreeReader {
    const Bytes& image;
    const PeInfo& pe;
    uint32_t base;  // RVA of the resource directory
    ResourceTree& tree;
    std::string& error;
    size_t seen = 0;
    uint64_t copied = 0;

    bool bytesAt(uint32_t rel, uint32_t size, uint64_t& offset) {
        if (rel > 0x7FFFFFFFu || !rvaToOffset(pe, image, base + rel, size, offset)) {
            error = "resource directory: offset " + hex(rel) + " lies outside the image";
            return false;
        }
        return true;
    }
    bool name(uint32_t field, ResourceName& out) {
        if (!(field & 0x80000000u)) {
            out = ResourceName::id(static_cast<uint16_t>(field & 0xFFFF));
            return true;
        }
        uint64_t at;
        if (!bytesAt(field & 0x7FFFFFFFu, 2, at)) return false;
        uint32_t length = get(image, at, 2);
        if (!bytesAt(field & 0x7FFFFFFFu, 2 + 2 * length, at)) return false;
        std::u16string text;
        for (uint32_t i = 0; i < length; ++i) text += static_cast<char16_t>(get(image, at + 2 + 2 * i, 2));
        out = ResourceName::named(text);
        return true;
    }
    // level 0: types, 1: names, 2: languages.
    bool directory(uint32_t rel, int level, ResourceEntry& path) {
        uint64_t at;
        if (!bytesAt(rel, 16, at)) return false;
        if (level == 0) {
            tree.characteristics = get(image, at, 4);
            tree.timeDateStamp = get(image, at + 4, 4);
            tree.majorVersion = static_cast<uint16_t>(get(image, at + 8, 2));
            tree.minorVersion = static_cast<uint16_t>(get(image, at + 10, 2));
        }
        uint32_t count = get(image, at + 12, 2) + get(image, at + 14, 2);
        uint64_t entries;
        if (!bytesAt(rel + 16, 8 * count, entries)) return false;
        for (uint32_t i = 0; i < count; ++i) {
            if (++seen > kMaxResourceEntries) {
                error = "resource directory: more than " + std::to_string(kMaxResourceEntries) + " entries";
                return false;
            }
            uint32_t nameField = get(image, entries + 8 * i, 4);
            uint32_t target = get(image, entries + 8 * i + 4, 4);
            ResourceName n;
            if (!name(nameField, n)) return false;
            bool isDirectory = (target & 0x80000000u) != 0;
            if (isDirectory != (level < 2)) {
                error = std::string("resource directory: ") + (isDirectory ? "a subdirectory" : "a data entry") +
                        " at level " + std::to_string(level + 1) + " (a tree of type, name and language is expected)";
                return false;
            }
            if (level == 0) path.type = n;
            if (level == 1) path.name = n;
            if (isDirectory) {
                if (!directory(target & 0x7FFFFFFFu, level + 1, path)) return false;
                continue;
            }
            if (!n.isNumber) {
                error = "resource directory: a language given by name";
                return false;
            }
            uint64_t dataEntry;
            if (!bytesAt(target, 16, dataEntry)) return false;
            uint32_t rva = get(image, dataEntry, 4), size = get(image, dataEntry + 4, 4);
            uint64_t dataAt;
            if (!rvaToOffset(pe, image, rva, size, dataAt)) {
                error = "resource " + resourceTypeName(path.type.isNumber ? path.type.number : 0) + " " +
                        path.name.show() + ": its data (RVA " + hex(rva) + ", " + std::to_string(size) +
                        " bytes) lies outside the image";
                return false;
            }
            copied += size;
            if (copied > 2 * static_cast<uint64_t>(image.size())) {
                error = "resource directory: its entries share data too often (more than twice the image's size)";
                return false;
            }
            ResourceEntry e = path;
            e.language = n.number;
            e.codePage = get(image, dataEntry + 8, 4);
            e.data = image.substr(dataAt, size);
            tree.entries.push_back(std::move(e));
        }
        return true;
    }
};

// ---- Writing a tree ---------------------------------------------------------------

struct NameKey {
    ResourceName n;
    bool operator<(const NameKey& o) const { return n < o.n; }
};
using LangMap = std::map<uint16_t, const ResourceEntry*>;
using NameMap = std::map<NameKey, LangMap>;
using TypeMap = std::map<NameKey, NameMap>;

void putDirectoryHeader(Bytes& out, size_t at, const ResourceTree& tree, uint32_t named, uint32_t ids) {
    put(out, at, tree.characteristics, 4);
    put(out, at + 4, tree.timeDateStamp, 4);
    put(out, at + 8, tree.majorVersion, 2);
    put(out, at + 10, tree.minorVersion, 2);
    put(out, at + 12, named, 2);
    put(out, at + 14, ids, 2);
}

template <typename Map>
void countNames(const Map& m, uint32_t& named, uint32_t& ids) {
    named = ids = 0;
    for (const auto& kv : m) (kv.first.n.isNumber ? ids : named)++;
}

// The section contents for a tree placed at RVA base: directories (breadth
// first), data entries, name strings, then the data, each aligned to 8.
Bytes serializeTree(const ResourceTree& tree, uint32_t base, uint32_t& directorySize) {
    TypeMap types;
    for (const ResourceEntry& e : tree.entries) types[NameKey{e.type}][NameKey{e.name}][e.language] = &e;

    size_t nameDirs = 0, langDirs = 0, leaves = 0, entryCount = types.size();
    for (const auto& t : types) {
        ++nameDirs;
        entryCount += t.second.size();
        for (const auto& n : t.second) {
            ++langDirs;
            entryCount += n.second.size();
            leaves += n.second.size();
        }
    }
    size_t tablesSize = 16 * (1 + nameDirs + langDirs) + 8 * entryCount;
    size_t dataEntriesAt = tablesSize;
    size_t stringsAt = dataEntriesAt + 16 * leaves;

    // Strings, one per distinct text.
    std::map<std::u16string, size_t> stringOffsets;
    Bytes strings;
    auto addString = [&](const ResourceName& n) {
        if (n.isNumber || stringOffsets.count(n.text)) return;
        stringOffsets[n.text] = stringsAt + strings.size();
        append(strings, static_cast<uint32_t>(n.text.size()), 2);
        for (char16_t c : n.text) append(strings, c, 2);
    };
    for (const auto& t : types) {
        addString(t.first.n);
        for (const auto& n : t.second) addString(n.first.n);
    }
    size_t dataAt = alignUp(stringsAt + strings.size(), 8);

    Bytes out(dataAt, '\0');
    out.replace(stringsAt, strings.size(), strings);
    auto nameField = [&](const ResourceName& n) -> uint32_t {
        return n.isNumber ? n.number : static_cast<uint32_t>(0x80000000u | stringOffsets[n.text]);
    };

    // Directory tables: root, then the name level, then the language level.
    size_t nextNameDir = 16 + 8 * types.size();
    size_t nameLevelSize = 0;
    for (const auto& t : types) nameLevelSize += 16 + 8 * t.second.size();
    size_t nextLangDir = nextNameDir + nameLevelSize;
    size_t nextDataEntry = dataEntriesAt;

    uint32_t named, ids;
    countNames(types, named, ids);
    putDirectoryHeader(out, 0, tree, named, ids);
    size_t rootEntry = 16;
    for (const auto& t : types) {
        size_t nameDir = nextNameDir;
        nextNameDir += 16 + 8 * t.second.size();
        put(out, rootEntry, nameField(t.first.n), 4);
        put(out, rootEntry + 4, static_cast<uint32_t>(0x80000000u | nameDir), 4);
        rootEntry += 8;
        countNames(t.second, named, ids);
        putDirectoryHeader(out, nameDir, tree, named, ids);
        size_t nameEntry = nameDir + 16;
        for (const auto& n : t.second) {
            size_t langDir = nextLangDir;
            nextLangDir += 16 + 8 * n.second.size();
            put(out, nameEntry, nameField(n.first.n), 4);
            put(out, nameEntry + 4, static_cast<uint32_t>(0x80000000u | langDir), 4);
            nameEntry += 8;
            putDirectoryHeader(out, langDir, tree, 0, static_cast<uint32_t>(n.second.size()));
            size_t langEntry = langDir + 16;
            for (const auto& l : n.second) {
                put(out, langEntry, l.first, 4);
                put(out, langEntry + 4, static_cast<uint32_t>(nextDataEntry), 4);
                langEntry += 8;
                const ResourceEntry& e = *l.second;
                size_t at = alignUp(out.size(), 8);
                out.resize(at, '\0');
                put(out, nextDataEntry, static_cast<uint32_t>(base + at), 4);
                put(out, nextDataEntry + 4, static_cast<uint32_t>(e.data.size()), 4);
                put(out, nextDataEntry + 8, e.codePage, 4);
                nextDataEntry += 16;
                out += e.data;
            }
        }
    }
    directorySize = static_cast<uint32_t>(out.size());
    return out;
}

// ---- Changing a tree ----------------------------------------------------------------

std::vector<uint16_t> groupImageIds(const Bytes& group) {
    std::vector<uint16_t> ids;
    if (group.size() < 6) return ids;
    uint32_t count = get(group, 4, 2);
    for (uint32_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i)
        ids.push_back(static_cast<uint16_t>(get(group, 6 + 14 * i + 12, 2)));
    return ids;
}

bool applyChanges(ResourceTree& tree, const ResourceSet& set, std::string& error) {
    auto removeWhere = [&](auto predicate) {
        tree.entries.erase(std::remove_if(tree.entries.begin(), tree.entries.end(), predicate), tree.entries.end());
    };
    const ResourceName iconType = ResourceName::id(kResIcon), groupType = ResourceName::id(kResGroupIcon);
    if (!set.icons.empty()) {
        if (set.icons.size() > 0xFFFF) {
            error = "too many icon images";
            return false;
        }
        if (set.iconGroups.empty()) {  // images no group lists would stay for good
            error = "icon images without a group to list them";
            return false;
        }
        std::set<uint16_t> candidates;
        for (const ResourceName& g : set.iconGroups)
            for (const ResourceEntry& e : tree.entries)
                if (e.type == groupType && e.name == g)
                    for (uint16_t id : groupImageIds(e.data)) candidates.insert(id);
        removeWhere([&](const ResourceEntry& e) {
            if (e.type != groupType) return false;
            for (const ResourceName& g : set.iconGroups)
                if (e.name == g) return true;
            return false;
        });
        std::set<uint16_t> stillUsed;
        for (const ResourceEntry& e : tree.entries)
            if (e.type == groupType)
                for (uint16_t id : groupImageIds(e.data)) stillUsed.insert(id);
        removeWhere([&](const ResourceEntry& e) {
            return e.type == iconType && e.name.isNumber && candidates.count(e.name.number) &&
                   !stillUsed.count(e.name.number);
        });
        // New images take ids that no kept image has and no kept group lists (a group
        // listing a missing image would show the new one).
        std::set<uint16_t> taken = stillUsed;
        for (const ResourceEntry& e : tree.entries)
            if (e.type == iconType && e.name.isNumber) taken.insert(e.name.number);
        Bytes group;
        append(group, 0, 2);
        append(group, 1, 2);
        append(group, static_cast<uint32_t>(set.icons.size()), 2);
        uint32_t next = 1;
        for (const IconImage& image : set.icons) {
            while (taken.count(static_cast<uint16_t>(next))) ++next;
            if (next > 0xFFFF) {
                error = "no free RT_ICON ids left";
                return false;
            }
            ResourceEntry e;
            e.type = iconType;
            e.name = ResourceName::id(static_cast<uint16_t>(next));
            e.data = image.data;
            tree.entries.push_back(e);
            group += static_cast<char>(image.width);
            group += static_cast<char>(image.height);
            group += static_cast<char>(image.colorCount);
            group += '\0';
            append(group, image.planes, 2);
            append(group, image.bitCount, 2);
            append(group, static_cast<uint32_t>(image.data.size()), 4);
            append(group, next, 2);
            ++next;
        }
        for (const ResourceName& g : set.iconGroups) {
            ResourceEntry e;
            e.type = groupType;
            e.name = g;
            e.data = group;
            tree.entries.push_back(e);
        }
    }
    for (const ResourceEntry& r : set.replace) {
        removeWhere([&](const ResourceEntry& e) { return e.type == r.type && e.name == r.name; });
        tree.entries.push_back(r);
    }
    return true;
}

// The optional header's alignments, header size and data directories.
bool readOptionalHeader(const Bytes& image, PeInfo& pe, std::string& error) {
    if (pe.optionalSize < 112 || pe.optionalOffset + pe.optionalSize > image.size()) {
        error = "the optional header is too short or cut off";
        return false;
    }
    const uint64_t o = pe.optionalOffset;
    pe.sectionAlignment = pe::readLe(image, o + pe::kSectionAlignmentField, 4);
    pe.fileAlignment = pe::readLe(image, o + pe::kFileAlignmentField, 4);
    pe.sizeOfHeaders = pe::readLe(image, o + pe::kSizeOfHeadersField, 4);
    pe.directoryCount = std::min<uint32_t>(pe::readLe(image, o + pe::kDirectoryCountField, 4), 16);
    if (pe::kDirectoriesField + pe::kDirectorySize * pe.directoryCount > pe.optionalSize) {
        error = "the optional header has fewer data directories than it says";
        return false;
    }
    for (uint32_t i = 0; i < pe.directoryCount; ++i) {
        pe.directoryRvaSize[i][0] = pe::readLe(image, o + pe::kDirectoriesField + pe::kDirectorySize * i, 4);
        pe.directoryRvaSize[i][1] = pe::readLe(image, o + pe::kDirectoriesField + pe::kDirectorySize * i + 4, 4);
    }
    if (!powerOfTwo(pe.fileAlignment) || pe.fileAlignment < 512 || pe.fileAlignment > 0x10000 ||
        !powerOfTwo(pe.sectionAlignment) || pe.sectionAlignment < pe.fileAlignment) {
        error = "unusable alignment (file " + hex(pe.fileAlignment) + ", section " + hex(pe.sectionAlignment) + ")";
        return false;
    }
    return true;
}

// The section table, within the headers, and every section's raw data within the file.
bool readSectionTable(const Bytes& image, const pe::PeHeaders& headers, PeInfo& pe, std::string& error) {
    const uint32_t sections = headers.coff.sectionCount;
    if (sections == 0) {
        error = "the image has no sections";
        return false;
    }
    const uint64_t tableEnd = headers.sectionTableOffset + uint64_t{pe::kSectionEntrySize} * sections;
    if (tableEnd > image.size() || tableEnd > pe.sizeOfHeaders || pe.sizeOfHeaders > image.size()) {
        error = "the section table reaches beyond the headers or the file";
        return false;
    }
    for (uint32_t i = 0; i < sections; ++i) {
        pe::SectionEntry entry;
        pe::readSectionEntry(image, headers, i, &entry);  // within the file: checked above
        PeSection s;
        std::memcpy(s.name, entry.name, sizeof s.name);
        s.virtualSize = entry.virtualSize;
        s.virtualAddress = entry.virtualAddress;
        s.rawSize = entry.rawSize;
        s.rawOffset = entry.rawOffset;
        s.characteristics = entry.characteristics;
        s.headerOffset = static_cast<uint32_t>(entry.headerOffset);
        if (s.rawSize && static_cast<uint64_t>(s.rawOffset) + s.rawSize > image.size()) {
            error = "section " + std::to_string(i + 1) + "'s raw data (offset " + hex(s.rawOffset) + ", size " +
                    hex(s.rawSize) + ") lies beyond the end of the file (" + std::to_string(image.size()) + " bytes)";
            return false;
        }
        pe.sections.push_back(s);
    }
    return true;
}

}  // namespace

std::string resourceTypeName(uint16_t type) {
    for (const TypeNameRow& row : kTypeNames)
        if (row.type == type) return row.name;
    return "type " + std::to_string(type);
}

bool ResourceName::operator<(const ResourceName& o) const {
    if (isNumber != o.isNumber) return !isNumber;  // names first
    return isNumber ? number < o.number : text < o.text;
}

std::string ResourceName::show() const {
    if (isNumber) return std::to_string(number);
    std::string s = "\"";
    for (char16_t c : text) s += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    return s + "\"";
}

uint32_t PeInfo::directoryRva(int index) const {
    return index < static_cast<int>(directoryCount) ? directoryRvaSize[index][0] : 0;
}
uint32_t PeInfo::directorySize(int index) const {
    return index < static_cast<int>(directoryCount) ? directoryRvaSize[index][1] : 0;
}

bool readPe32PlusHeaders(const Bytes& image, pe::PeHeaders& headers, std::string& error) {
    switch (pe::readPeHeaders(image, &headers)) {
        case pe::PeStatus::Ok:
            break;
        case pe::PeStatus::NoDosHeader:
        case pe::PeStatus::DosHeaderCut:
            error = "not a PE32+ image (no MZ header)";
            return false;
        case pe::PeStatus::NoSignature:
        case pe::PeStatus::HeadersCut:
            error = "not a PE32+ image (no PE signature)";
            return false;
    }
    if (headers.optionalMagic != pe::kPe32PlusMagic) {
        error = "not a PE32+ image (optional header magic is not 0x20B)";
        return false;
    }
    return true;
}

bool parsePe(const Bytes& image, PeInfo& pe, std::string& error) {
    pe = PeInfo();
    pe::PeHeaders headers;
    if (!readPe32PlusHeaders(image, headers, error)) return false;
    pe.peOffset = headers.peOffset;
    pe.timeDateStamp = headers.coff.timeDateStamp;
    pe.optionalSize = headers.coff.optionalSize;
    pe.optionalOffset = static_cast<uint32_t>(headers.optionalOffset);
    return readOptionalHeader(image, pe, error) && readSectionTable(image, headers, pe, error);
}

bool readResources(const Bytes& image, ResourceTree& tree, std::string& error) {
    tree = ResourceTree();
    PeInfo pe;
    if (!parsePe(image, pe, error)) return false;
    uint32_t base = pe.directoryRva(kDirResource);
    if (!base) return true;
    ResourceEntry path;
    TreeReader reader{image, pe, base, tree, error};
    return reader.directory(0, 0, path);
}

const ResourceEntry* findResource(const ResourceTree& tree, const ResourceName& type, const ResourceName& name) {
    for (const ResourceEntry& e : tree.entries)
        if (e.type == type && e.name == name) return &e;
    return nullptr;
}

bool checksumOffset(const Bytes& image, uint64_t& offset, std::string& error) {
    pe::PeHeaders headers;
    if (!readPe32PlusHeaders(image, headers, error)) return false;
    const uint64_t field = headers.optionalOffset + pe::kCheckSumField;
    if (headers.coff.optionalSize < pe::kCheckSumField + 4 || field + 4 > image.size()) {
        error = "the optional header has no CheckSum field";
        return false;
    }
    offset = field;
    return true;
}

void PeChecksum::add(const char* data, size_t size) {
    size_t i = 0;
    length += size;
    if (odd && size) {
        sum += static_cast<uint32_t>(pendingLow) | (static_cast<uint32_t>(static_cast<unsigned char>(data[0])) << 8);
        odd = false;
        i = 1;
    }
    for (; i + 1 < size; i += 2) {
        sum += static_cast<uint32_t>(static_cast<unsigned char>(data[i])) |
               (static_cast<uint32_t>(static_cast<unsigned char>(data[i + 1])) << 8);
        if (sum > 0xFFFFFFFFull) sum = (sum & 0xFFFF) + (sum >> 16);
    }
    if (i < size) {
        pendingLow = static_cast<uint8_t>(data[i]);
        odd = true;
    }
}

uint32_t PeChecksum::finish() const {
    uint64_t s = sum + (odd ? pendingLow : 0);
    while (s >> 16) s = (s & 0xFFFF) + (s >> 16);
    return static_cast<uint32_t>(s + length);
}

// Without resource changes the stub's layout stays: its bytes up to the block
// start, with the TimeDateStamp, the certificate directory and CheckSum fixed.
bool patchHeadersOnly(const Bytes& stub, const ResourceSet& set, Bytes& out, std::string& error) {
    pe::PeHeaders headers;
    uint64_t start;
    if (!readPe32PlusHeaders(stub, headers, error) || !findBlockStart(stub, start, error)) return false;
    // The block goes where the last table entry's raw data ends: the headers and the
    // raw data of every section must lie before it, or the block would overwrite them.
    const uint32_t optionalSize = headers.coff.optionalSize, sections = headers.coff.sectionCount;
    const uint64_t o = headers.optionalOffset, table = headers.sectionTableOffset;
    const uint64_t sizeOfHeaders = optionalSize >= 64 ? pe::readLe(stub, o + pe::kSizeOfHeadersField, 4) : 0;
    if (start < std::max<uint64_t>(table + uint64_t{pe::kSectionEntrySize} * sections, sizeOfHeaders)) {
        error = "the last section-table entry's raw data ends at " + hex(start) +
                ", inside the headers: the configuration block would overwrite them";
        return false;
    }
    for (uint32_t i = 0; i < sections; ++i) {
        // Only the raw-data fields: the last entry may end after them (findBlockStart reads no more).
        const uint64_t entry = table + uint64_t{pe::kSectionEntrySize} * i;
        uint64_t rawSize = pe::readLe(stub, entry + pe::kSectionRawSizeField, 4);
        uint64_t rawOffset = pe::readLe(stub, entry + pe::kSectionRawOffsetField, 4);
        if (rawSize && rawOffset + rawSize > start) {
            error = "section " + std::to_string(i + 1) + "'s raw data (offset " + hex(rawOffset) + ", size " +
                    hex(rawSize) + ") lies after the end of the last section-table entry's (" + hex(start) +
                    "), where the configuration block goes";
            return false;
        }
    }
    out = stub.substr(0, start);
    if (set.setTimeDateStamp) put(out, headers.peOffset + pe::kTimeDateStampField, set.timeDateStamp, 4);
    if (optionalSize >= pe::kCheckSumField + 4 && o + pe::kCheckSumField + 4 <= out.size())
        put(out, o + pe::kCheckSumField, 0, 4);
    const uint64_t security = o + pe::kDirectoriesField + pe::kDirectorySize * kDirSecurity;
    if (optionalSize >= pe::kDirectoriesField + pe::kDirectorySize * (kDirSecurity + 1) &&
        security + pe::kDirectorySize <= out.size() && get(out, o + pe::kDirectoryCountField, 4) > kDirSecurity) {
        put(out, security, 0, 4);
        put(out, security + 4, 0, 4);
    }
    return true;
}

namespace {

// The image being written: its section table and the raw data of each entry, in table order.
struct SectionLayout {
    std::vector<PeSection> sections;
    std::vector<Bytes> raw;
    uint32_t resourceRva = 0;
    uint32_t resourceDirectorySize = 0;
    uint64_t sizeOfHeaders = 0;
};

// The end of the highest section in memory.
uint64_t addressEnd(const std::vector<PeSection>& sections, uint32_t sectionAlignment) {
    uint64_t end = 0;
    for (const PeSection& s : sections)
        end = std::max<uint64_t>(end, s.virtualAddress + alignUp(memorySize(s), sectionAlignment));
    return end;
}

// The loader refuses sections off the alignment, or overlapping in memory.
bool checkSectionAddresses(const PeInfo& pe, std::string& error) {
    for (size_t i = 0; i < pe.sections.size(); ++i) {
        const PeSection& s = pe.sections[i];
        if (s.virtualAddress % pe.sectionAlignment) {
            error = "section " + std::to_string(i + 1) + "'s address " + hex(s.virtualAddress) +
                    " is not a multiple of the section alignment " + hex(pe.sectionAlignment);
            return false;
        }
        const uint64_t previousEnd =
            i ? pe.sections[i - 1].virtualAddress + alignUp(memorySize(pe.sections[i - 1]), pe.sectionAlignment) : 0;
        if (s.virtualAddress < previousEnd) {
            error = "section " + std::to_string(i + 1) + " (address " + hex(s.virtualAddress) + ") overlaps section " +
                    std::to_string(i) + ", which reaches to " + hex(previousEnd);
            return false;
        }
    }
    return true;
}

// The index of the section that holds the resource directory and nothing else, or -1.
int ownedResourceSection(const PeInfo& pe) {
    int owned = -1;
    uint32_t resRva = pe.directoryRva(kDirResource);
    for (size_t i = 0; resRva && i < pe.sections.size(); ++i) {
        const PeSection& s = pe.sections[i];
        uint32_t span = std::max(s.virtualSize, s.rawSize);
        if (resRva < s.virtualAddress || resRva - s.virtualAddress >= span) continue;
        // A section of its own: named so, or starting with the directory (not merged into another).
        if (std::memcmp(s.name, ".rsrc\0\0\0", 8) != 0 && s.virtualAddress != resRva) continue;
        bool alone = true;
        for (uint32_t d = 0; d < pe.directoryCount; ++d) {
            uint32_t rva = pe.directoryRva(d);
            // Any directory reaching into it, up to its aligned end (a rewritten last section
            // may grow there).
            const uint64_t end = static_cast<uint64_t>(rva) + std::max<uint32_t>(pe.directorySize(d), 1);
            if (d != kDirResource && d != kDirSecurity && rva && end > s.virtualAddress &&
                rva < s.virtualAddress + alignUp(span, pe.sectionAlignment))
                alone = false;
        }
        if (alone) owned = static_cast<int>(i);
    }
    return owned;
}

// A data directory beyond the sections would point into the new resource section.
bool checkDirectoriesWithinSections(const PeInfo& pe, uint64_t highestEnd, std::string& error) {
    for (uint32_t d = 0; d < pe.directoryCount; ++d)
        if (d != kDirSecurity && d != kDirResource && pe.directoryRva(d) &&
            static_cast<uint64_t>(pe.directoryRva(d)) + std::max<uint32_t>(pe.directorySize(d), 1) > highestEnd) {
            error = "data directory " + std::to_string(d) + " (RVA " + hex(pe.directoryRva(d)) + ", " +
                    std::to_string(pe.directorySize(d)) + " bytes) lies beyond the image's sections";
            return false;
        }
    return true;
}

// The old resource section keeps its address range as memory without file data.
void retireSection(PeSection& old, Bytes& raw) {
    if (old.virtualSize == 0) old.virtualSize = old.rawSize;
    old.rawSize = 0;
    old.rawOffset = 0;
    old.characteristics = (old.characteristics & ~(kScnCode | kScnInitData)) | kScnUninitData;
    std::memcpy(old.name, ".oldrsrc", 8);
    raw.clear();
}

// The stub's sections with the written resource tree as the last entry: in place when the
// resource section is already last in the table and in memory, else a new section after
// the highest address.
bool placeResourceSection(const Bytes& stub, const PeInfo& pe, const ResourceTree& tree, SectionLayout& layout,
                          std::string& error) {
    const int owned = ownedResourceSection(pe);
    const uint64_t highestEnd = addressEnd(pe.sections, pe.sectionAlignment);
    if (!checkDirectoriesWithinSections(pe, highestEnd, error)) return false;
    const bool inPlace = owned == static_cast<int>(pe.sections.size()) - 1 &&
                         pe.sections[owned].virtualAddress +
                                 alignUp(memorySize(pe.sections[owned]), pe.sectionAlignment) ==
                             highestEnd;
    layout.sections = pe.sections;
    for (const PeSection& s : pe.sections)
        layout.raw.push_back(s.rawSize ? stub.substr(s.rawOffset, s.rawSize) : Bytes());
    if (highestEnd > 0xFFFFFFFFull) {
        error = "the image's addresses are exhausted";
        return false;
    }
    layout.resourceRva = inPlace ? pe.sections[owned].virtualAddress : static_cast<uint32_t>(highestEnd);
    Bytes resources = serializeTree(tree, layout.resourceRva, layout.resourceDirectorySize);
    PeSection res{};
    if (inPlace) {
        res = layout.sections.back();
        layout.sections.pop_back();
        layout.raw.pop_back();
    } else {
        std::memcpy(res.name, ".rsrc\0\0\0", 8);
        res.characteristics = kScnInitData | kScnMemRead;
        res.headerOffset = 0;
        if (owned >= 0) retireSection(layout.sections[owned], layout.raw[owned]);
    }
    res.virtualAddress = layout.resourceRva;
    res.virtualSize = static_cast<uint32_t>(resources.size());
    res.rawSize = static_cast<uint32_t>(alignUp(resources.size(), pe.fileAlignment));
    resources.resize(res.rawSize, '\0');
    layout.sections.push_back(res);
    layout.raw.push_back(resources);
    return true;
}

// The slot of an added section-table entry must be free. Bound imports (a load-time
// hint) that sit there are dropped.
bool freeNewTableEntry(const PeInfo& pe, Bytes& headers, std::string& error) {
    const uint64_t newEntry = pe.optionalOffset + pe.optionalSize + 40ull * pe.sections.size();
    uint32_t bound = pe.directoryRva(kDirBoundImport);
    if (bound && bound < newEntry + 40 && bound + pe.directorySize(kDirBoundImport) > newEntry) {
        for (uint32_t k = 0; k < pe.directorySize(kDirBoundImport) && bound + k < headers.size(); ++k)
            headers[bound + k] = '\0';
        put(headers, pe.optionalOffset + 112 + 8 * kDirBoundImport, 0, 4);
        put(headers, pe.optionalOffset + 112 + 8 * kDirBoundImport + 4, 0, 4);
    }
    if (headers.find_first_not_of('\0', newEntry) < newEntry + 40) {
        error = "the space after the section table is in use; no room for another section header";
        return false;
    }
    return true;
}

// The stub's headers with room for the new section table.
bool growHeaders(const Bytes& stub, const PeInfo& pe, SectionLayout& layout, Bytes& headers, std::string& error) {
    headers = stub.substr(0, pe.sizeOfHeaders);
    const uint64_t tableEnd = pe.optionalOffset + pe.optionalSize + 40ull * layout.sections.size();
    uint32_t firstVa = 0xFFFFFFFFu;
    for (const PeSection& s : pe.sections) firstVa = std::min(firstVa, s.virtualAddress);
    layout.sizeOfHeaders = std::max<uint64_t>(pe.sizeOfHeaders, alignUp(tableEnd, pe.fileAlignment));
    if (layout.sizeOfHeaders > firstVa) {
        error = "no room for another section header before the first section";
        return false;
    }
    headers.resize(layout.sizeOfHeaders, '\0');
    return layout.sections.size() <= pe.sections.size() || freeNewTableEntry(pe, headers, error);
}

// Raw data in table order, so the last entry's data ends the image.
bool assignRawOffsets(SectionLayout& layout, uint32_t fileAlignment, std::string& error) {
    uint64_t cursor = layout.sizeOfHeaders;
    for (PeSection& s : layout.sections) {
        if (!s.rawSize) {
            s.rawOffset = 0;
            continue;
        }
        s.rawOffset = static_cast<uint32_t>(alignUp(cursor, fileAlignment));
        cursor = static_cast<uint64_t>(s.rawOffset) + s.rawSize;
        if (cursor > 0x7FFFFFFFull) {
            error = "the image would exceed 2 GB";
            return false;
        }
    }
    return true;
}

// Debug directory entries carry file offsets of their data: moved with the sections.
void moveDebugDataOffsets(const PeInfo& pe, SectionLayout& layout) {
    const std::vector<PeSection>& sections = layout.sections;
    uint32_t debugRva = pe.directoryRva(kDirDebug), debugSize = pe.directorySize(kDirDebug);
    for (size_t i = 0; debugRva && i < sections.size(); ++i) {
        const PeSection& s = sections[i];
        Bytes& raw = layout.raw[i];
        if (raw.empty() || debugRva < s.virtualAddress ||
            static_cast<uint64_t>(debugRva) + debugSize > s.virtualAddress + raw.size())
            continue;
        for (uint32_t k = 0; k + 28 <= debugSize; k += 28) {
            uint64_t at = debugRva - s.virtualAddress + k;
            uint32_t addr = get(raw, at + 20, 4);
            uint32_t moved = 0;
            for (size_t j = 0; addr && j < sections.size(); ++j)
                if (sections[j].rawSize && addr >= sections[j].virtualAddress &&
                    addr < sections[j].virtualAddress + sections[j].rawSize)
                    moved = sections[j].rawOffset + (addr - sections[j].virtualAddress);
            put(raw, at + 24, moved, 4);
        }
    }
}

void writeSectionTable(const PeInfo& pe, const SectionLayout& layout, Bytes& headers) {
    const uint64_t tableAt = pe.optionalOffset + pe.optionalSize;
    for (size_t i = 0; i < layout.sections.size(); ++i) {
        const PeSection& s = layout.sections[i];
        uint64_t e = tableAt + 40 * i;
        if (i >= pe.sections.size()) std::memset(&headers[e], 0, 40);
        std::memcpy(&headers[e], s.name, 8);
        put(headers, e + 8, s.virtualSize, 4);
        put(headers, e + 12, s.virtualAddress, 4);
        put(headers, e + 16, s.rawSize, 4);
        put(headers, e + 20, s.rawOffset, 4);
        put(headers, e + 36, s.characteristics, 4);
    }
}

// The file header and optional header fields of the new layout. The CheckSum is
// cleared (the build sets it over the whole file), and so is the certificate directory.
bool writeHeaderFields(const PeInfo& pe, const ResourceSet& set, const SectionLayout& layout, Bytes& headers,
                       std::string& error) {
    const uint64_t p = pe.peOffset, o = pe.optionalOffset;
    put(headers, p + 6, static_cast<uint32_t>(layout.sections.size()), 2);
    if (set.setTimeDateStamp) put(headers, p + 8, set.timeDateStamp, 4);
    put(headers, p + 12, 0, 4);  // the COFF symbol table lay after the sections: dropped
    put(headers, p + 16, 0, 4);
    const uint64_t imageEnd = addressEnd(layout.sections, pe.sectionAlignment);
    if (imageEnd > 0xFFFFFFFFull) {
        error = "the image's addresses are exhausted";
        return false;
    }
    put(headers, o + 56, static_cast<uint32_t>(imageEnd), 4);
    put(headers, o + 60, static_cast<uint32_t>(layout.sizeOfHeaders), 4);
    put(headers, o + 64, 0, 4);
    put(headers, o + 112 + 8 * kDirResource, layout.resourceRva, 4);
    put(headers, o + 112 + 8 * kDirResource + 4, layout.resourceDirectorySize, 4);
    if (pe.directoryCount > kDirSecurity) {
        put(headers, o + 112 + 8 * kDirSecurity, 0, 4);
        put(headers, o + 112 + 8 * kDirSecurity + 4, 0, 4);
    }
    return true;
}

Bytes joinImage(const Bytes& headers, const SectionLayout& layout) {
    Bytes out = headers;
    for (size_t i = 0; i < layout.sections.size(); ++i) {
        if (!layout.sections[i].rawSize) continue;
        out.resize(layout.sections[i].rawOffset, '\0');
        out += layout.raw[i];
    }
    return out;
}

}  // namespace

bool writeResources(const Bytes& stub, const ResourceSet& set, Bytes& out, std::string& error) {
    out.clear();
    if (set.icons.empty() && set.replace.empty()) return patchHeadersOnly(stub, set, out, error);
    PeInfo pe;
    if (!parsePe(stub, pe, error)) return false;
    if (pe.directoryCount <= kDirResource) {
        error = "the image has no slot for a resource directory";
        return false;
    }
    if (!checkSectionAddresses(pe, error)) return false;
    ResourceTree tree;
    if (!readResources(stub, tree, error) || !applyChanges(tree, set, error)) return false;
    SectionLayout layout;
    Bytes headers;
    if (!placeResourceSection(stub, pe, tree, layout, error) || !growHeaders(stub, pe, layout, headers, error) ||
        !assignRawOffsets(layout, pe.fileAlignment, error))
        return false;
    moveDebugDataOffsets(pe, layout);
    writeSectionTable(pe, layout, headers);
    if (!writeHeaderFields(pe, set, layout, headers, error)) return false;
    out = joinImage(headers, layout);
    return true;
}

}  // namespace builder
