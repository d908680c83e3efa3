// Extraction state and the pure helpers of extraction (host and Windows).
#include "extract.h"

namespace {
int32_t gUnextractedPosition = 0;
}  // namespace

std::string& tempDir() {
    static std::string* dir = new std::string();
    return *dir;
}

int32_t unextractedPosition() { return gUnextractedPosition; }
void setUnextractedPosition(int32_t position) { gUnextractedPosition = position; }

std::vector<std::string> splitFileList(const std::string& list) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string extractionDirName(const std::string& tempFileName, long long seconds) {
    return tempFileName + "_dir" + std::to_string(seconds);
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
    for (size_t i = 0; i < count; ++i) data[i] ^= kScrambleByte;
}
