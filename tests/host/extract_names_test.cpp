// Names of appended files and the extraction directory's form.
#include <gtest/gtest.h>

#include "files/extract.h"

namespace {

struct NameCase {
    const char* name;
    bool safe;
    const char* why;
};

TEST(ExtractNames, OnlyNamesInsideTheDirectoryAreSafe) {
    const NameCase cases[] = {
        {"app.jar", true, "plain name"},
        {"user\\lib.jar", true, "one directory level"},
        {"a..b.jar", true, "dots inside a name"},
        {"..jar", true, "a name beginning with two dots and more"},
        {".\\x.jar", true, "current directory component stays inside"},
        {"", false, "empty name"},
        {"..", false, "parent directory"},
        {"..\\evil.jar", false, "parent component first"},
        {"user\\..\\..\\evil.jar", false, "parent component later"},
        {"user\\..", false, "parent component last"},
        {"../evil.jar", false, "forward slash separates too"},
        {"user/../../evil.jar", false, "forward slash later"},
        {". .\\evil.jar", false, "dots and blanks Windows reads as parent"},
        {"...\\evil.jar", false, "three dots"},
        {".. \\evil.jar", false, "trailing blank after two dots"},
        {"\\evil.jar", false, "rooted on the current drive"},
        {"/evil.jar", false, "rooted with a forward slash"},
        {"\\\\server\\share\\evil.jar", false, "UNC path"},
        {"C:\\evil.jar", false, "absolute with drive"},
        {"C:evil.jar", false, "drive-relative"},
        {"lib.jar:stream", false, "colon (alternate stream)"},
    };
    for (const NameCase& c : cases) EXPECT_EQ(isSafeEntryName(c.name), c.safe) << c.why << ": " << c.name;
}

TEST(ExtractNames, FileListSkipsEmptyItems) {
    EXPECT_EQ(splitFileList("a.jar;user\\b.jar"), (std::vector<std::string>{"a.jar", "user\\b.jar"}));
    EXPECT_EQ(splitFileList(";;a.jar;;b.jar;"), (std::vector<std::string>{"a.jar", "b.jar"}));
    EXPECT_TRUE(splitFileList("").empty());
    EXPECT_TRUE(splitFileList(";;").empty());
}

TEST(ExtractNames, DirectoryPartAndJoin) {
    EXPECT_EQ(entryDirectory("user\\lib.jar"), "user");
    EXPECT_EQ(entryDirectory("lib.jar"), "");
    EXPECT_EQ(entryDirectory("a\\b\\c.jar"), "a");
    EXPECT_EQ(joinPath("C:\\t", "*.*"), "C:\\t\\*.*");
    EXPECT_EQ(joinPath("C:\\", "*.*"), "C:\\*.*");
}

TEST(ExtractNames, ExtractionDirectoryIsTempFileWithDirAndSeconds) {
    EXPECT_EQ(extractionDirName("C:\\Temp\\tvx1A2.tmp", 1700000000LL), "C:\\Temp\\tvx1A2.tmp_dir1700000000");
}

TEST(ExtractNames, UnscrambleSwapsD6AndZero) {
    unsigned char data[] = {0xD6, 0x00, 0x41, 0xFF};
    unscrambleBytes(data, sizeof data);
    EXPECT_EQ(data[0], 0x00);
    EXPECT_EQ(data[1], 0xD6);
    EXPECT_EQ(data[2], 0x41 ^ 0xD6);
    EXPECT_EQ(data[3], 0xFF ^ 0xD6);
}

}  // namespace

TEST(ExtractNames, OwnerRecordOfAnExtractionDirectory) {
    EXPECT_EQ(ownerRecord(1234, 133456789012345678ull), "tovex-owner 1234 133456789012345678");
    struct Row {
        const char* text;
        bool ok;
        uint32_t pid;
        uint64_t time;
    } rows[] = {
        {"tovex-owner 1234 133456789012345678", true, 1234, 133456789012345678ull},
        {"tovex-owner 4294967295 18446744073709551615", true, 4294967295u, 18446744073709551615ull},
        {"tovex-owner 4294967296 1", false, 0, 0},           // not a process id
        {"tovex-owner 1 18446744073709551616", false, 0, 0},  // beyond 64 bits
        {"", false, 0, 0},                                    // the empty file of an older launcher
        {"tovex-owner 12", false, 0, 0},
        {"tovex-owner 12 ", false, 0, 0},
        {"tovex-owner 12 34 ", false, 0, 0},
        {"tovex-owner -12 34", false, 0, 0},
        {"owner 12 34", false, 0, 0},
    };
    for (const Row& row : rows) {
        uint32_t pid = 0;
        uint64_t time = 0;
        EXPECT_EQ(parseOwnerRecord(row.text, pid, time), row.ok) << row.text;
        if (row.ok) {
            EXPECT_EQ(std::make_pair(pid, time), std::make_pair(row.pid, row.time)) << row.text;
        }
    }
}

TEST(ExtractNames, OwnerFileOfAnExtractionDirectoryName) {
    const std::pair<const char*, const char*> rows[] = {
        {"tvx1A2B.tmp_dir1765200000", "tvx1A2B.tmp"},
        {"TVX1A2B.TMP_dir1765200000", "TVX1A2B.TMP"},      // as the system may spell it
        {"tvx_dir_x_dir17", "tvx_dir_x"},                   // the last "_dir" counts
        {"tvx1A2B.tmp_dir", ""},                            // no seconds
        {"tvx1A2B.tmp_dir17x", ""},                         // not only digits
        {"tvx_dir17", ""},                                  // no name before "_dir"
        {"app_dir17", ""},                                  // not a temporary name of ours
        {"tvx_w_testdir", ""},
    };
    for (const auto& row : rows) EXPECT_EQ(ownerFileOfExtractionDir(row.first), row.second) << row.first;
}

TEST(ExtractionFailure, FolderAndFullDiskNamed) {
    EXPECT_EQ(folderWriteFailureText("C:\\Users\\a\\Temp", 112),
              "\n\nThe disk that holds the folder C:\\Users\\a\\Temp is full.\n\nWhat to do: free some space on that disk "
              "and start the program again.");
    EXPECT_EQ(folderWriteFailureText("C:\\T", 39), folderWriteFailureText("C:\\T", 112));
    EXPECT_EQ(folderWriteFailureText("C:\\T", 5),
              "\n\nThe folder C:\\T could not be written to (Windows error 5).\n\nWhat to do: make sure that folder "
              "exists and can be written to, or set the TMP environment variable to a folder that can, and start "
              "the program again.");
}
