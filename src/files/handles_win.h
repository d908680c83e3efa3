// Owners of Win32 handles that close themselves, so that no early return leaks one.
#pragma once
#include <windows.h>

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
