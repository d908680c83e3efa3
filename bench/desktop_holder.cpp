// Holds Wine's desktop while the benchmarks run: asks for the desktop window
// (so that it exists before the first timed start) and stays until its
// standard input reaches its end, which the benchmark runner causes by
// closing the pipe when it is done.
#include <windows.h>

int main() {
    GetDesktopWindow();
    char buffer[64];
    DWORD got = 0;
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    while (ReadFile(input, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    return 0;
}
