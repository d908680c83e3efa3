// PE32+ images: the resource tree of an image, and writing an image back with
// a new resource section, fixed headers and the loader's checksum. Pure code
// (no windows.h); bytes are held in std::string as in the rest of the builder.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/pe_image.h"

namespace builder {

using Bytes = std::string;

// Resource types by number, with the names used in messages (a table in
// pe_resources.cpp; the constants avoid windows.h's RT_* macros).
enum ResourceType : uint16_t {
    kResCursor = 1,
    kResBitmap = 2,
    kResIcon = 3,
    kResDialog = 5,
    kResRcData = 10,
    kResGroupIcon = 14,
    kResVersion = 16,
    kResManifest = 24,
};
// "RT_ICON" for 3, "type 99" for a number without a name.
std::string resourceTypeName(uint16_t type);

constexpr uint16_t kLangEnglishUs = 0x0409;

// A type or name of the resource tree: a number or a UTF-16 string.
struct ResourceName {
    bool isNumber = true;
    uint16_t number = 0;
    std::u16string text;

    static ResourceName id(uint16_t n) { return ResourceName{true, n, {}}; }
    static ResourceName named(const std::u16string& s) { return ResourceName{false, 0, s}; }
    bool operator==(const ResourceName& o) const {
        return isNumber == o.isNumber && (isNumber ? number == o.number : text == o.text);
    }
    bool operator!=(const ResourceName& o) const { return !(*this == o); }
    // Directory order: named entries first (by their UTF-16 units), then numbers ascending.
    bool operator<(const ResourceName& o) const;
    std::string show() const;  // "1001" or "\"ID_SPLASH_ICON\""
};

struct ResourceEntry {
    ResourceName type;
    ResourceName name;
    uint16_t language = kLangEnglishUs;
    uint32_t codePage = 0;
    Bytes data;
};

// The resource tree of an image (type / name / language), in the image's order.
struct ResourceTree {
    uint32_t characteristics = 0;
    uint32_t timeDateStamp = 0;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    std::vector<ResourceEntry> entries;
};

// One image of an icon: the bytes of an RT_ICON entry (a DIB without file
// header, or a PNG) and what the group directory says about it.
struct IconImage {
    uint8_t width = 0;   // 0 means 256
    uint8_t height = 0;
    uint8_t colorCount = 0;
    uint16_t planes = 1;
    uint16_t bitCount = 32;
    Bytes data;
};

// What a build changes in the stub's resources.
struct ResourceSet {
    // When non-empty: these images become RT_ICON entries, and each group in
    // iconGroups is replaced by a group of exactly these images. RT_ICON
    // entries that only the replaced groups used are dropped.
    std::vector<IconImage> icons;
    std::vector<ResourceName> iconGroups;
    // Each replaces every entry (all languages) of its type and name.
    std::vector<ResourceEntry> replace;
    // The PE TimeDateStamp; the stub's own when not set.
    bool setTimeDateStamp = false;
    uint32_t timeDateStamp = 0;

};

// Parses the headers of a PE32+ image; the offsets and fields the writer needs.
struct PeSection {
    char name[8];
    uint32_t virtualSize, virtualAddress, rawSize, rawOffset;
    uint32_t characteristics;
    uint32_t headerOffset;  // of this entry in the section table
};
struct PeInfo {
    uint32_t peOffset = 0;
    uint32_t optionalOffset = 0;
    uint16_t optionalSize = 0;
    uint32_t fileAlignment = 0, sectionAlignment = 0;
    uint32_t sizeOfHeaders = 0;
    uint32_t timeDateStamp = 0;
    uint32_t directoryCount = 0;
    std::vector<PeSection> sections;
    uint32_t directoryRva(int index) const;
    uint32_t directorySize(int index) const;
    uint32_t directoryRvaSize[16][2] = {};
};
bool parsePe(const Bytes& image, PeInfo& pe, std::string& error);
// The DOS, COFF and optional-header magic checks of a PE32+ image, with the builder's messages.
bool readPe32PlusHeaders(const Bytes& image, pe::PeHeaders& headers, std::string& error);

// The resource tree of an image (an image without resources gives an empty tree).
bool readResources(const Bytes& image, ResourceTree& tree, std::string& error);
// The entry of a type and name (first language), or nullptr.
const ResourceEntry* findResource(const ResourceTree& tree, const ResourceName& type, const ResourceName& name);

// The stub's image with the changes of set applied, ending at the end of the
// raw data of the last section-table entry (where the configuration block
// goes). The certificate table and everything after the sections' raw data
// are dropped, the resource section, section sizes, SizeOfImage, the resource
// data directory and the TimeDateStamp are set; CheckSum is 0 (the caller
// sets it over the whole file with peChecksum*). When the stub's resource
// section is not the last section, the new resources go into a new last
// section and the old one keeps its address range without file data.
bool writeResources(const Bytes& stub, const ResourceSet& set, Bytes& out, std::string& error);

// The optional header's CheckSum as the image loader computes it: the 16-bit
// one's-complement sum of the file's little-endian words (the CheckSum field
// counted as 0, an odd last byte as a word of its own), plus the file length.
struct PeChecksum {
    uint64_t sum = 0;
    uint64_t length = 0;
    bool odd = false;
    uint8_t pendingLow = 0;
    void add(const char* data, size_t size);
    uint32_t finish() const;
};
// File offset of the CheckSum field of a PE image.
bool checksumOffset(const Bytes& image, uint64_t& offset, std::string& error);

}  // namespace builder
