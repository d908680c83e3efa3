// Small helpers shared by the stand-in runtime's programs and libraries (Windows only).
// Everything works on wide paths so that folders with blanks and non-ASCII names are fine.
#ifndef STANDIN_COMMON_H
#define STANDIN_COMMON_H

#include <windows.h>

#include <string>
#include <vector>

namespace standin {

inline std::string toUtf8(const wchar_t *text, int length = -1) {
    if (!text) return std::string();
    if (length < 0) length = static_cast<int>(wcslen(text));
    if (length == 0) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
    return out;
}

inline std::string toUtf8(const std::wstring &text) { return toUtf8(text.c_str(), static_cast<int>(text.size())); }

inline std::wstring fromCodePage(UINT codePage, const char *text, int length = -1) {
    if (!text) return std::wstring();
    if (length < 0) length = static_cast<int>(strlen(text));
    if (length == 0) return std::wstring();
    int size = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(codePage, 0, text, length, &out[0], size);
    return out;
}

inline std::wstring fromUtf8(const std::string &text) {
    return fromCodePage(CP_UTF8, text.c_str(), static_cast<int>(text.size()));
}

// Text for one field of a record line: backslash, line feed, carriage return, tab and other
// control characters are escaped (\\ \n \r \t \xHH), so every record stays on one line.
inline std::string escapeField(const std::string &text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    char buf[8];
                    snprintf(buf, sizeof buf, "\\x%02X", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out;
}

// Directory (with trailing backslash) of the given module; nullptr means the exe.
inline std::wstring moduleDirectory(HMODULE module) {
    std::vector<wchar_t> buf(32768);
    DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
    std::wstring path(buf.data(), n);
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

inline std::wstring moduleFileName(HMODULE module) {
    std::vector<wchar_t> buf(32768);
    DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
    std::wstring path(buf.data(), n);
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Appends bytes to a file in one write (the file is created when missing; others may read it meanwhile).
inline bool appendFile(const std::wstring &path, const std::string &bytes) {
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

// Writes a whole file anew.
inline bool writeFile(const std::wstring &path, const std::string &bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() ? TRUE : WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

// Reads a whole file; false when it cannot be opened.
inline bool readFile(const std::wstring &path, std::string &out) {
    out.clear();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    CloseHandle(h);
    return true;
}

inline bool fileExists(const std::wstring &path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Lines of a text (CR LF or LF), without the line ends.
inline std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

inline std::string trim(const std::string &s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// A path given in a side file: a Linux path ("/tmp/x") is taken as its Z: form.
inline std::wstring windowsPathOf(const std::string &utf8) {
    std::wstring p = fromUtf8(utf8);
    if (!p.empty() && p[0] == L'/') {
        for (auto &c : p)
            if (c == L'/') c = L'\\';
        p = L"Z:" + p;
    }
    return p;
}

inline void writeStdErr(const std::string &text) {
    HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

inline void writeStdOut(const std::string &text) {
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// Reads "key value" lines of a side file into pairs (comments start with '#').
inline std::vector<std::pair<std::string, std::string>> readSettings(const std::wstring &path) {
    std::vector<std::pair<std::string, std::string>> out;
    std::string text;
    if (!readFile(path, text)) return out;
    for (const std::string &raw : splitLines(text)) {
        std::string line = trim(raw);
        if (line.empty() || line[0] == '#') continue;
        size_t sp = line.find_first_of(" \t=");
        if (sp == std::string::npos) {
            out.emplace_back(line, std::string());
        } else {
            std::string value = trim(line.substr(sp + 1));
            if (!value.empty() && value[0] == '=') value = value.substr(1);
            out.emplace_back(line.substr(0, sp), trim(value));
        }
    }
    return out;
}

}  // namespace standin

#endif
