// resinfo.exe EXE [ICON_SIZE]: what Windows' own resource functions read from
// an executable, one "key=value" line each (UTF-8): the fixed and string
// version information (GetFileVersionInfoW, VerQueryValueW), the icon groups
// 1001 and ID_SPLASH_ICON and bitmap 10000 (LoadImageW) with their size and
// the colour of their centre and top left pixels.
#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void out(const std::string& line) {
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

std::string utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string s(n > 0 ? n - 1 : 0, '\0');
    if (n > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, &s[0], n, nullptr, nullptr);
    return s;
}

std::string fmt(const char* format, ...) {
    char buf[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

// Size and two pixels of a bitmap, read back as 32-bit top-down rows.
std::string describeBitmap(HBITMAP bitmap) {
    BITMAP info;
    if (!GetObjectW(bitmap, sizeof info, &info)) return "no bitmap";
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::string pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4, '\0');
    HDC dc = GetDC(nullptr);
    int rows = GetDIBits(dc, bitmap, 0, info.bmHeight, &pixels[0], &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    auto at = [&](int x, int y) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(&pixels[(static_cast<size_t>(y) * info.bmWidth + x) * 4]);
        return fmt("%d,%d,%d", p[2], p[1], p[0]);
    };
    if (rows != info.bmHeight) return fmt("%dx%d unreadable", info.bmWidth, info.bmHeight);
    return fmt("%dx%d centre=%s corner=%s", info.bmWidth, info.bmHeight, at(info.bmWidth / 2, info.bmHeight / 2).c_str(),
               at(0, 0).c_str());
}

void icon(HMODULE module, const wchar_t* name, const char* label, int size) {
    HICON handle = static_cast<HICON>(LoadImageW(module, name, IMAGE_ICON, size, size, 0));
    if (!handle) {
        out(fmt("icon %s=none (error %lu)", label, GetLastError()));
        return;
    }
    ICONINFO info;
    if (GetIconInfo(handle, &info)) {
        out(fmt("icon %s=", label) + describeBitmap(info.hbmColor ? info.hbmColor : info.hbmMask));
        if (info.hbmColor) DeleteObject(info.hbmColor);
        if (info.hbmMask) DeleteObject(info.hbmMask);
    }
    DestroyIcon(handle);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        out("usage: resinfo EXE [ICON_SIZE]");
        return 2;
    }
    const wchar_t* path = argv[1];
    int iconSize = argc > 2 ? _wtoi(argv[2]) : 32;

    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!size) {
        out(fmt("version=none (error %lu)", GetLastError()));
    } else {
        std::string data(size, '\0');
        if (GetFileVersionInfoW(path, 0, size, &data[0])) {
            VS_FIXEDFILEINFO* fixed = nullptr;
            UINT length = 0;
            if (VerQueryValueW(&data[0], L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
                out(fmt("fixed file=%u.%u.%u.%u product=%u.%u.%u.%u os=0x%lX type=%lu", HIWORD(fixed->dwFileVersionMS),
                        LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS),
                        HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                        HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS), fixed->dwFileOS,
                        fixed->dwFileType));
            }
            WORD* translation = nullptr;
            if (VerQueryValueW(&data[0], L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                               &length) &&
                length >= 4)
                out(fmt("translation=%04x %04x", translation[0], translation[1]));
            const wchar_t* keys[] = {L"CompanyName",   L"FileDescription", L"FileVersion", L"InternalName",
                                     L"LegalCopyright", L"OriginalFilename", L"ProductName", L"ProductVersion",
                                     L"Comments"};
            for (const wchar_t* key : keys) {
                std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + key;
                wchar_t* value = nullptr;
                if (VerQueryValueW(&data[0], query.c_str(), reinterpret_cast<void**>(&value), &length) && value)
                    out("string " + utf8(key) + "=" + utf8(value));
            }
        }
    }

    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        out(fmt("module=none (error %lu)", GetLastError()));
        return 1;
    }
    icon(module, MAKEINTRESOURCEW(1001), "1001", iconSize);
    icon(module, L"ID_SPLASH_ICON", "ID_SPLASH_ICON", iconSize);
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(10000), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    out(bitmap ? "bitmap 10000=" + describeBitmap(bitmap) : fmt("bitmap 10000=none (error %lu)", GetLastError()));
    FreeLibrary(module);
    return 0;
}
