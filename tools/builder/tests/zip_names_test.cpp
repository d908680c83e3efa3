// The entry names of zip archives, read from their central directories.
#include "test_util.h"
#include "zip_names.h"

namespace {

// The same names behind a ZIP64 end record: the classic end record holds 0xFFFF and
// 0xFFFFFFFF, the ZIP64 record and its locator the true values.
std::string zip64(const std::vector<std::string>& names) {
    std::string zip = testutil::zipArchive(names);
    std::string classic = zip.substr(zip.size() - 22);
    std::string body = zip.substr(0, zip.size() - 22);
    uint64_t directorySize = (classic[12] & 0xFF) | (classic[13] & 0xFF) << 8;
    uint64_t directoryOffset = (classic[16] & 0xFF) | (classic[17] & 0xFF) << 8;
    std::string record(56, '\0');
    testutil::put(record, 0, 0x06064b50, 4);
    testutil::put(record, 4, 44, 8);
    testutil::put(record, 24, names.size(), 8);
    testutil::put(record, 32, names.size(), 8);
    testutil::put(record, 40, directorySize, 8);
    testutil::put(record, 48, directoryOffset, 8);
    std::string locator(20, '\0');
    testutil::put(locator, 0, 0x07064b50, 4);
    testutil::put(locator, 8, body.size(), 8);
    testutil::put(locator, 16, 1, 4);
    testutil::put(classic, 8, 0xFFFF, 2);
    testutil::put(classic, 10, 0xFFFF, 2);
    testutil::put(classic, 12, 0xFFFFFFFF, 4);
    testutil::put(classic, 16, 0xFFFFFFFF, 4);
    return body + record + locator + classic;
}

struct ZipCase {
    const char* what;
    std::string data;
    std::vector<std::string> names;  // expected
    const char* error;               // nullptr: read
};

TEST(ZipNames, CentralDirectory) {
    std::string cut = testutil::zipArchive({"a/B.class", "c.txt"});
    std::string damaged = cut;
    damaged[damaged.size() - 22 - 2 * 46 - 12] = 'X';  // the signature of the first directory entry
    std::string pastEnd = cut;
    testutil::put(pastEnd, pastEnd.size() - 22 + 12, 0x1000, 4);  // directory size beyond the data
    const std::vector<ZipCase> cases = {
        {"names in directory order", testutil::zipArchive({"META-INF/MANIFEST.MF", "a/", "a/B.class"}),
         {"META-INF/MANIFEST.MF", "a/", "a/B.class"}, nullptr},
        {"an empty archive", testutil::zipArchive({}), {}, nullptr},
        {"an archive comment that holds an end signature",
         testutil::zipArchive({"x"}, std::string("PK\x05\x06 not the end", 17)), {"x"}, nullptr},
        {"ZIP64 end records", zip64({"a/B.class", "c"}), {"a/B.class", "c"}, nullptr},
        {"too short", "PK", {}, "not a zip archive (too short)"},
        {"no end record", std::string(100, 'x'), {}, "not a zip archive (no end of central directory record)"},
        {"a damaged directory entry", damaged, {}, "a damaged central directory (entry 1 of 2)"},
        {"a directory past the data", pastEnd, {}, "the central directory lies outside the archive"},
        {"cut off before its end record", cut.substr(0, cut.size() - 1), {},
         "not a zip archive (no end of central directory record)"},
    };
    for (const ZipCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> names;
        std::string error;
        EXPECT_EQ(builder::zipEntryNames(c.data, names, error), c.error == nullptr);
        if (c.error) {
            EXPECT_EQ(error, c.error);
        } else {
            EXPECT_EQ(names, c.names);
        }
    }
}

}  // namespace
