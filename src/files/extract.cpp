// Extraction state and the pure helpers of extraction (host and Windows).
#include "extract.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "files/paths.h"

namespace {
int32_t gUnextractedPosition = 0;
}  // namespace

std::string& tempDir() {
    static std::string* dir = new std::string();
    return *dir;
}

std::string& extractionFailureDetails() {
    static std::string* details = new std::string();
    return *details;
}

std::string folderWriteFailureText(const std::string& folder, unsigned long windowsError) {
    if (windowsError == 112 || windowsError == 39)  // ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL
        return "\n\nThe disk that holds the folder " + folder +
               " is full.\n\nWhat to do: free some space on that disk and start the program again.";
    return "\n\nThe folder " + folder + " could not be written to (Windows error " + std::to_string(windowsError) +
           ").\n\nWhat to do: make sure that folder exists and can be written to, or set the TMP environment "
           "variable to a folder that can, and start the program again.";
}

int32_t unextractedPosition() { return gUnextractedPosition; }
void setUnextractedPosition(int32_t position) { gUnextractedPosition = position; }

std::vector<std::string> splitFileList(const std::string& list) { return splitList(list); }

std::string extractionDirName(const std::string& tempFileName, long long seconds) {
    return tempFileName + "_dir" + std::to_string(seconds);
}

std::string ownerRecord(uint32_t processId, uint64_t creationTime) {
    return "tovex-owner " + std::to_string(processId) + " " + std::to_string(creationTime);
}

namespace {
bool readDecimal(const std::string& text, size_t& at, uint64_t& value, uint64_t limit) {
    size_t begin = at;
    value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        uint64_t digit = static_cast<uint64_t>(text[at] - '0');
        if (value > (limit - digit) / 10) return false;
        value = value * 10 + digit;
        ++at;
    }
    return at > begin;
}
}  // namespace

bool parseOwnerRecord(const std::string& text, uint32_t& processId, uint64_t& creationTime) {
    static const std::string kPrefix = "tovex-owner ";
    if (text.compare(0, kPrefix.size(), kPrefix) != 0) return false;
    size_t at = kPrefix.size();
    uint64_t pid = 0, time = 0;
    if (!readDecimal(text, at, pid, 0xFFFFFFFFull) || at >= text.size() || text[at] != ' ') return false;
    ++at;
    if (!readDecimal(text, at, time, ~0ull) || at != text.size()) return false;
    processId = static_cast<uint32_t>(pid);
    creationTime = time;
    return true;
}

std::string ownerFileOfExtractionDir(const std::string& name) {
    if (name.size() < 3 || (name.compare(0, 3, "tvx") != 0 && name.compare(0, 3, "TVX") != 0)) return std::string();
    size_t at = name.rfind("_dir");
    if (at == std::string::npos || at <= 3 || at + 4 == name.size()) return std::string();
    for (size_t i = at + 4; i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return std::string();
    return name.substr(0, at);
}

std::string entryDirectory(const std::string& name) {
    size_t at = name.find('\\');
    return at == std::string::npos ? std::string() : name.substr(0, at);
}

std::string joinPath(const std::string& a, const std::string& b) {
    if (!a.empty() && a.back() == '\\') return a + b;
    return a + "\\" + b;
}

void unscrambleBytes(unsigned char* data, size_t count) {
    // Wide XORs: a byte loop at -Os costs about as much as the 8192-byte reads
    // and writes around it. Unaligned loads and stores, so any start will do.
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i key = _mm_set1_epi8(static_cast<char>(kScrambleByte));
    for (; i + 64 <= count; i += 64) {
        __m128i* at = reinterpret_cast<__m128i*>(data + i);
        __m128i a = _mm_loadu_si128(at), b = _mm_loadu_si128(at + 1);
        __m128i c = _mm_loadu_si128(at + 2), d = _mm_loadu_si128(at + 3);
        _mm_storeu_si128(at, _mm_xor_si128(a, key));
        _mm_storeu_si128(at + 1, _mm_xor_si128(b, key));
        _mm_storeu_si128(at + 2, _mm_xor_si128(c, key));
        _mm_storeu_si128(at + 3, _mm_xor_si128(d, key));
    }
#endif
    // memcpy keeps the word access free of alignment and aliasing assumptions;
    // it compiles to one xor with memory.
    constexpr uint64_t kWord = 0x0101010101010101ull * kScrambleByte;
    for (; i + sizeof(uint64_t) <= count; i += sizeof(uint64_t)) {
        uint64_t word;
        std::memcpy(&word, data + i, sizeof word);
        word ^= kWord;
        std::memcpy(data + i, &word, sizeof word);
    }
    for (; i < count; ++i) data[i] ^= kScrambleByte;
}
