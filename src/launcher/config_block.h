// Decoding the configuration block behind the last section of a launcher
// executable. Pure: reads through ByteSource, so it runs on byte arrays in
// tests and on the executable's file handle in the launcher.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "block_format.h"

// A seekable, readable sequence of bytes (the executable file).
struct ByteSource {
    virtual ~ByteSource() = default;
    // Reads up to count bytes at the current position; *got receives the number read.
    // False when the read call itself failed.
    virtual bool read(void* buffer, uint32_t count, uint32_t* got) = 0;
    // Absolute seek; false when the position cannot be set (negative, too large).
    virtual bool seek(uint64_t position) = 0;
    virtual uint64_t position() const = 0;
    // Total size in bytes (the bound for string lengths).
    virtual uint64_t size() const = 0;
    // The system's error code of the last failed operation (0 when none).
    virtual uint32_t lastError() const = 0;
};

// A ByteSource over bytes in memory (tests, tools).
class MemoryByteSource : public ByteSource {
public:
    explicit MemoryByteSource(std::string bytes) : bytes_(std::move(bytes)) {}
    bool read(void* buffer, uint32_t count, uint32_t* got) override;
    bool seek(uint64_t position) override;
    uint64_t position() const override { return position_; }
    uint64_t size() const override { return bytes_.size(); }
    uint32_t lastError() const override { return 0; }

private:
    std::string bytes_;
    uint64_t position_ = 0;
};

// The configuration as read from a block.
struct ConfigData {
    std::map<int32_t, std::string> strings;
    std::map<int32_t, std::u16string> wideStrings;  // matching language sets applied
    uint32_t endPosition = 0;                       // file offset just past the block
};

// The read primitives. Each returns false after a short or failed read (and
// after writing its log line where it has one); *fatalText then names the
// text the launcher ends with.
bool readInt32(ByteSource& source, int32_t* value, const char** fatalText);
bool readInt16(ByteSource& source, int16_t* value, const char** fatalText);
bool readInt64(ByteSource& source, int64_t* value, const char** fatalText);
// A length-prefixed byte string. A negative length, or one larger than the rest
// of the file, is a read failure; nothing larger than the rest is allocated.
bool readString(ByteSource& source, std::string* value, const char** fatalText);
// A length-prefixed UTF-16LE string of B bytes: B/2 code units (an odd last byte
// is read and dropped). Negative or oversized lengths fail like readString.
bool readWString(ByteSource& source, std::u16string* value, const char** fatalText);

// Positions source at the start of the block: just after the raw data of the
// last entry of the PE section table. Logs the header values it reads.
bool findConfigBlockStart(ByteSource& source, const char** fatalText);

// Reads the whole block: PE lookup, magic, reserved fields, string entries,
// wide-string entries, then (after calling selectLanguage for the language
// code) the language sets, applying those whose key is a prefix of the code.
// Returns nullptr on success, else the fatal text to end the launch with. Entries
// are stored in *out as they are read, so after a failure it holds those read so far.
const char* decodeConfigBlock(ByteSource& source, const std::function<std::string()>& selectLanguage,
                              ConfigData* out);

// Makes data the process's configuration (read by the lookups in config.h).
void installConfig(ConfigData data);
