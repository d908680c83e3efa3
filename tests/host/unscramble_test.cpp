// Unscrambling works on words: every length and start alignment gives the
// byte-by-byte result, and no byte outside the range is touched.
#include <gtest/gtest.h>

#include <vector>

#include "files/extract.h"

TEST(Unscramble, EveryLengthAndAlignmentMatchesTheByteRule) {
    std::vector<unsigned char> original(96);
    for (size_t i = 0; i < original.size(); ++i) original[i] = static_cast<unsigned char>(i * 37 + 11);
    for (size_t start = 0; start < 8; ++start) {
        for (size_t count = 0; count + start + 8 <= original.size(); ++count) {
            std::vector<unsigned char> data = original;
            unscrambleBytes(data.data() + start, count);
            for (size_t i = 0; i < data.size(); ++i) {
                bool inside = i >= start && i < start + count;
                unsigned char expected = inside ? static_cast<unsigned char>(original[i] ^ kScrambleByte) : original[i];
                ASSERT_EQ(data[i], expected) << "start " << start << ", count " << count << ", byte " << i;
            }
        }
    }
}
