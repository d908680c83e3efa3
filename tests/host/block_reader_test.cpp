// The read-ahead window gives the decoder exactly what reading every field
// straight from the file gives (results, positions, log lines), with few reads.
#include <gtest/gtest.h>

#include <algorithm>

#include "launcher/block_reader.h"
#include "launcher/config_block.h"
#include "launcher/log.h"
#include "launcher/texts.h"

namespace {

constexpr uint32_t kEndOfFile = 38;  // the system's code for a read short of the end
constexpr uint32_t kReadFault = 23;

// A file in memory read at offsets, as a file handle would be; it can deliver
// at most maxPerCall bytes per call, and fail every read that reaches failFrom.
struct FakeFile : PositionalReader {
    std::string bytes;
    uint32_t maxPerCall = UINT32_MAX;
    uint64_t failFrom = UINT64_MAX;
    int calls = 0;
    uint32_t error = 0;

    bool readAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* got) override {
        ++calls;
        *got = 0;
        if (count > 0 && offset + count > failFrom) {
            error = kReadFault;
            return false;
        }
        uint64_t available = offset < bytes.size() ? bytes.size() - offset : 0;
        uint32_t n = static_cast<uint32_t>(std::min<uint64_t>({count, available, maxPerCall}));
        std::copy_n(bytes.data() + offset, n, static_cast<char*>(buffer));
        *got = n;
        error = n == count ? 0 : kEndOfFile;
        return true;
    }
    uint32_t lastError() const override { return error; }
};

// Every field read straight from the file at the current position: one read per field.
class DirectSource : public ByteSource {
public:
    explicit DirectSource(FakeFile& file) : file_(file) {}
    bool read(void* buffer, uint32_t count, uint32_t* got) override {
        bool ok = file_.readAt(position_, buffer, count, got);
        position_ += *got;
        return ok;
    }
    bool seek(uint64_t position) override {
        position_ = position;
        return position <= 0x7FFFFFFFFFFFFFFFull;
    }
    uint64_t position() const override { return position_; }
    uint64_t size() const override { return file_.bytes.size(); }
    uint32_t lastError() const override { return file_.lastError(); }

private:
    FakeFile& file_;
    uint64_t position_ = 0;
};

void put32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void put32At(std::string& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

constexpr uint32_t kBlockStart = 0x9000;

// Headers at the start, one section whose raw data ends at kBlockStart, then the
// block: nStrings strings of stringSize bytes, two wide strings, a language set.
std::string exeWithBlock(int nStrings, size_t stringSize, size_t* blockEnd) {
    std::string b(kBlockStart, '\0');
    b[0] = 'M';
    b[1] = 'Z';
    put32At(b, 60, 0x80);
    b[0x80 + 6] = 1;       // one section
    b[0x80 + 20] = '\xF0'; // optional header of 240 bytes
    put32At(b, 0x80 + 24 + 0xF0 + 16, kBlockStart - 0x400);  // raw data size
    put32At(b, 0x80 + 24 + 0xF0 + 20, 0x400);                 // raw data offset
    put32(b, kConfigMagic);
    for (int i = 0; i < 4; ++i) put32(b, 0);
    put32(b, static_cast<uint32_t>(nStrings));
    for (int i = 0; i < nStrings; ++i) {
        put32(b, static_cast<uint32_t>(100 + i));
        put32(b, static_cast<uint32_t>(stringSize));
        b += std::string(stringSize, static_cast<char>('a' + i % 26));
    }
    put32(b, 2);
    for (int id : {1000, 1001}) {
        put32(b, static_cast<uint32_t>(id));
        put32(b, 4);
        b += std::string("E\0r\0", 4);
    }
    put32(b, 1);
    put32(b, 2);
    b += "en";
    put32(b, 1);
    put32(b, 1000);
    put32(b, 2);
    b += std::string("X\0", 2);
    *blockEnd = b.size();
    return b;
}

struct Outcome {
    const char* fatal;
    ConfigData data;
    std::vector<std::string> log;
};

Outcome decodeWith(ByteSource& source) {
    hostLogClear();
    Outcome out{nullptr, {}, {}};
    out.fatal = decodeConfigBlock(source, [] { return std::string("en_US"); }, &out.data);
    out.log = hostLogLines();
    hostLogClear();
    return out;
}

void expectSame(const Outcome& direct, const Outcome& windowed) {
    EXPECT_EQ(std::string(direct.fatal ? direct.fatal : ""), windowed.fatal ? windowed.fatal : "");
    EXPECT_EQ(direct.log, windowed.log);
    if (!direct.fatal) {
        EXPECT_EQ(direct.data.strings, windowed.data.strings);
        EXPECT_EQ(direct.data.wideStrings, windowed.data.wideStrings);
        EXPECT_EQ(direct.data.endPosition, windowed.data.endPosition);
    }
}

}  // namespace

TEST(WindowedBlockRead, GivesWhatReadingEveryFieldFromTheFileGives) {
    struct Row {
        const char* name;
        int strings;
        size_t stringSize;
        int64_t cut;             // bytes cut off at the end of the block (negative: data appended)
        uint32_t keep;           // or: the file ends this many bytes into the block (0: unused)
        uint32_t maxPerCall;     // the reader's short reads
        int64_t failAfterBlock;  // reads reaching this far behind the block fail (-1: never)
        const char* fatal;
        int maxReads;            // reads of the windowed source (0: not checked)
    };
    const Row rows[] = {
        {"typical block, 1 MiB of appended files behind it", 40, 30, -(1 << 20), 0, UINT32_MAX, -1, nullptr, 2},
        {"block ending exactly at the end of the file", 40, 30, 0, 0, UINT32_MAX, -1, nullptr, 2},
        {"a block larger than the window", 3000, 40, -100, 0, UINT32_MAX, -1, nullptr, 5},
        {"two strings larger than the window", 2, 200000, -100, 0, UINT32_MAX, -1, nullptr, 6},
        {"block cut off inside the language set", 40, 30, 1, 0, UINT32_MAX, -1, texts::kReadWString, 0},
        {"block cut off inside a string", 40, 30, 1200, 0, UINT32_MAX, -1, texts::kReadString, 0},
        {"block cut off two bytes into the string count", 40, 30, 0, 22, UINT32_MAX, -1, texts::kReadInt, 0},
        {"block cut off inside the reserved 64-bit value", 40, 30, 0, 15, UINT32_MAX, -1, texts::kReadLong, 0},
        {"unreadable bytes behind the block, which no field reads", 40, 30, -(1 << 20), 0, UINT32_MAX, 16,
         nullptr, 0},
        {"a reader that delivers 1000 bytes per call", 40, 30, -100, 0, 1000, -1, nullptr, 0},
        {"a reader that delivers 1000 bytes per call, long strings", 3, 3000, -100, 0, 1000, -1,
         texts::kReadString, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        size_t end = 0;
        std::string bytes = exeWithBlock(row.strings, row.stringSize, &end);
        if (row.keep) bytes.resize(kBlockStart + row.keep);
        if (row.cut > 0) bytes.resize(end - static_cast<size_t>(row.cut));
        if (row.cut < 0) bytes += std::string(static_cast<size_t>(-row.cut), '\x5A');
        FakeFile file;
        file.bytes = bytes;
        file.maxPerCall = row.maxPerCall;
        if (row.failAfterBlock >= 0) file.failFrom = end + static_cast<uint64_t>(row.failAfterBlock);
        DirectSource direct(file);
        Outcome expected = decodeWith(direct);
        EXPECT_EQ(std::string(expected.fatal ? expected.fatal : ""), row.fatal ? row.fatal : "");
        file.calls = 0;
        WindowedByteSource windowed(file, bytes.size());
        expectSame(expected, decodeWith(windowed));
        if (row.maxReads) {
            EXPECT_LE(file.calls, row.maxReads);
        }
    }
}

TEST(WindowedBlockRead, AHugeDeclaredLengthFailsWithoutReadingIt) {
    size_t end = 0;
    std::string bytes = exeWithBlock(1, 10, &end);
    put32At(bytes, kBlockStart + 24 + 4, 0x7FFFFFF0);  // the first string's length
    FakeFile file;
    file.bytes = bytes;
    DirectSource direct(file);
    Outcome expected = decodeWith(direct);
    EXPECT_STREQ(expected.fatal, texts::kReadString);
    file.calls = 0;
    WindowedByteSource windowed(file, bytes.size());
    expectSame(expected, decodeWith(windowed));
    EXPECT_LE(file.calls, 2);
}

TEST(WindowedBlockRead, APeOffsetPastTheEndFailsLikeTheFile) {
    size_t end = 0;
    std::string bytes = exeWithBlock(1, 10, &end);
    put32At(bytes, 60, 0x7FFFFFFF);
    FakeFile file;
    file.bytes = bytes;
    DirectSource direct(file);
    Outcome expected = decodeWith(direct);
    EXPECT_STREQ(expected.fatal, texts::kReadShort);
    WindowedByteSource windowed(file, bytes.size());
    expectSame(expected, decodeWith(windowed));
}
