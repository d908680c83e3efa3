// Reading PE headers out of bytes in memory.
#include "pe_image.h"

#include <cstring>

namespace pe {

uint32_t readLe(const unsigned char* bytes, size_t size, uint64_t offset, int width) {
    uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
        uint64_t at = offset + static_cast<uint64_t>(i);
        value = (value << 8) | (at >= offset && at < size ? bytes[at] : 0u);
    }
    return value;
}

uint32_t readLe(const std::string& bytes, uint64_t offset, int width) {
    return readLe(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), offset, width);
}

PeStatus readDosHeader(const unsigned char* bytes, size_t size, uint32_t* peOffset) {
    if (size < 2 || bytes[0] != 'M' || bytes[1] != 'Z') return PeStatus::NoDosHeader;
    if (size < kDosHeaderSize) return PeStatus::DosHeaderCut;
    *peOffset = readLe(bytes, size, kPeOffsetField, 4);
    return PeStatus::Ok;
}

PeStatus readCoffHeader(const unsigned char* bytes, size_t size, CoffHeader* coff) {
    if (size >= 4 && std::memcmp(bytes, "PE\0\0", 4) != 0) return PeStatus::NoSignature;
    if (size < kOptionalHeaderStart) return PeStatus::HeadersCut;
    coff->machine = static_cast<uint16_t>(readLe(bytes, size, kMachineField, 2));
    coff->sectionCount = static_cast<uint16_t>(readLe(bytes, size, kSectionCountField, 2));
    coff->timeDateStamp = readLe(bytes, size, kTimeDateStampField, 4);
    coff->optionalSize = static_cast<uint16_t>(readLe(bytes, size, kOptionalSizeField, 2));
    coff->characteristics = static_cast<uint16_t>(readLe(bytes, size, kCharacteristicsField, 2));
    return PeStatus::Ok;
}

PeStatus readPeHeaders(const std::string& image, PeHeaders* headers) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(image.data());
    *headers = PeHeaders();
    PeStatus status = readDosHeader(bytes, image.size(), &headers->peOffset);
    if (status != PeStatus::Ok) return status;
    const uint64_t p = headers->peOffset;
    // The signature must be there in full before it can be told wrong.
    if (p > image.size() || image.size() - p < 4) return PeStatus::HeadersCut;
    status = readCoffHeader(bytes + p, image.size() - p, &headers->coff);
    if (status != PeStatus::Ok) return status;
    headers->optionalOffset = p + kOptionalHeaderStart;
    if (headers->optionalOffset > image.size() || image.size() - headers->optionalOffset < 2)
        return PeStatus::HeadersCut;
    headers->optionalMagic = static_cast<uint16_t>(readLe(image, headers->optionalOffset, 2));
    headers->sectionTableOffset = headers->optionalOffset + headers->coff.optionalSize;
    return PeStatus::Ok;
}

bool readSectionEntry(const std::string& image, const PeHeaders& headers, uint32_t index, SectionEntry* entry) {
    const uint64_t at = headers.sectionTableOffset + uint64_t{kSectionEntrySize} * index;
    if (at > image.size() || image.size() - at < kSectionEntrySize) return false;
    std::memcpy(entry->name, image.data() + at, sizeof entry->name);
    entry->virtualSize = readLe(image, at + kSectionVirtualSizeField, 4);
    entry->virtualAddress = readLe(image, at + kSectionVirtualAddressField, 4);
    entry->rawSize = readLe(image, at + kSectionRawSizeField, 4);
    entry->rawOffset = readLe(image, at + kSectionRawOffsetField, 4);
    entry->characteristics = readLe(image, at + kSectionCharacteristicsField, 4);
    entry->headerOffset = at;
    return true;
}

bool lastSectionRawEnd(const std::string& image, const PeHeaders& headers, uint32_t* rawOffset, uint32_t* rawSize) {
    if (headers.coff.sectionCount == 0) return false;
    const uint64_t fields = static_cast<uint64_t>(
        sectionEntryOffset(headers.peOffset, headers.coff.optionalSize, headers.coff.sectionCount - 1) +
        kSectionRawSizeField);
    // Only the two fields are read (the entry's later fields may be cut off).
    if (fields > image.size() || image.size() - fields < 8) return false;
    *rawSize = readLe(image, fields, 4);
    *rawOffset = readLe(image, fields + 4, 4);
    return true;
}

}  // namespace pe
