// The headers of a PE image as far as the launcher and the builder read them:
// the DOS header's pointer to the signature, the COFF file header, the optional
// header's magic and fields, and the section table. Pure (no windows.h); every
// read is bounds-checked against the bytes given.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace pe {

// The DOS header: its size, and e_lfanew (where "PE\0\0" is).
constexpr uint32_t kDosHeaderSize = 64, kPeOffsetField = 0x3C;
// From the signature on: the COFF file header's fields, then the optional header's start.
constexpr uint32_t kMachineField = 4, kSectionCountField = 6, kTimeDateStampField = 8, kOptionalSizeField = 20,
                   kCharacteristicsField = 22, kOptionalHeaderStart = 24;
// The PE32+ optional header, from its start; the data directories are 8 bytes each (RVA, size).
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kSectionAlignmentField = 32, kFileAlignmentField = 36, kSizeOfHeadersField = 60,
                   kCheckSumField = 64, kSubsystemField = 68, kDirectoryCountField = 108, kDirectoriesField = 112;
constexpr uint32_t kDirectorySize = 8, kCertificateDirectory = 4;  // the certificate table's "RVA" is a file offset
// A section-table entry.
constexpr uint32_t kSectionEntrySize = 40, kSectionVirtualSizeField = 8, kSectionVirtualAddressField = 12,
                   kSectionRawSizeField = 16, kSectionRawOffsetField = 20, kSectionCharacteristicsField = 36;

// The file offset of entry index of the section table (signed: the launcher
// computes it from the file's values as they are, negative ones included).
constexpr int64_t sectionEntryOffset(int64_t peOffset, int64_t optionalSize, int64_t index) {
    return peOffset + kOptionalHeaderStart + optionalSize + int64_t{kSectionEntrySize} * index;
}

// The little-endian value of width (1 to 4) bytes at offset; bytes past the end read as 0.
uint32_t readLe(const unsigned char* bytes, size_t size, uint64_t offset, int width);
uint32_t readLe(const std::string& bytes, uint64_t offset, int width);

enum class PeStatus {
    Ok,
    NoDosHeader,   // no "MZ" at the start
    DosHeaderCut,  // "MZ", but the bytes end inside the DOS header
    NoSignature,   // no "PE\0\0" where e_lfanew points
    HeadersCut,    // the bytes end inside the signature, the COFF header or the optional header's magic
};

struct CoffHeader {
    uint16_t machine = 0;
    uint16_t sectionCount = 0;
    uint32_t timeDateStamp = 0;
    uint16_t optionalSize = 0;
    uint16_t characteristics = 0;
};

// e_lfanew of the DOS header at the start of bytes (the start of the file).
PeStatus readDosHeader(const unsigned char* bytes, size_t size, uint32_t* peOffset);
// The signature and the COFF file header: bytes are those from e_lfanew on.
PeStatus readCoffHeader(const unsigned char* bytes, size_t size, CoffHeader* coff);

struct PeHeaders {
    uint32_t peOffset = 0;
    CoffHeader coff;
    uint64_t optionalOffset = 0;      // the optional header's file offset
    uint16_t optionalMagic = 0;       // 0x20B for PE32+, 0x10B for PE32
    uint64_t sectionTableOffset = 0;  // just after the optional header
};
// Both headers of a whole image and the optional header's magic.
PeStatus readPeHeaders(const std::string& image, PeHeaders* headers);

struct SectionEntry {
    char name[8];
    uint32_t virtualSize = 0, virtualAddress = 0, rawSize = 0, rawOffset = 0;
    uint32_t characteristics = 0;
    uint64_t headerOffset = 0;  // of this entry in the section table
};
// Entry index of the section table; false when the entry does not lie wholly in the image.
bool readSectionEntry(const std::string& image, const PeHeaders& headers, uint32_t index, SectionEntry* entry);

// Where the raw data of the last section-table entry ends, whatever the other entries
// hold: the start of the configuration block. False when the image has no sections or
// the entry's raw-data fields lie beyond the image; *rawOffset and *rawSize then stay.
bool lastSectionRawEnd(const std::string& image, const PeHeaders& headers, uint32_t* rawOffset, uint32_t* rawSize);

}  // namespace pe
