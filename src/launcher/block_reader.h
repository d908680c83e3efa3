// Reading the executable for the block decoder with few system calls.
//
// The header lookup and the block decode are a long run of small reads (4, 2
// and 8 bytes, short strings). WindowedByteSource serves them from one larger
// read of the region around them, so that a typical block costs two reads of
// the file (headers, block) instead of one read, one seek and one size query
// per field. Results, positions and error codes are those of reading every
// field straight from the file: whatever the window cannot serve in full is
// read from the file exactly as asked.
#pragma once
#include <cstdint>
#include <vector>

#include "config_block.h"

// Reads of a file at absolute offsets; a platform file handle implements it.
struct PositionalReader {
    virtual ~PositionalReader() = default;
    // Reads up to count bytes at offset; *got receives the number read. False
    // when the read call itself failed. Also sets lastError: 0 after a full
    // read, the system's end-of-file code after a short one, the call's error
    // code after a failure.
    virtual bool readAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* got) = 0;
    virtual uint32_t lastError() const = 0;
};

class WindowedByteSource : public ByteSource {
public:
    // Bytes read ahead per refill: the PE headers and a typical block fit in one.
    static constexpr uint32_t kWindowSize = 64 * 1024;

    // fileSize is the size of the file when it was opened (the bound of the
    // read-ahead and of string lengths).
    WindowedByteSource(PositionalReader& reader, uint64_t fileSize) : reader_(reader), size_(fileSize) {}
    bool read(void* buffer, uint32_t count, uint32_t* got) override;
    bool seek(uint64_t position) override;
    uint64_t position() const override { return position_; }
    uint64_t size() const override { return size_; }
    uint32_t lastError() const override { return error_; }

private:
    bool servedFromWindow(void* buffer, uint32_t count);
    void fillWindow();

    PositionalReader& reader_;
    uint64_t size_;
    uint64_t position_ = 0;
    std::vector<unsigned char> window_;  // the bytes of the file from windowStart_ on
    uint64_t windowStart_ = 0;
    uint32_t error_ = 0;
};
