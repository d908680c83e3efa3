// Owners of Win32 handles (kernel objects, directory searches, registry keys) that
// close themselves, so that no early return leaks one.
#pragma once
#include <windows.h>

#include <string>

// A kernel handle (file, process, thread). A failed call gives INVALID_HANDLE_VALUE
// (CreateFile) or null (most others): both are held as "none".
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != nullptr; }
    void reset(HANDLE h = nullptr) {
        if (h_) CloseHandle(h_);
        h_ = (h == INVALID_HANDLE_VALUE) ? nullptr : h;
    }
    void close() { reset(); }
    // For calls that hand a new handle out through a pointer (null when they fail).
    HANDLE* out() {
        reset();
        return &h_;
    }

private:
    HANDLE h_ = nullptr;
};

// A directory search of FindFirstFile (INVALID_HANDLE_VALUE when nothing was found).
class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (h_ != INVALID_HANDLE_VALUE) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE h_;
};

// A registry key that closes itself.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    // Opens path under root for reading, in the 64-bit view.
    bool openForRead(HKEY root, const std::string& path) {
        return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key_) == ERROR_SUCCESS;
    }
    HKEY* out() { return &key_; }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A string value (REG_SZ or REG_EXPAND_SZ, taken literally) of at most
// bufferSize - 1 bytes, terminated after the returned byte count.
inline bool readRegistryString(HKEY key, const char* valueName, size_t bufferSize, std::string& out) {
    std::string buffer(bufferSize, '\0');
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(bufferSize);
    if (RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &size) !=
        ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    if (size > bufferSize) return false;
    buffer.resize(size);
    size_t nul = buffer.find('\0');
    if (nul != std::string::npos) buffer.resize(nul);
    if (buffer.size() >= bufferSize) return false;
    out = buffer;
    return true;
}
