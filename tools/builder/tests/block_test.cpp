// Block layout, PE lookup and the defaults of a finished block.
#include "test_util.h"

#include "launcher/config_ids.h"
#include "launcher/default_texts.h"
#include "launcher/texts.h"

using testutil::bytes;
using testutil::fakePe;

namespace {

builder::BlockData smallBlock() {
    builder::BlockData block;
    block.strings.push_back({122, "a.B"});
    block.wides.push_back({101, u"\u00DC"});
    builder::LanguageSet set;
    set.key = "de";
    set.entries.push_back({1000, u"F"});
    block.sets.push_back(set);
    return block;
}

TEST(Block, GoldenBytes) {
    const std::string expected = bytes({
        0xD5, 0x13, 0xE4, 0xE8,                          // magic
        0, 0, 0, 0, 0, 0, 0, 0,                          // reserved words
        0x3D, 0, 0, 0, 0, 0, 0, 0,                       // 61 bytes from offset 12 to the end
        1, 0, 0, 0,                                      // NS
        0x7A, 0, 0, 0, 3, 0, 0, 0, 'a', '.', 'B',        // 122 = "a.B"
        1, 0, 0, 0,                                      // NW
        0x65, 0, 0, 0, 2, 0, 0, 0, 0xDC, 0,              // 101 = L"Ü"
        1, 0, 0, 0,                                      // NL
        2, 0, 0, 0, 'd', 'e',                            // key "de"
        1, 0, 0, 0,                                      // NE
        0xE8, 3, 0, 0, 2, 0, 0, 0, 'F', 0,               // 1000 = L"F"
    });
    EXPECT_EQ(builder::encodeBlock(smallBlock()), expected);
}

TEST(Block, EmptyBlockIs32Bytes) {
    std::string block = builder::encodeBlock(builder::BlockData());
    EXPECT_EQ(block, bytes({0xD5, 0x13, 0xE4, 0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0,
                            0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Block, DecodeReadsWhatEncodeWrote) {
    std::string image = "prefix" + builder::encodeBlock(smallBlock()) + "tail";
    builder::BlockData block;
    uint64_t end = 0;
    std::string error;
    ASSERT_TRUE(builder::decodeBlock(image, 6, block, end, error)) << error;
    EXPECT_EQ(end, image.size() - 4);
    EXPECT_EQ(block.reserved64, 61u);
    ASSERT_EQ(block.strings.size(), 1u);
    EXPECT_EQ(block.strings[0].value, "a.B");
    ASSERT_EQ(block.sets.size(), 1u);
    EXPECT_EQ(block.sets[0].entries[0].value, u"F");
}

TEST(Block, DecodeRejectsDamage) {
    std::string good = builder::encodeBlock(smallBlock());
    struct Case {
        const char* what;
        std::string image;
        const char* expected;
    } cases[] = {
        {"wrong magic", "XXXX" + good.substr(4), "no configuration block"},
        {"cut in the header", good.substr(0, 10), "block cut off"},
        {"cut inside a string", good.substr(0, 33), "block cut off"},
        {"cut before the language sets", good.substr(0, 49), "block cut off"},
        {"negative wide length", good.substr(0, 43) + bytes({0xFF, 0xFF, 0xFF, 0xFF}) + good.substr(47),
         "bad wide-string byte length -1"},
        {"negative string length", good.substr(0, 28) + bytes({0xFF, 0xFF, 0xFF, 0xFF}) + good.substr(32),
         "negative string length"},
    };
    for (const Case& c : cases) {
        builder::BlockData block;
        uint64_t end = 0;
        std::string error;
        EXPECT_FALSE(builder::decodeBlock(c.image, 0, block, end, error)) << c.what;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
    }
}

TEST(Block, OddWideLengthDropsTheLastByteAsTheLauncherDoes) {
    std::string good = builder::encodeBlock(smallBlock());
    // The wide string of id 101 ("\u00DC", 2 bytes at offset 47) given 3 bytes: one more byte behind it.
    std::string odd = good.substr(0, 43) + bytes({3}) + good.substr(44, 5) + "\x7F" + good.substr(49);
    builder::BlockData block;
    uint64_t end = 0;
    std::string error;
    ASSERT_TRUE(builder::decodeBlock(odd, 0, block, end, error)) << error;
    EXPECT_EQ(end, odd.size());
    ASSERT_EQ(block.wides.size(), 1u);
    EXPECT_EQ(block.wides[0].value, u"\u00DC");
    EXPECT_EQ(block.oddWideLengths, 1u);
    ASSERT_EQ(block.sets.size(), 1u);
    EXPECT_EQ(block.sets[0].entries[0].value, u"F") << "the entries after it are read in step";
    EXPECT_NE(builder::dumpBlock(block, {}, false).find("# 1 wide string(s) of this block have an odd byte length"),
              std::string::npos);
}

TEST(Block, NegativeCountsMeanNoEntries) {
    std::string image = bytes({0xD5, 0x13, 0xE4, 0xE8, 0, 0, 0, 0, 0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0,
                               0xFF, 0xFF, 0xFF, 0xFF, 0x80, 0, 0, 0x80, 0, 0, 0, 0});
    builder::BlockData block;
    uint64_t end = 0;
    std::string error;
    ASSERT_TRUE(builder::decodeBlock(image, 0, block, end, error)) << error;
    EXPECT_EQ(end, 32u);
    EXPECT_TRUE(block.strings.empty() && block.wides.empty() && block.sets.empty());
}

TEST(Block, TrailerPadsToMultipleOf512) {
    for (uint64_t end : {0ull, 100ull, 507ull, 508ull, 509ull, 1024ull}) {
        std::string trailer = builder::blockTrailer(end);
        EXPECT_EQ(trailer.substr(0, 4), bytes({0xE8, 0xE4, 0x13, 0xD5})) << end;
        EXPECT_EQ((end + trailer.size()) % 512, 0u) << end;
        EXPECT_LT(trailer.size(), 516u) << end;
        EXPECT_EQ(trailer.find_first_not_of('\0', 4), std::string::npos) << end;
    }
    EXPECT_EQ(builder::blockTrailer(508).size(), 4u);
}

TEST(Pe, BlockStartIsTheEndOfTheLastTableEntry) {
    uint64_t start = 0;
    std::string error;
    ASSERT_TRUE(builder::findBlockStart(fakePe({{0x200, 0x200}}), start, error)) << error;
    EXPECT_EQ(start, 0x400u);
    // The last entry is not the one with the highest raw-data end: it still decides.
    ASSERT_TRUE(builder::findBlockStart(fakePe({{0x400, 0x200}, {0x200, 0x100}}), start, error)) << error;
    EXPECT_EQ(start, 0x300u);
}

TEST(Pe, RejectsWhatIsNotAPe32PlusImage) {
    std::string pe = fakePe();
    std::string badSignature = pe;
    badSignature[0x81] = 'X';
    std::string manySections = pe;
    testutil::put(manySections, 0x86, 200, 2);  // the table would reach far beyond the file
    std::string rawBeyond = fakePe({{0x200, 0x200}});
    rawBeyond.resize(0x300);
    std::string farOffset = pe;
    testutil::put(farOffset, 0x80 + 24 + 240 + 20, 0xFFFFFF00u, 4);
    struct Case {
        const char* what;
        std::string image;
        const char* expected;
    } cases[] = {
        {"empty file", "", "not a PE32+ image"},
        {"MZ only", "MZ", "not a PE32+ image"},
        {"text", std::string(300, 'a'), "not a PE32+ image"},
        {"PE offset beyond the file", pe.substr(0, 0x40) + std::string(0x40, '\0'), "not a PE32+ image"},
        {"no PE signature", badSignature, "not a PE32+ image"},
        {"PE32 image", fakePe({{0x200, 0x200}}, 0x10B), "not a PE32+ image"},
        {"section table beyond the file", manySections, "the section table reaches beyond the end of the file"},
        {"raw data beyond the file", rawBeyond, "lies beyond the end of the file"},
        {"raw offset near 4 GB", farOffset, "lies beyond the end of the file"},
    };
    for (const Case& c : cases) {
        uint64_t start = 0;
        std::string error;
        EXPECT_FALSE(builder::findBlockStart(c.image, start, error)) << c.what;
        EXPECT_NE(error.find(c.expected), std::string::npos) << c.what << ": " << error;
    }
}

TEST(FinishBlock, DefaultsAndAscendingOrder) {
    builder::BuildInput input;
    std::string error;
    ASSERT_TRUE(builder::parseConfigText("MAIN_CLASS = m\nMSG_ERROR_CAPTION = Oops\n99999 = x\n-3 = y\n", "c", ".",
                                         input, error));
    builder::BlockData block;
    ASSERT_TRUE(builder::finishBlock(input, block, error)) << error;
    std::map<int32_t, std::string> values;
    for (size_t i = 0; i < block.strings.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(block.strings[i - 1].id, block.strings[i].id);
        }
        values[block.strings[i].id] = block.strings[i].value;
    }
    EXPECT_EQ(block.strings.front().id, -3);
    EXPECT_EQ(block.strings.back().id, 99999);
    // The configured values, and for every other known id its default from the one table, or
    // nothing (no files, no FILE_COUNT): no more, no less.
    std::map<int32_t, std::string> expected = {{-3, "y"}, {122, "m"}, {1000, "Oops"}, {99999, "x"}};
    int count = 0;
    const ConfigIdInfo* table = configIdTable(&count);
    for (int i = 0; i < count; ++i) {
        const char* def = builder::defaultValue(table[i].id);
        if (def) expected.emplace(table[i].id, def);
        // Every message text comes from the launcher's table of default texts; reserved ids are carried empty.
        const std::string name = table[i].name;
        if (name.compare(0, 4, "MSG_") == 0) {
            ASSERT_NE(def, nullptr) << name;
            EXPECT_STREQ(def, defaultMessageText(table[i].id)) << name;
        }
        if (name.compare(0, 9, "RESERVED_") == 0) {
            EXPECT_STREQ(def, "") << name;
        }
    }
    EXPECT_EQ(values, expected);
    for (const DefaultMessageText& d : kDefaultMessageTexts) EXPECT_NE(findConfigId(d.id), nullptr) << d.id;
}

TEST(FinishBlock, FilesSetCountAndListAndRefuseHandSetValues) {
    builder::BuildInput input;
    std::string error;
    ASSERT_TRUE(builder::parseConfigText("[files]\nlib/a.jar = a\nb.jar = b\n", "c", ".", input, error));
    ASSERT_TRUE(builder::applyFileArgument("user/c.jar=c", input, error)) << error;
    builder::BlockData block;
    ASSERT_TRUE(builder::finishBlock(input, block, error)) << error;
    std::map<int32_t, std::string> values;
    for (const auto& e : block.strings) values[e.id] = e.value;
    EXPECT_EQ(values[2002], "3");
    EXPECT_EQ(values[2003], "lib\\a.jar;b.jar;user\\c.jar");

    for (const char* text : {"FILE_COUNT = 3\n[files]\na = a\n", "2003 = a\n[files]\na = a\n"}) {
        builder::BuildInput other;
        ASSERT_TRUE(builder::parseConfigText(text, "c.conf", ".", other, error)) << error;
        ASSERT_FALSE(builder::finishBlock(other, block, error)) << text;
        EXPECT_EQ(error.compare(0, 9, "c.conf:1:"), 0) << error;
        EXPECT_NE(error.find("is set by hand while files are appended"), std::string::npos) << error;
    }
}

}  // namespace
