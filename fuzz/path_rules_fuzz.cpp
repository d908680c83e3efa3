// The path rules on any text (the input as narrow text, and as UTF-16).
// Invariant: no crash; collapsing backslashes only removes backslashes, leaves no
// run of two after the first character and is idempotent; lower-casing keeps the
// length, leaves no A to Z and is idempotent; the host code page round-trips every
// byte; an absolute path made from the text is not relative and fits the path
// buffer; a path list keeps its number of entries; directory parts and temporary
// names are made of the text they came from.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/paths.h"
#include "files/tempdir.h"
#include "fuzz_support.h"
#include "jvm/vmlib.h"

namespace {
template <typename S>
S withoutBackslashes(const S& text) {
    S out;
    for (auto c : text)
        if (c != '\\') out.push_back(c);
    return out;
}

template <typename S>
void checkCollapsed(const S& in, const S& out) {
    FUZZ_CHECK(withoutBackslashes(in) == withoutBackslashes(out));
    FUZZ_CHECK(out.size() <= in.size() && (in.empty() || out[0] == in[0]));
    for (size_t i = 2; i < out.size(); ++i) FUZZ_CHECK(!(out[i] == '\\' && out[i - 1] == '\\'));
}

size_t count(const std::string& text, char c) {
    size_t n = 0;
    for (char x : text) n += x == c;
    return n;
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setModulePathForTesting("C:\\App\\run.exe");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::u16string wide = utf16Of(text);

    std::u16string collapsed = collapseBackslashesWide(wide);
    checkCollapsed(wide, collapsed);
    FUZZ_CHECK(collapseBackslashesWide(collapsed) == collapsed);
    std::u16string lowered = toLowerAsciiWide(wide);
    FUZZ_CHECK(lowered.size() == wide.size() && toLowerAsciiWide(lowered) == lowered);
    for (size_t i = 0; i < wide.size(); ++i)
        FUZZ_CHECK(!(lowered[i] >= u'A' && lowered[i] <= u'Z') &&
                   (lowered[i] == wide[i] || (wide[i] >= u'A' && wide[i] <= u'Z')));

    bool usedDefault = true;
    FUZZ_CHECK(fromUtf16(toUtf16(text, 0), 0, &usedDefault) == text && !usedDefault);
    std::string narrow = text;
    collapseBackslashes(narrow);
    checkCollapsed(text, narrow);
    std::string lowerNarrow = text;
    toLowerPath(lowerNarrow);
    FUZZ_CHECK(lowerNarrow.size() == text.size());

    if (!isRelativePath(text)) {
        size_t at = text[0] == '"' ? 1 : 0;
        FUZZ_CHECK(text.compare(at + 1, 2, ":\\") == 0 || text.compare(at, 2, "\\\\") == 0);
    }
    if (isDriveRootText(text)) FUZZ_CHECK(text[1] == ':' && text[2] == '\\');
    std::string absolute = makeAbsolutePath(text);
    FUZZ_CHECK(absolute.size() < kPathBufferSize);
    // (Aside: a quoted UNC path loses its second backslash, and a run of backslashes
    // alone shrinks to two; neither names a file either way.)
    if (absolute.size() >= 3 && text[0] != '"') FUZZ_CHECK(!isRelativePath(absolute));
    if (isRelativePath(text) && text.find('\\') == std::string::npos && !absolute.empty())
        FUZZ_CHECK(absolute == "C:\\App\\" + text);

    std::string list = makeAbsolutePathList(text);
    size_t entries = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        entries += end > start;
        start = end + 1;
    }
    if (text.size() < kPathBufferSize - 16)  // no entry too long for its absolute form
        FUZZ_CHECK(entries == 0 ? list.empty() : count(list, ';') == entries - 1);

    std::string directory = directoryOf(text);
    FUZZ_CHECK(text.compare(0, directory.size(), directory) == 0);
    FUZZ_CHECK(directory.empty() || directory.back() == '\\');
    FUZZ_CHECK(text.find('\\', directory.size()) == std::string::npos);

    size_t half = text.size() / 2;
    std::string name = tempNameInDirectory(text.substr(0, half), text.substr(half));
    FUZZ_CHECK(name == text || name == text.substr(0, half) + "\\" + text.substr(half));

    std::string exeDirectory = exeDirectoryPart(text);
    FUZZ_CHECK(text.compare(0, exeDirectory.size(), exeDirectory) == 0);
    FUZZ_CHECK(exeDirectory.empty() || text.size() - exeDirectory.size() == 8 || text.size() - exeDirectory.size() == 9);
    std::string bin = binDirectoryOf(text);
    FUZZ_CHECK(bin == exeDirectory || bin + "\\" == exeDirectory);
    FUZZ_CHECK(jvmHomeOf(text) == exeDirectory + "..");
    return 0;
}
