// The read-ahead window over the executable for the block decoder.
#include "block_reader.h"

#include <cstring>

bool WindowedByteSource::servedFromWindow(void* buffer, uint32_t count) {
    if (position_ < windowStart_ || position_ - windowStart_ > window_.size()) return false;
    uint64_t offset = position_ - windowStart_;
    if (window_.size() - offset < count) return false;
    if (count > 0) std::memcpy(buffer, window_.data() + offset, count);
    position_ += count;
    error_ = 0;
    return true;
}

void WindowedByteSource::fillWindow() {
    window_.clear();
    windowStart_ = position_;
    if (position_ >= size_) return;
    uint64_t rest = size_ - position_;
    window_.resize(rest < kWindowSize ? static_cast<size_t>(rest) : kWindowSize);
    uint32_t got = 0;
    // A failed read ahead leaves the window empty: the read that wanted it
    // then goes to the file as asked and meets the failure itself (or not).
    if (!reader_.readAt(position_, window_.data(), static_cast<uint32_t>(window_.size()), &got)) got = 0;
    window_.resize(got);
}

bool WindowedByteSource::read(void* buffer, uint32_t count, uint32_t* got) {
    *got = 0;
    if (servedFromWindow(buffer, count)) {
        *got = count;
        return true;
    }
    if (count < kWindowSize) {
        fillWindow();
        if (servedFromWindow(buffer, count)) {
            *got = count;
            return true;
        }
    }
    // Larger than the window, or not all there (the end of the file, a failing
    // read): one read of the file as asked, with its own result and error code.
    bool ok = reader_.readAt(position_, buffer, count, got);
    if (!ok) *got = 0;
    position_ += *got;
    error_ = reader_.lastError();
    return ok;
}

bool WindowedByteSource::seek(uint64_t position) {
    // Like a file: positions past the end are allowed, reads there deliver nothing.
    if (position > 0x7FFFFFFFFFFFFFFFull) return false;
    position_ = position;
    return true;
}
