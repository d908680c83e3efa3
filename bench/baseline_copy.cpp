// The extraction baseline: a plain copy of COUNT bytes from OFFSET in SOURCE
// into a new file DEST, in chunks of CHUNK bytes (one ReadFile, then WriteFile
// until the chunk is written), with nothing else around it.
//
//   baseline_copy.exe SOURCE OFFSET COUNT DEST CHUNK
//
// Exit codes: 0 done, 1 read failure, 2 write failure, 3 open failure, 64 usage.
#include <windows.h>

#include <cwchar>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc != 6) return 64;
    long long offset = std::wcstoll(argv[2], nullptr, 10), count = std::wcstoll(argv[3], nullptr, 10);
    DWORD chunk = static_cast<DWORD>(std::wcstoul(argv[5], nullptr, 10));
    if (chunk == 0) return 64;
    HANDLE source = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    HANDLE dest = CreateFileW(argv[4], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE || dest == INVALID_HANDLE_VALUE) return 3;
    LARGE_INTEGER start;
    start.QuadPart = offset;
    if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN)) return 1;
    std::vector<unsigned char> buffer(chunk);
    for (long long copied = 0; copied < count;) {
        DWORD wanted = count - copied < chunk ? static_cast<DWORD>(count - copied) : chunk;
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), wanted, &got, nullptr) || got == 0) return 1;
        for (DWORD written = 0; written < got;) {
            DWORD now = 0;
            if (!WriteFile(dest, buffer.data() + written, got - written, &now, nullptr) || now == 0) return 2;
            written += now;
        }
        copied += got;
    }
    CloseHandle(dest);
    CloseHandle(source);
    return 0;
}
