// Names of appended files: the file list setting (the whole input) and each of its
// names, also joined pairwise.
// Invariant: no crash; the list splits into non-empty names without ";" that re-join
// to the list less its empty items; a safe name is relative (no colon, no leading
// separator) and has no ".." component; names joined by a separator are safe exactly
// when both parts are (a part that is itself rooted aside); the directory part of a
// name is a prefix of it without a backslash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "files/extract.h"
#include "fuzz_support.h"

namespace {
bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool hasParentComponent(const std::string& name) {
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

void checkName(const std::string& name) {
    if (isSafeEntryName(name)) {
        FUZZ_CHECK(!name.empty() && !isSeparator(name[0]) && name.find(':') == std::string::npos);
        FUZZ_CHECK(!hasParentComponent(name));
    }
    std::string directory = entryDirectory(name);
    FUZZ_CHECK(name.compare(0, directory.size(), directory) == 0 && directory.find('\\') == std::string::npos);
    size_t backslash = name.find('\\');
    FUZZ_CHECK(backslash == std::string::npos ? directory.empty() : directory.size() == backslash);
}

void checkPair(const std::string& a, const std::string& b) {
    for (const char* separator : {"\\", "/"}) {
        bool joined = isSafeEntryName(a + separator + b);
        if (isSafeEntryName(a) && isSafeEntryName(b)) FUZZ_CHECK(joined);
        if (joined && !a.empty() && !b.empty() && !isSeparator(b[0]))
            FUZZ_CHECK(isSafeEntryName(a) && isSafeEntryName(b));
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names = splitFileList(list);
    std::string joined, expected;
    for (const std::string& name : names) {
        FUZZ_CHECK(!name.empty() && name.find(';') == std::string::npos);
        if (!joined.empty()) joined += ';';
        joined += name;
    }
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] != ';' || (!expected.empty() && i + 1 < list.size() && list[i + 1] != ';' && expected.back() != ';'))
            expected += list[i];
    FUZZ_CHECK(joined == expected);

    for (const std::string& name : names) checkName(name);
    for (size_t i = 0; i + 1 < names.size() && i < 8; ++i) checkPair(names[i], names[i + 1]);
    checkName(list);
    return 0;
}
