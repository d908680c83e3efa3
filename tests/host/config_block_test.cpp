// Decoding of the configuration block from byte arrays laid out like a launcher exe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "launcher/config.h"
#include "launcher/config_block.h"
#include "launcher/log.h"
#include "launcher/texts.h"

namespace {

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void put16At(std::string& out, size_t at, uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}
void put32At(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
void putString(std::string& out, const std::string& s) {
    put32(out, static_cast<uint32_t>(s.size()));
    out += s;
}
void putWide(std::string& out, const std::u16string& s) {
    put32(out, static_cast<uint32_t>(s.size() * 2));
    for (char16_t c : s) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
}

struct LanguageSetSpec {
    std::string key;
    std::vector<std::pair<int32_t, std::u16string>> entries;
};

// The body of a block after the fixed 20-byte header.
std::string blockBody(const std::vector<std::pair<int32_t, std::string>>& strings,
                      const std::vector<std::pair<int32_t, std::u16string>>& wides = {},
                      const std::vector<LanguageSetSpec>& sets = {}) {
    std::string b;
    put32(b, static_cast<uint32_t>(strings.size()));
    for (auto& e : strings) {
        put32(b, static_cast<uint32_t>(e.first));
        putString(b, e.second);
    }
    put32(b, static_cast<uint32_t>(wides.size()));
    for (auto& e : wides) {
        put32(b, static_cast<uint32_t>(e.first));
        putWide(b, e.second);
    }
    put32(b, static_cast<uint32_t>(sets.size()));
    for (auto& set : sets) {
        putString(b, set.key);
        put32(b, static_cast<uint32_t>(set.entries.size()));
        for (auto& e : set.entries) {
            put32(b, static_cast<uint32_t>(e.first));
            putWide(b, e.second);
        }
    }
    return b;
}

std::string blockHeader(uint32_t magic = kConfigMagic) {
    std::string h;
    put32(h, magic);
    put32(h, 0);
    put32(h, 0);
    put32(h, 0);
    put32(h, 0);  // reserved 64-bit value
    return h;
}

constexpr uint32_t kPeOffset = 0x80;
constexpr uint16_t kOptionalHeaderSize = 0xF0;

// A PE-like image with sections (raw offset, raw size); the block is placed
// after the raw data of the last table entry. Returns image and block start.
std::string image(const std::vector<std::pair<uint32_t, uint32_t>>& sections, const std::string& block,
                  size_t* blockStart = nullptr) {
    uint32_t end = 0x400;
    for (auto& s : sections) end = std::max(end, s.first + s.second);
    std::string img(end, '\0');
    put32At(img, 60, kPeOffset);
    img.replace(kPeOffset, 4, std::string("PE\0\0", 4));
    put16At(img, kPeOffset + 6, static_cast<uint16_t>(sections.size()));
    put16At(img, kPeOffset + 20, kOptionalHeaderSize);
    size_t table = kPeOffset + 24 + kOptionalHeaderSize;
    for (size_t i = 0; i < sections.size(); ++i) {
        put32At(img, table + 40 * i + 16, sections[i].second);  // raw data size
        put32At(img, table + 40 * i + 20, sections[i].first);   // raw data offset
    }
    const auto& last = sections.back();
    size_t start = last.first + last.second;
    if (img.size() < start) img.resize(start, '\0');
    img.resize(start);
    img += block;
    if (blockStart) *blockStart = start;
    return img;
}

struct Decoded {
    const char* fatal;
    ConfigData data;
};

Decoded decode(const std::string& bytes, const std::string& language = "en") {
    MemoryByteSource source(bytes);
    Decoded d{nullptr, {}};
    d.fatal = decodeConfigBlock(source, [&] { return language; }, &d.data);
    return d;
}

const std::vector<std::pair<uint32_t, uint32_t>> kSections = {{0x400, 0x200}, {0x600, 0x400}};

}  // namespace

TEST(ConfigBlock, EmptyBlockIsValidAndEndsAfter32Bytes) {
    size_t start = 0;
    std::string img = image(kSections, blockHeader() + blockBody({}));
    img = image(kSections, blockHeader() + blockBody({}), &start);
    Decoded d = decode(img + std::string("\xE8\xE4\x13\xD5", 4) + std::string(12, '\0'));
    ASSERT_EQ(d.fatal, nullptr);
    EXPECT_TRUE(d.data.strings.empty());
    EXPECT_EQ(d.data.endPosition, start + 32);
}

TEST(ConfigBlock, ReadsStringsWideStringsAndLogsTheHeaderLookup) {
    hostLogClear();
    size_t start = 0;
    std::string img = image(kSections,
                            blockHeader() + blockBody({{122, "com.example.Main"}, {107, "0"}, {1000, ""}},
                                                      {{1000, u"Fehler \u00e4"}}),
                            &start);
    Decoded d = decode(img);
    ASSERT_EQ(d.fatal, nullptr);
    EXPECT_EQ(d.data.strings.at(122), "com.example.Main");
    EXPECT_EQ(d.data.strings.at(1000), "");
    EXPECT_EQ(d.data.wideStrings.at(1000), u"Fehler \u00e4");
    EXPECT_EQ(d.data.endPosition, img.size());
    std::vector<std::string> expected = {
        "number of sections: 2", "size of optional headers: 240",
        "resSectionTableStart: " + std::to_string(kPeOffset + 24 + kOptionalHeaderSize + 40),
        "rawDataSize: 1024, rawDataOffset: 1536"};
    std::vector<std::string> lines = hostLogLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 4), expected);
}

TEST(ConfigBlock, LastTableEntryIsUsedEvenWhenAnEarlierSectionEndsLater) {
    // The first section ends at 0x1000, the last one at 0x800: the block sits at 0x800.
    size_t start = 0;
    std::string img = image({{0x800, 0x800}, {0x400, 0x400}}, "", &start);
    ASSERT_EQ(start, 0x800u);
    img += blockHeader() + blockBody({{101, "App"}});
    // The bytes where the other section's data would be are the block itself.
    Decoded d = decode(img);
    ASSERT_EQ(d.fatal, nullptr);
    EXPECT_EQ(d.data.strings.at(101), "App");
}

TEST(ConfigBlock, SameIdTwiceKeepsTheLaterValueAndUnknownIdsAreKept) {
    Decoded d = decode(image(kSections, blockHeader() + blockBody({{122, "first"}, {99999, "x"}, {122, "second"}},
                                                                  {{5, u"a"}, {5, u"b"}})));
    ASSERT_EQ(d.fatal, nullptr);
    EXPECT_EQ(d.data.strings.at(122), "second");
    EXPECT_EQ(d.data.strings.at(99999), "x");
    EXPECT_EQ(d.data.wideStrings.at(5), u"b");
}

TEST(ConfigBlock, NegativeCountsMeanNoEntries) {
    std::string body;
    put32(body, 0xFFFFFFFFu);  // NS = -1
    put32(body, 0x80000000u);  // NW = INT_MIN
    put32(body, 0xFFFFFFFEu);  // NL = -2
    size_t start = 0;
    Decoded d = decode(image(kSections, blockHeader() + body, &start));
    ASSERT_EQ(d.fatal, nullptr);
    EXPECT_TRUE(d.data.strings.empty());
    EXPECT_EQ(d.data.endPosition, start + 32);
}

TEST(ConfigBlock, LanguageSetsApplyWhenTheirKeyIsAPrefixOfTheCode) {
    std::vector<LanguageSetSpec> sets = {
        {"de", {{1000, u"de"}, {1001, u"de only"}}},
        {"de_DE", {{1000, u"de_DE"}}},
        {"fr", {{1000, u"fr"}}},
        {"", {{1002, u"any"}}},
        {"de_DEX", {{1000, u"longer key"}}},
    };
    std::string block = blockHeader() + blockBody({}, {{1000, u"base"}, {1003, u"untouched"}}, sets);
    struct Row {
        const char* language;
        const char16_t* caption;
        const char16_t* extra;  // id 1001, nullptr when absent
    } rows[] = {
        {"de_DE", u"de_DE", u"de only"},  // both match, the later set wins
        {"de_AT", u"de", u"de only"},     // only "de"
        {"de", u"de", u"de only"},        // "de_DE" is longer than the code
        {"fr_FR", u"fr", nullptr},
        {"en", u"base", nullptr},  // no keyed set matches
    };
    for (const Row& row : rows) {
        Decoded d = decode(image(kSections, block), row.language);
        ASSERT_EQ(d.fatal, nullptr) << row.language;
        EXPECT_EQ(d.data.wideStrings.at(1000), row.caption) << row.language;
        EXPECT_EQ(d.data.wideStrings.count(1001) ? d.data.wideStrings.at(1001) : std::u16string(),
                  row.extra ? std::u16string(row.extra) : std::u16string())
            << row.language;
        EXPECT_EQ(d.data.wideStrings.at(1002), u"any") << "empty key always applies";
        EXPECT_EQ(d.data.wideStrings.at(1003), u"untouched");
    }
}

TEST(ConfigBlock, NonMatchingSetsAreReadPastSoTheEndPositionIsRight) {
    std::string block = blockHeader() + blockBody({{1, "x"}}, {}, {{"ja", {{1000, u"\u30a8\u30e9\u30fc"}}}});
    std::string img = image(kSections, block);
    Decoded d = decode(img + std::string("\xE8\xE4\x13\xD5", 4), "en");
    ASSERT_EQ(d.fatal, nullptr);
    EXPECT_EQ(d.data.endPosition, img.size());
    EXPECT_EQ(d.data.wideStrings.count(1000), 0u);
}

TEST(ConfigBlock, LanguageIsSelectedAfterTheWideStringsAndBeforeTheSets) {
    std::string img = image(kSections, blockHeader() + blockBody({{1, "x"}}, {{2, u"y"}}, {{"", {}}}));
    MemoryByteSource source(img);
    ConfigData data;
    int calls = 0;
    uint64_t positionAtSelection = 0;
    const char* fatal = decodeConfigBlock(
        source,
        [&] {
            ++calls;
            positionAtSelection = source.position();
            return std::string("en");
        },
        &data);
    ASSERT_EQ(fatal, nullptr);
    EXPECT_EQ(calls, 1);
    // Just before NL: the rest is NL (4), the key (4) and NE (4).
    EXPECT_EQ(positionAtSelection, img.size() - 12);
}

TEST(ConfigBlock, BadInputEndsWithThePrimitivesText) {
    std::string good = blockHeader() + blockBody({{122, "Main"}}, {{1000, u"Err"}}, {{"de", {{1000, u"F"}}}});
    std::string wrongMagic = good;
    put32At(wrongMagic, 0, 0xD513E4E8u);
    std::string negativeLength = blockHeader();
    put32(negativeLength, 1);
    put32(negativeLength, 122);
    put32(negativeLength, 0xFFFFFFFFu);
    std::string hugeLength = blockHeader();
    put32(hugeLength, 1);
    put32(hugeLength, 122);
    put32(hugeLength, 0x7FFFFFF0u);
    std::string wideTooLong = blockHeader();
    put32(wideTooLong, 0);
    put32(wideTooLong, 1);
    put32(wideTooLong, 1000);
    put32(wideTooLong, 100);
    wideTooLong += "ab";
    std::string negativeWide = blockHeader();
    put32(negativeWide, 0);
    put32(negativeWide, 1);
    put32(negativeWide, 1000);
    put32(negativeWide, 0x80000000u);
    std::string keyTooLong = blockHeader();
    put32(keyTooLong, 0);
    put32(keyTooLong, 0);
    put32(keyTooLong, 1);
    put32(keyTooLong, 1000);
    struct Row {
        const char* name;
        std::string image;
        const char* text;
    } rows[] = {
        {"no block after the last section", image(kSections, ""), texts::kMagic},
        {"something else after the last section", image(kSections, std::string(64, 'x')), texts::kMagic},
        {"wrong magic", image(kSections, wrongMagic), texts::kMagic},
        {"negative string length", image(kSections, negativeLength), texts::kReadString},
        {"string length near 2^31", image(kSections, hugeLength), texts::kReadString},
        {"wide length beyond the file", image(kSections, wideTooLong), texts::kReadWString},
        {"negative wide length", image(kSections, negativeWide), texts::kReadWString},
        {"language key beyond the file", image(kSections, keyTooLong), texts::kReadString},
        {"file shorter than the DOS header", std::string(40, 'M'), texts::kReadInt},
    };
    for (const Row& row : rows) {
        Decoded d = decode(row.image);
        ASSERT_NE(d.fatal, nullptr) << row.name;
        EXPECT_STREQ(d.fatal, row.text) << row.name;
    }
}

TEST(ConfigBlock, EntriesReadBeforeAFailureAreKeptForTheMessage) {
    // A block cut off at the end of each part: what was read before the cut stays.
    std::string whole = blockHeader() + blockBody({{1000, "Kaputt"}, {122, "Main"}}, {{1009, u"Intern"}},
                                                  {{"de", {{1000, u"Fehler"}, {1001, u"x"}}}});
    const std::string narrowEnd = blockHeader() + blockBody({{1000, "Kaputt"}, {122, "Main"}});
    const size_t afterNarrow = narrowEnd.size() - 8;  // before NW and NL of that shorter block
    struct Row {
        const char* name;
        size_t cut;  // bytes of the block kept
        const char* text;
        std::string caption;                  // narrow 1000
        std::u16string wideCaption, intern;   // wide 1000, wide 1009
    } rows[] = {
        {"cut inside the first string", 20 + 4 + 4 + 4 + 3, texts::kReadString, "", u"", u""},
        {"cut inside the second string", afterNarrow - 2, texts::kReadString, "Kaputt", u"", u""},
        {"cut inside the wide string", afterNarrow + 4 + 4 + 4 + 6, texts::kReadWString, "Kaputt", u"", u""},
        {"cut inside the language set's second entry", whole.size() - 1, texts::kReadWString, "Kaputt", u"Fehler",
         u"Intern"},
    };
    for (const Row& row : rows) {
        Decoded d = decode(image(kSections, whole.substr(0, row.cut)), "de_DE");
        ASSERT_NE(d.fatal, nullptr) << row.name;
        EXPECT_STREQ(d.fatal, row.text) << row.name;
        auto narrow = d.data.strings.find(1000);
        EXPECT_EQ(narrow == d.data.strings.end() ? std::string() : narrow->second, row.caption) << row.name;
        auto wide = d.data.wideStrings.find(1000);
        EXPECT_EQ(wide == d.data.wideStrings.end() ? std::u16string() : wide->second, row.wideCaption) << row.name;
        auto intern = d.data.wideStrings.find(1009);
        EXPECT_EQ(intern == d.data.wideStrings.end() ? std::u16string() : intern->second, row.intern) << row.name;
    }
}

TEST(ConfigBlock, PeHeaderOutsideTheFileFailsWithTheReadOfThatField) {
    std::string img = image(kSections, blockHeader() + blockBody({}));
    std::string farPe = img;
    put32At(farPe, 60, 0x7FFFFFF0u);
    std::string negativePe = img;
    put32At(negativePe, 60, 0xFFFFFFF0u);
    std::string cutTable = img.substr(0, kPeOffset + 24 + kOptionalHeaderSize + 40 + 16);
    EXPECT_STREQ(decode(farPe).fatal, texts::kReadShort);
    EXPECT_STREQ(decode(negativePe).fatal, texts::kReadShort);
    EXPECT_STREQ(decode(cutTable).fatal, texts::kReadInt);
}

TEST(ConfigBlock, CutOffAtEveryOffsetFailsWithAReadText) {
    size_t start = 0;
    std::string block = blockHeader() + blockBody({{122, "Main"}, {1, ""}}, {{1000, u"Err"}},
                                                  {{"de", {{1000, u"F"}}}, {"", {}}});
    std::string img = image(kSections, block, &start);
    const std::set<std::string> readTexts = {texts::kReadInt, texts::kReadLong, texts::kReadString,
                                             texts::kReadWString};
    for (size_t cut = start; cut < img.size(); ++cut) {
        Decoded d = decode(img.substr(0, cut));
        ASSERT_NE(d.fatal, nullptr) << "cut at block offset " << cut - start;
        if (cut - start < 4)
            EXPECT_STREQ(d.fatal, texts::kMagic) << cut - start;
        else
            EXPECT_EQ(readTexts.count(d.fatal), 1u) << cut - start << ": " << d.fatal;
    }
    // Offsets 12..19 hold the 64-bit value, read with its own primitive.
    EXPECT_STREQ(decode(img.substr(0, start + 15)).fatal, texts::kReadLong);
    EXPECT_STREQ(decode(img.substr(0, start + 22)).fatal, texts::kReadInt);
    // The block ending exactly at the end of the file is fine.
    EXPECT_EQ(decode(img).fatal, nullptr);
}

TEST(ConfigBlock, OddWideLengthUsesTheWholeUnitsAndKeepsReadingInStep) {
    std::string body;
    put32(body, 0);
    put32(body, 2);
    put32(body, 7);
    put32(body, 5);
    body += std::string("a\0b\0c", 5);  // 2 units and a stray byte
    put32(body, 8);
    putWide(body, u"next");
    put32(body, 0);
    Decoded d = decode(image(kSections, blockHeader() + body));
    ASSERT_EQ(d.fatal, nullptr);
    EXPECT_EQ(d.data.wideStrings.at(7), u"ab");
    EXPECT_EQ(d.data.wideStrings.at(8), u"next");
}

TEST(ConfigBlock, ReadPrimitivesLogTheirErrorLines) {
    hostLogClear();
    MemoryByteSource source(std::string("\x01\x02", 2));
    int32_t v32 = 0;
    const char* fatal = nullptr;
    EXPECT_FALSE(readInt32(source, &v32, &fatal));
    EXPECT_STREQ(fatal, texts::kReadInt);
    MemoryByteSource empty("");
    int16_t v16 = 0;
    int64_t v64 = 0;
    EXPECT_FALSE(readInt16(empty, &v16, &fatal));
    EXPECT_STREQ(fatal, texts::kReadShort);
    EXPECT_FALSE(readInt64(empty, &v64, &fatal));
    EXPECT_STREQ(fatal, texts::kReadLong);
    EXPECT_EQ(hostLogLines(), (std::vector<std::string>{"error 0 2\n", "error 0\n", "error 0\n"}));
}

TEST(ConfigBlock, InstalledConfigAnswersLookups) {
    Decoded d = decode(image(kSections, blockHeader() + blockBody({{107, "2"}, {154, "1"}, {10114, "10,20,30"}})));
    ASSERT_EQ(d.fatal, nullptr);
    installConfig(d.data);
    EXPECT_EQ(getConfigInt(CFG_EXE_TYPE), 2);
    EXPECT_TRUE(getConfigFlag(CFG_UNATTENDED_SWITCHES));
    EXPECT_FALSE(getConfigFlag(CFG_CONSOLE_SWITCH));
    EXPECT_EQ(getConfigColor(CFG_STATUS_TEXT_COLOR), 0x001E140Au);
    EXPECT_EQ(getConfigString(CFG_MAIN_CLASS), "");
    setConfigForTesting({});
}
