// File access of the builder on Windows: UTF-8 paths become UTF-16 for the
// wide file functions.
#include <windows.h>

#include <algorithm>

#include "builder.h"

namespace builder {

namespace {

std::wstring widen(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? n - 1 : 0, L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    return out;
}

std::string lastError(const std::string& what, const std::string& path) {
    DWORD code = GetLastError();
    char buf[512] = {0};
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                             sizeof buf, nullptr);
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ')) buf[--n] = '\0';
    return what + " " + path + ": " + (n ? std::string(buf) : "error " + std::to_string(code));
}

struct Handle {
    HANDLE h;
    ~Handle() {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
};

HANDLE openRead(const std::string& path) {
    return CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool readWholeFile(const std::string& path, std::string& data, std::string& error) {
    Handle f{openRead(path)};
    if (f.h == INVALID_HANDLE_VALUE) {
        error = lastError("cannot open", path);
        return false;
    }
    data.clear();
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(f.h, buf, sizeof buf, &n, nullptr)) {
            error = lastError("cannot read", path);
            return false;
        }
        if (n == 0) return true;
        data.append(buf, n);
    }
}

bool fileSize(const std::string& path, uint64_t& size, std::string& error) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &info)) {
        error = lastError("cannot read", path);
        return false;
    }
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return true;
}

bool streamFile(const std::string& path, ChunkSink& sink, std::string& error) {
    Handle f{openRead(path)};
    if (f.h == INVALID_HANDLE_VALUE) {
        error = lastError("cannot open", path);
        return false;
    }
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(f.h, buf, sizeof buf, &n, nullptr)) {
            error = lastError("cannot read", path);
            return false;
        }
        if (n == 0) return true;
        if (!sink.chunk(buf, n, error)) return false;
    }
}

bool openOutput(const std::string& path, OutputFile& out, std::string& error) {
    out = OutputFile();
    out.finalPath = path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(attempt);
        HANDLE h = CreateFileW(widen(temp).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            out.handle = h;
            out.tempPath = temp;
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = lastError("cannot write " + path + ": cannot create", temp);
            return false;
        }
    }
    error = "cannot create a temporary file beside " + path;
    return false;
}

bool writeOutput(OutputFile& out, const void* data, size_t size, std::string& error) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(static_cast<HANDLE>(out.handle), p, chunk, &written, nullptr) || written == 0) {
            error = lastError("cannot write", out.tempPath);
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}

bool writeOutputAt(OutputFile& out, uint64_t offset, const void* data, size_t size, std::string& error) {
    HANDLE h = static_cast<HANDLE>(out.handle);
    LARGE_INTEGER at, end, zero;
    at.QuadPart = static_cast<LONGLONG>(offset);
    zero.QuadPart = 0;
    if (!SetFilePointerEx(h, zero, &end, FILE_CURRENT) || !SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) {
        error = lastError("cannot seek in", out.tempPath);
        return false;
    }
    if (!writeOutput(out, data, size, error)) return false;
    if (!SetFilePointerEx(h, end, nullptr, FILE_BEGIN)) {
        error = lastError("cannot seek in", out.tempPath);
        return false;
    }
    return true;
}

bool commitOutput(OutputFile& out, std::string& error) {
    HANDLE h = static_cast<HANDLE>(out.handle);
    out.handle = nullptr;
    if (!CloseHandle(h)) {
        error = lastError("cannot write", out.tempPath);
        DeleteFileW(widen(out.tempPath).c_str());
        return false;
    }
    if (!MoveFileExW(widen(out.tempPath).c_str(), widen(out.finalPath).c_str(), MOVEFILE_REPLACE_EXISTING)) {
        error = lastError("cannot rename the output to", out.finalPath);
        DeleteFileW(widen(out.tempPath).c_str());
        return false;
    }
    return true;
}

void discardOutput(OutputFile& out) {
    if (out.handle) CloseHandle(static_cast<HANDLE>(out.handle));
    out.handle = nullptr;
    if (!out.tempPath.empty()) DeleteFileW(widen(out.tempPath).c_str());
}

bool makeDirectory(const std::string& path, std::string& error) {
    std::wstring w = widen(path);
    if (CreateDirectoryW(w.c_str(), nullptr)) return true;
    DWORD attributes = GetFileAttributesW(w.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
    error = lastError("cannot create directory", path);
    return false;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    char last = dir.back();
    if (last == '\\' || last == '/' || last == ':') return dir + name;
    std::string n = name;
    for (char& c : n)
        if (c == '/') c = '\\';
    return dir + "\\" + n;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.find_last_of("\\/");
    if (slash == std::string::npos) {
        if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
        return ".";
    }
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

bool isAbsolutePath(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/'));
}

std::string absolutePath(const std::string& path) {
    std::wstring w = widen(path);
    DWORD n = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (n == 0) return path;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(w.c_str(), n, &full[0], nullptr);
    full.resize(n);
    int m = WideCharToMultiByte(CP_UTF8, 0, full.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(m > 0 ? m - 1 : 0, '\0');
    if (m > 1) WideCharToMultiByte(CP_UTF8, 0, full.c_str(), -1, &out[0], m, nullptr, nullptr);
    return out;
}

std::string ownExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    int m = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(m > 0 ? m - 1 : 0, '\0');
    if (m > 1) WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, &out[0], m, nullptr, nullptr);
    return out;
}

int windowsPathKind(const std::string& base, const std::string& relative) {
    DWORD attributes = GetFileAttributesW(widen(joinPath(base, relative)).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? 2 : 1;
}

int resolveWindowsPath(const std::string& base, const std::string& relative, std::string& hostPath) {
    int kind = windowsPathKind(base, relative);
    if (kind) hostPath = joinPath(base, relative);
    return kind;
}

std::vector<std::string> directoryNames(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(widen(joinPath(directory, "*")).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        int n = WideCharToMultiByte(CP_UTF8, 0, data.cFileName, -1, nullptr, 0, nullptr, nullptr);
        std::string name(n > 0 ? n - 1 : 0, '\0');
        if (n > 1) WideCharToMultiByte(CP_UTF8, 0, data.cFileName, -1, &name[0], n, nullptr, nullptr);
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace builder
