// Single-instance hand-over: the input (UTF-16) as a second start's command line,
// and (narrow) as the executable path that names the semaphore.
// Invariant: no crash; the arguments are a suffix of the command line that does not
// begin with a blank and holds nothing of a leading quoted program name; the
// communication text is the arguments (cut only when they do not fit, never inside
// a surrogate pair) and a line feed, and fits its buffer with the terminator; the
// semaphore name is "Local\" or "Global\" and the path with no backslash or blank.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "instance/single_instance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Long command lines come from repeating the input (the buffer holds 16,383 units).
    std::u16string commandLine = utf16Of(bytes);
    if (!commandLine.empty() && commandLine[0] == u'*') {
        std::u16string unit = commandLine.substr(1);
        commandLine.clear();
        while (!unit.empty() && commandLine.size() < 3 * kCommTextUnits) commandLine += unit;
    }

    std::u16string arguments = commandLineArguments(commandLine);
    FUZZ_CHECK(arguments.size() <= commandLine.size());
    FUZZ_CHECK(commandLine.compare(commandLine.size() - arguments.size(), arguments.size(), arguments) == 0);
    FUZZ_CHECK(arguments.empty() || arguments[0] != u' ');
    if (!commandLine.empty() && commandLine[0] == u'"') {
        size_t close = commandLine.find(u'"', 1);
        FUZZ_CHECK(close != std::u16string::npos || arguments.empty());
        if (close != std::u16string::npos) FUZZ_CHECK(arguments.size() < commandLine.size() - close);
    }

    bool cut = false;
    std::u16string text = communicationText(arguments, &cut);
    FUZZ_CHECK(!text.empty() && text.back() == u'\n' && text.size() <= kCommTextUnits - 1);
    std::u16string kept = text.substr(0, text.size() - 1);
    FUZZ_CHECK(arguments.compare(0, kept.size(), kept) == 0);
    FUZZ_CHECK(cut == (arguments.size() > kCommTextUnits - 2));
    if (!cut) FUZZ_CHECK(kept == arguments);
    if (cut) {
        FUZZ_CHECK(kept.size() >= kCommTextUnits - 3);
        // Not between the halves of a pair.
        bool high = kept.back() >= 0xD800 && kept.back() <= 0xDBFF;
        bool low = arguments[kept.size()] >= 0xDC00 && arguments[kept.size()] <= 0xDFFF;
        FUZZ_CHECK(!(high && low));
    }

    for (bool global : {false, true}) {
        std::string name = instanceSemaphoreName(bytes, global);
        std::string prefix = global ? "Global\\" : "Local\\";
        FUZZ_CHECK(name.compare(0, prefix.size(), prefix) == 0 && name.size() == prefix.size() + bytes.size());
        FUZZ_CHECK(name.find_first_of("\\ ", prefix.size()) == std::string::npos);
        FUZZ_CHECK(toObjectName(bytes) == name.substr(prefix.size()));
    }
    return 0;
}
