// The byte layout of a launcher executable after its last section, as the
// builder writes it and the launcher reads it: the configuration block, then
// either the appended files or the trailer. Both sides include this header so
// that the two can only change together. Pure (no windows.h).
//
//   stub image          ends where the raw data of the last section-table entry
//                       ends (pe_image.h: lastSectionRawEnd); the block starts there
//   block               magic, two reserved 32-bit words, a reserved 64-bit value
//                       (as built: the byte count from its own offset to the block's
//                       end), then the string, wide-string and language-set entries
//   appended files      per file: a signed 64-bit length, then the content with every
//                       byte XORed with kScrambleByte
//   or the trailer      the magic's bytes in reverse order, then zero bytes up to a
//                       multiple of kTrailerAlignment (only without appended files)
//
// All integers are little-endian.
#pragma once
#include <cstdint>

constexpr uint32_t kConfigMagic = 0xE8E413D5u;
// Offsets in the block's fixed header.
constexpr uint32_t kBlockReservedValueOffset = 12;  // the 64-bit value counts the bytes from here on
constexpr uint32_t kBlockHeaderSize = 20;           // the string count follows
// An appended file's length field.
constexpr uint32_t kAppendedLengthSize = 8;
constexpr unsigned char kScrambleByte = 0xD6;
// The trailer: the magic in big-endian byte order, so E8 E4 13 D5 in the file.
constexpr uint32_t kTrailerSize = 4;
constexpr uint32_t kTrailerAlignment = 512;
// The launcher keeps file positions in 32 bits: a built executable stays below this.
constexpr uint64_t kMaxImageSize = 0x7FFFFFFFull;
