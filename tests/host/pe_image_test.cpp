// The PE header walker: crafted headers, and the real executables of the Windows
// build read side by side with python3-pefile.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "launcher/config_block.h"
#include "launcher/pe_image.h"

namespace {

void put(std::string& image, size_t at, uint64_t value, int width) {
    if (image.size() < at + width) image.resize(at + width, '\0');
    for (int i = 0; i < width; ++i) image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

constexpr size_t kPe = 0x80;
constexpr size_t kTable = kPe + 24 + 240;

// A PE32+ image with two sections; the last entry's raw data (0x200 bytes at
// 0x200) ends before the first entry's (0x400 bytes at 0x400).
std::string twoSections() {
    struct Field {
        size_t at;
        uint64_t value;
        int width;
    };
    const Field fields[] = {
        {0, 0x5A4D, 2},  {0x3C, kPe, 4},  {kPe, 0x4550, 4},  // "MZ", e_lfanew, "PE\0\0"
        {kPe + 4, 0x8664, 2}, {kPe + 6, 2, 2}, {kPe + 8, 0x12345678, 4}, {kPe + 20, 240, 2}, {kPe + 22, 0x2022, 2},
        {kPe + 24, 0x20B, 2},
        // .text: virtual size and address, raw size and offset, characteristics; .rsrc: raw size and offset
        {kTable, 0x747865742E, 5}, {kTable + 8, 0x3F0, 4}, {kTable + 12, 0x1000, 4}, {kTable + 16, 0x400, 4},
        {kTable + 20, 0x400, 4}, {kTable + 36, 0x60000020, 4}, {kTable + 56, 0x200, 4}, {kTable + 60, 0x200, 4},
    };
    std::string image(0x800, '\0');
    for (const Field& f : fields) put(image, f.at, f.value, f.width);
    return image;
}

struct WalkCase {
    const char* name;
    std::function<void(std::string&)> change;
    pe::PeStatus status;
    uint16_t optionalMagic;
    int64_t blockStart;  // lastSectionRawEnd's end, -1 when it finds none
};

TEST(PeHeaderWalk, WalksTheHeadersOfCraftedImages) {
    const WalkCase cases[] = {
        {"two sections: the last entry counts, not the highest raw end", [](std::string&) {}, pe::PeStatus::Ok, 0x20B,
         0x400},
        {"PE32 optional header (224 bytes)",
         [](std::string& i) {
             put(i, kPe + 24, 0x10B, 2);
             put(i, kPe + 20, 224, 2);
             put(i, kPe + 24 + 224 + 40 + 16, 0x100, 4);  // the table moved up by 16 bytes
             put(i, kPe + 24 + 224 + 40 + 20, 0x600, 4);
         },
         pe::PeStatus::Ok, 0x10B, 0x700},
        {"empty file", [](std::string& i) { i.clear(); }, pe::PeStatus::NoDosHeader, 0, -1},
        {"no MZ", [](std::string& i) { i[1] = 'X'; }, pe::PeStatus::NoDosHeader, 0, -1},
        {"cut inside the DOS header", [](std::string& i) { i.resize(63); }, pe::PeStatus::DosHeaderCut, 0, -1},
        {"e_lfanew past the end", [](std::string& i) { put(i, 0x3C, 0x7FFFFFF0, 4); }, pe::PeStatus::HeadersCut, 0,
         -1},
        {"e_lfanew 0xFFFFFFFF", [](std::string& i) { put(i, 0x3C, 0xFFFFFFFF, 4); }, pe::PeStatus::HeadersCut, 0, -1},
        {"no PE signature", [](std::string& i) { i[kPe + 1] = 'X'; }, pe::PeStatus::NoSignature, 0, -1},
        {"cut inside the signature", [](std::string& i) { i.resize(kPe + 3); }, pe::PeStatus::HeadersCut, 0, -1},
        {"cut inside the COFF header", [](std::string& i) { i.resize(kPe + 10); }, pe::PeStatus::HeadersCut, 0, -1},
        {"cut inside the optional magic", [](std::string& i) { i.resize(kPe + 25); }, pe::PeStatus::HeadersCut, 0,
         -1},
        {"zero sections", [](std::string& i) { put(i, kPe + 6, 0, 2); }, pe::PeStatus::Ok, 0x20B, -1},
        {"section table past the end", [](std::string& i) { put(i, kPe + 6, 0xFFFF, 2); }, pe::PeStatus::Ok, 0x20B,
         -1},
        {"optional header size past the end", [](std::string& i) { put(i, kPe + 20, 0xFFFF, 2); }, pe::PeStatus::Ok,
         0x20B, -1},
        {"last entry cut just after its raw-data fields", [](std::string& i) { i.resize(kTable + 40 + 24); },
         pe::PeStatus::Ok, 0x20B, 0x400},
        {"last entry cut inside its raw-data offset", [](std::string& i) { i.resize(kTable + 40 + 23); },
         pe::PeStatus::Ok, 0x20B, -1},
        {"raw offset and size near 2^32 do not wrap", [](std::string& i) {
             put(i, kTable + 40 + 16, 0xFFFFFFFF, 4);
             put(i, kTable + 40 + 20, 0xFFFFFFFF, 4);
         },
         pe::PeStatus::Ok, 0x20B, 0x1FFFFFFFEll},
    };
    for (const WalkCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::string image = twoSections();
        c.change(image);
        pe::PeHeaders headers;
        ASSERT_EQ(pe::readPeHeaders(image, &headers), c.status);
        if (c.status != pe::PeStatus::Ok) continue;
        EXPECT_EQ(headers.peOffset, kPe);
        EXPECT_EQ(headers.coff.machine, 0x8664);
        EXPECT_EQ(headers.coff.timeDateStamp, 0x12345678u);
        EXPECT_EQ(headers.coff.characteristics, 0x2022);
        EXPECT_EQ(headers.optionalMagic, c.optionalMagic);
        EXPECT_EQ(headers.sectionTableOffset, kPe + 24 + headers.coff.optionalSize);
        uint32_t rawOffset = 0, rawSize = 0;
        bool found = pe::lastSectionRawEnd(image, headers, &rawOffset, &rawSize);
        EXPECT_EQ(found ? int64_t{rawOffset} + rawSize : -1, c.blockStart);
        if (!found) continue;
        // The launcher's own lookup, with its signed reads through a byte source, lands there too.
        MemoryByteSource source(image);
        const char* fatal = nullptr;
        ASSERT_TRUE(findConfigBlockStart(source, &fatal));
        EXPECT_EQ(static_cast<int64_t>(source.position()), c.blockStart);
    }
}

TEST(PeHeaderWalk, ReadsSectionEntriesOnlyWhollyInsideTheImage) {
    std::string image = twoSections();
    pe::PeHeaders headers;
    ASSERT_EQ(pe::readPeHeaders(image, &headers), pe::PeStatus::Ok);
    pe::SectionEntry entry;
    ASSERT_TRUE(pe::readSectionEntry(image, headers, 0, &entry));
    EXPECT_EQ(std::string(entry.name, 5), ".text");
    EXPECT_EQ(entry.virtualSize, 0x3F0u);
    EXPECT_EQ(entry.virtualAddress, 0x1000u);
    EXPECT_EQ(entry.rawSize, 0x400u);
    EXPECT_EQ(entry.rawOffset, 0x400u);
    EXPECT_EQ(entry.characteristics, 0x60000020u);
    EXPECT_EQ(entry.headerOffset, kTable);
    image.resize(kTable + 40 + 39);
    EXPECT_TRUE(pe::readSectionEntry(image, headers, 0, &entry));
    EXPECT_FALSE(pe::readSectionEntry(image, headers, 1, &entry));
    EXPECT_FALSE(pe::readSectionEntry(image, headers, 0xFFFFFFFF, &entry));
}

TEST(PeHeaderWalk, ReadsLittleEndianFieldsWithZerosPastTheEnd) {
    const std::string bytes("\x01\x02\x03\x04", 4);
    struct {
        uint64_t offset;
        int width;
        uint32_t value;
    } cases[] = {
        {0, 4, 0x04030201}, {1, 2, 0x0302}, {2, 4, 0x0403}, {4, 4, 0}, {0xFFFFFFFFFFFFFFFFull, 4, 0},
        {0xFFFFFFFFFFFFFFFEull, 4, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(pe::readLe(bytes, c.offset, c.width), c.value) << c.offset;
}

// The executables of the Windows build (mingw-w64), read by the walker and by
// python3-pefile: the same machine, sections and end of the last section.
TEST(PeHeaderWalk, RealExecutablesAgreeWithPefile) {
    const char* build = std::getenv("TOVEX_BUILD");
    const char* python = std::getenv("PYTHON");
    if (!build) GTEST_SKIP() << "TOVEX_BUILD is not set (make test-host sets it)";
    const std::string pefileScript =
        "import pefile,sys\n"
        "pe=pefile.PE(sys.argv[1],fast_load=True)\n"
        "last=pe.sections[-1]\n"
        "print(pe.FILE_HEADER.Machine,pe.FILE_HEADER.Characteristics,pe.OPTIONAL_HEADER.Magic,"
        "len(pe.sections),last.PointerToRawData+last.SizeOfRawData)\n";
    int checked = 0;
    for (const char* name : {"launcher-gui.exe", "launcher-console.exe", "tovex-build.exe"}) {
        const std::string path = std::string(build) + "/win/" + name;
        std::ifstream file(path, std::ios::binary);
        if (!file) continue;
        SCOPED_TRACE(path);
        std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        std::string command = std::string(python ? python : "/usr/bin/python3") + " -c '" + pefileScript + "' " + path;
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char line[256] = {};
        bool read = std::fgets(line, sizeof line, pipe) != nullptr;
        ASSERT_EQ(pclose(pipe), 0) << "pefile could not read it";
        ASSERT_TRUE(read);
        unsigned machine = 0, characteristics = 0, magic = 0, sections = 0;
        unsigned long long end = 0;
        std::istringstream(line) >> machine >> characteristics >> magic >> sections >> end;

        pe::PeHeaders headers;
        ASSERT_EQ(pe::readPeHeaders(image, &headers), pe::PeStatus::Ok);
        EXPECT_EQ(headers.coff.machine, machine);
        EXPECT_EQ(headers.coff.characteristics, characteristics);
        EXPECT_EQ(headers.optionalMagic, magic);
        EXPECT_EQ(headers.coff.sectionCount, sections);
        uint32_t rawOffset = 0, rawSize = 0;
        ASSERT_TRUE(pe::lastSectionRawEnd(image, headers, &rawOffset, &rawSize));
        EXPECT_EQ(uint64_t{rawOffset} + rawSize, end);
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "no Windows build in " << build;
}

}  // namespace
