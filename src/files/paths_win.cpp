// Path and encoding utilities on the Windows file functions.
#include <windows.h>

#include "launcher/launcher.h"
#include "paths.h"

namespace {

// Computed on first use (on the main thread during start-up), then only read.
std::string* gModulePath = nullptr;
std::string* gExeDirectory = nullptr;

bool isUtf8CodePage(int codePage) {
    return codePage == CP_UTF8 || (codePage == CP_ACP && GetACP() == CP_UTF8) ||
           (codePage == CP_OEMCP && GetOEMCP() == CP_UTF8);
}

bool endsWithExe(const std::string& path) {
    if (path.size() < 4) return false;
    const char* tail = path.c_str() + path.size() - 4;
    return lstrcmpiA(tail, ".exe") == 0;
}

// The narrow form of a wide path in the file code page, accepted when every
// character survived and it still names an ".exe".
bool acceptNarrow(const std::u16string& wide, std::string* out) {
    bool usedDefault = false;
    std::string narrow = fromUtf16(wide, fileCodePage(), &usedDefault);
    if (usedDefault || !endsWithExe(narrow)) return false;
    *out = narrow;
    return true;
}

// Wide text lives in std::u16string (UTF-16 like wchar_t here), never in std::wstring:
// that one would link the C++ library's whole wide-string instance into the stubs.
wchar_t* wideData(std::u16string& text) { return reinterpret_cast<wchar_t*>(&text[0]); }

std::u16string wideCall(DWORD (*call)(const wchar_t*, wchar_t*, DWORD), const std::u16string& in) {
    std::u16string buffer(kPathBufferSize, u'\0');
    DWORD n = call(reinterpret_cast<const wchar_t*>(in.c_str()), wideData(buffer), static_cast<DWORD>(kPathBufferSize));
    if (n == 0 || n >= kPathBufferSize) return std::u16string();
    buffer.resize(n);
    return buffer;
}

DWORD shortPathW(const wchar_t* in, wchar_t* out, DWORD size) { return GetShortPathNameW(in, out, size); }

typedef DWORD(WINAPI* LongPathNameWFn)(LPCWSTR, LPWSTR, DWORD);
LongPathNameWFn gLongPathNameW = nullptr;
DWORD longPathW(const wchar_t* in, wchar_t* out, DWORD size) { return gLongPathNameW(in, out, size); }

std::string narrowModulePath() {
    std::string buffer(kPathBufferSize, '\0');
    DWORD n = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(kPathBufferSize));
    if (n == 0 || n >= kPathBufferSize) return std::string();
    buffer.resize(n);
    return buffer;
}

std::string computeModulePath() {
    HMODULE kernel = LoadLibraryA("Kernel32.DLL");
    if (kernel)
        gLongPathNameW = reinterpret_cast<LongPathNameWFn>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "GetLongPathNameW")));
    std::string path;
    if (isNtPlatform() && gLongPathNameW) {
        std::u16string wide(kPathBufferSize, u'\0');
        DWORD n = GetModuleFileNameW(nullptr, wideData(wide), static_cast<DWORD>(kPathBufferSize));
        wide.resize(n == 0 || n >= kPathBufferSize ? 0 : n);
        std::u16string longPath = wide.empty() ? std::u16string() : wideCall(&longPathW, wide);
        if (!longPath.empty() && acceptNarrow(longPath, &path)) return path;
        std::u16string shortPath = longPath.empty() ? std::u16string() : wideCall(&shortPathW, longPath);
        if (!shortPath.empty() && acceptNarrow(shortPath, &path)) return path;
        // Neither form is representable: the narrow short path as the system gives it.
        std::string narrow = narrowModulePath();
        std::string shortNarrow(kPathBufferSize, '\0');
        DWORD m = narrow.empty() ? 0
                                 : GetShortPathNameA(narrow.c_str(), &shortNarrow[0], static_cast<DWORD>(kPathBufferSize));
        if (m == 0 || m >= kPathBufferSize) return narrow;
        shortNarrow.resize(m);
        return shortNarrow;
    }
    return narrowModulePath();
}

// GetFullPathNameA of path; "" when the call fails or the result does not fit.
std::string fullPathName(const std::string& path, bool cutFilePart) {
    std::string buffer(kPathBufferSize, '\0');
    char* filePart = nullptr;
    DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(kPathBufferSize), &buffer[0], &filePart);
    if (n == 0 || n >= kPathBufferSize) return std::string();
    if (cutFilePart && filePart) n = static_cast<DWORD>(filePart - buffer.c_str());
    buffer.resize(n);
    return buffer;
}

}  // namespace

int fileCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

std::u16string toUtf16(const std::string& narrow, int codePage) {
    if (narrow.empty()) return std::u16string();
    int n = MultiByteToWideChar(static_cast<UINT>(codePage), 0, narrow.data(), static_cast<int>(narrow.size()),
                                nullptr, 0);
    if (n <= 0) return std::u16string();
    std::u16string wide(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(static_cast<UINT>(codePage), 0, narrow.data(), static_cast<int>(narrow.size()), wideData(wide),
                        n);
    return wide;
}

std::string fromUtf16(const std::u16string& wide, int codePage, bool* usedDefault) {
    if (usedDefault) *usedDefault = false;
    if (wide.empty()) return std::string();
    const wchar_t* text = reinterpret_cast<const wchar_t*>(wide.data());
    int length = static_cast<int>(wide.size());
    // UTF-8 represents everything and takes no default character.
    bool utf8 = isUtf8CodePage(codePage);
    BOOL used = FALSE;
    int n = WideCharToMultiByte(static_cast<UINT>(codePage), 0, text, length, nullptr, 0, utf8 ? nullptr : "?",
                                utf8 ? nullptr : &used);
    if (n <= 0) {
        if (usedDefault) *usedDefault = true;
        return std::string();
    }
    std::string narrow(static_cast<size_t>(n), '\0');
    used = FALSE;
    WideCharToMultiByte(static_cast<UINT>(codePage), 0, text, length, &narrow[0], n, utf8 ? nullptr : "?",
                        utf8 ? nullptr : &used);
    if (usedDefault) *usedDefault = used != FALSE;
    return narrow;
}

bool narrowPathOf(const std::u16string& wide, std::string& out) {
    bool lost = false;
    out = fromUtf16(wide, fileCodePage(), &lost);
    if (!lost) return true;
    std::u16string shortForm = wideCall(&shortPathW, wide);
    if (shortForm.empty()) return false;
    std::string narrow = fromUtf16(shortForm, fileCodePage(), &lost);
    if (lost) return false;
    out = narrow;
    return true;
}

bool environmentText(const char* name, std::string& value, bool* representable) {
    value.clear();
    if (representable) *representable = true;
    std::u16string wideName = toUtf16(name, CP_ACP);
    wideName.push_back(u'\0');
    const wchar_t* key = reinterpret_cast<const wchar_t*>(wideName.c_str());
    std::u16string wide;
    for (DWORD size = 256;;) {
        wide.assign(size, u'\0');
        SetLastError(0);
        DWORD n = GetEnvironmentVariableW(key, wideData(wide), size);
        if (n == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            return true;  // set and empty
        }
        if (n < size) {
            // The text's own terminator, not the returned count, ends it.
            wide.resize(std::char_traits<char16_t>::length(wide.c_str()));
            break;
        }
        size = n + 1;  // it needs more room (or grew in between)
    }
    bool ok = narrowPathOf(wide, value);
    if (representable) *representable = ok;
    return true;
}

std::string textFromFile(const std::string& bytes) {
    if (bytes.empty() || GetACP() != CP_UTF8) return bytes;
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0) > 0)
        return bytes;
    DWORD legacy = 0;
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&legacy), sizeof legacy / sizeof(WCHAR)) ||
        legacy == 0 || legacy == CP_UTF8)
        legacy = 1252;
    return fromUtf16(toUtf16(bytes, static_cast<int>(legacy)), CP_UTF8);
}

const std::string& getModulePath() {
    if (!gModulePath) {
        std::string path = computeModulePath();
        collapseBackslashes(path);
        gModulePath = new std::string(path);
    }
    return *gModulePath;
}

const std::string& exeDirectory() {
    if (!gExeDirectory) gExeDirectory = new std::string(fullPathName(getModulePath(), true));
    return *gExeDirectory;
}

bool findFile(const std::string& path, uint64_t* lastWriteTime) {
    WIN32_FIND_DATAA data;
    HANDLE search = FindFirstFileA(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return false;
    if (lastWriteTime)
        *lastWriteTime = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                         data.ftLastWriteTime.dwLowDateTime;
    FindClose(search);
    return true;
}

std::string directoryOfFile(const char* file) { return fullPathName(file, true); }

std::string getFullPath(const std::string& path, bool keepCase) {
    std::string absolute = makeAbsolutePath(path);
    if (absolute.empty()) return std::string();
    std::string full = fullPathName(absolute, false);
    if (full.empty()) return std::string();
    if (!keepCase) toLowerPath(full);
    collapseBackslashes(full);
    return full;
}
