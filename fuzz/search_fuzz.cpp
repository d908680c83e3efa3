// The JVM search's own texts: the input as a search sequence, as an earlier-
// installations list and as the content of a location file.
// Invariant: no crash; the search entries re-join (type letter and text, ";"
// between them) to the sequence less its empty items, and so do the installation
// directories; only 'B' entries, and 'A' and 'R' entries that are not absolute, take
// part in the fallback; a location line is a prefix of the content's first line
// with its line ends removed, non-empty and at most 8191 bytes; a directory loses
// only trailing backslashes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "jvm/search.h"

namespace {
std::string withoutEmptyItems(const std::string& list) {
    std::string out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) out += (out.empty() ? "" : ";") + list.substr(start, end - start);
        start = end + 1;
    }
    return out;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string expected = withoutEmptyItems(text);

    std::string joined;
    for (const SearchEntry& entry : parseSearchSequence(text)) {
        FUZZ_CHECK(entry.type != ';' && entry.text.find(';') == std::string::npos);
        joined += (joined.empty() ? "" : ";") + std::string(1, entry.type) + entry.text;
        bool fallback = takesPartInFallback(entry);
        bool absolute = isAbsoluteLocation(entry.text);
        FUZZ_CHECK(fallback == (entry.type == 'B' || ((entry.type == 'A' || entry.type == 'R') && !absolute)));
        if (absolute) FUZZ_CHECK(entry.text[1] == ':' || entry.text.compare(0, 2, "\\\\") == 0);
    }
    FUZZ_CHECK(joined == expected);
    joined.clear();
    for (const std::string& directory : installationDirectories(text)) {
        FUZZ_CHECK(!directory.empty());
        joined += (joined.empty() ? "" : ";") + directory;
    }
    FUZZ_CHECK(joined == expected);

    std::string line = "untouched";
    const std::string first = text.substr(0, text.find('\n'));
    if (firstLocationLine(text, line)) {
        FUZZ_CHECK(!line.empty() && line.size() <= 8191 && first.compare(0, line.size(), line) == 0);
        FUZZ_CHECK(line.back() != '\r');
        std::string rest = first.substr(line.size());
        FUZZ_CHECK(rest.size() > 8191 - line.size() || rest.find_first_not_of('\r') == std::string::npos);
    } else {
        FUZZ_CHECK(line == "untouched" && first.substr(0, 8191).find_first_not_of('\r') == std::string::npos);
    }

    std::string trimmed = withoutTrailingBackslashes(text);
    FUZZ_CHECK(text.compare(0, trimmed.size(), trimmed) == 0);
    FUZZ_CHECK(text.find_first_not_of('\\', trimmed.size()) == std::string::npos);
    FUZZ_CHECK(trimmed == text || trimmed.empty() || trimmed.back() != '\\');
    return 0;
}
