// The zip central-directory reader of tovex-build --check on any bytes.
// Invariant: no crash and no read outside the data; a directory that is read gives
// names that all lie in the data (together no longer than it), and reading is stable.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "zip_names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> names, again;
    std::string error, error2;
    bool ok = builder::zipEntryNames(bytes, names, error);
    FUZZ_CHECK(ok == builder::zipEntryNames(bytes, again, error2) && names == again && error == error2);
    if (!ok) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    size_t total = 0;
    for (const std::string& name : names) total += name.size() + 46;
    FUZZ_CHECK(total <= bytes.size());
    return 0;
}
