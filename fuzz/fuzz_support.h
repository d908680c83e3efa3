// Shared by the fuzz targets: a quiet log, fatal exits that come back to the
// target, input pieces and the check macro.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// exitLauncher in the fuzz build: thrown instead of ending the process, so that a
// target can check that a fatal path was taken for a reason and go on.
struct FuzzExit {
    int code;
};
// The text of the last showErrorText call ("" when none since the last reset).
std::string& lastErrorText();

// data split at NUL bytes into exactly count pieces; the last piece takes the rest
// (NUL bytes included), missing pieces are empty.
std::vector<std::string> splitInput(const uint8_t* data, size_t size, size_t count);
// Little-endian byte pairs as UTF-16 units (an odd last byte is dropped).
std::u16string utf16Of(const std::string& bytes);

// A broken invariant: prints what and where, then aborts (libFuzzer saves the input).
[[noreturn]] void fuzzFail(const char* what, const char* file, int line);
#define FUZZ_CHECK(condition)                                       \
    do {                                                            \
        if (!(condition)) fuzzFail(#condition, __FILE__, __LINE__); \
    } while (0)
