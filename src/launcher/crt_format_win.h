// Formatted output through the C runtime of Windows (msvcrt.dll).
//
// In C++ the C++ library makes mingw-w64 route printf and its family to a
// formatter of its own (with floating-point conversion), about 23 KB in every
// stub. The launcher formats only integers, strings, characters and
// pointers, so it uses the system's C runtime, with the platform's printf
// conventions: "%I64d" for 64-bit integers, "%p" as 16 upper-case hex digits.
// Results follow C99: the length the whole text needs (negative on a format
// error), and a buffer of size > 0 is always terminated.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdio>

// From mingw-w64's runtime: msvcrt's _vsnprintf and _vscprintf with C99 results.
extern "C" int __cdecl __ms_vsnprintf(char* buffer, size_t size, const char* format, va_list args);

namespace crt {

inline int vformat(char* buffer, size_t size, const char* format, va_list args) {
    return __ms_vsnprintf(buffer, size, format, args);
}

__attribute__((format(ms_printf, 3, 4))) inline int format(char* buffer, size_t size, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vformat(buffer, size, format, args);
    va_end(args);
    return n;
}

inline int vprint(FILE* file, const char* format, va_list args) { return __ms_vfprintf(file, format, args); }

__attribute__((format(ms_printf, 2, 3))) inline int print(FILE* file, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = vprint(file, format, args);
    va_end(args);
    return n;
}

}  // namespace crt
