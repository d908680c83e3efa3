// The VM libraries of a runtime on disk: which exist, and what their PE headers say.
#include <windows.h>

#include <vector>

#include "files/handles_win.h"
#include "files/paths.h"
#include "jvm/numeric_version.h"
#include "jvm/vm_check.h"
#include "launcher/config.h"

namespace {
PeImageInfo inspectFile(const std::string& path) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return PeImageInfo{};
    auto read = [](void* context, uint64_t offset, size_t n, unsigned char* out) -> long {
        HANDLE h = static_cast<HANDLE>(context);
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) return -1;
        DWORD got = 0;
        if (!ReadFile(h, out, static_cast<DWORD>(n), &got, nullptr)) return -1;
        return static_cast<long>(got);
    };
    return inspectPeImage(read, file.get());
}

bool isFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES;
}

std::string readRelease(const std::string& home) {
    if (home.empty()) return std::string();
    Handle file(CreateFileA((home + "\\release").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return std::string();
    std::vector<char> buffer(kMaxReleaseFileSize);
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return std::string();
    return std::string(buffer.data(), got);
}
}  // namespace

VmLibraryVerdict checkVmLibrary(const std::string& exePath, const std::string& home) {
    std::vector<VmLibraryFinding> found;
    bool unreadable = false;
    for (const std::string& path : vmLibraryPaths(exePath, getConfigString(CFG_PREFERRED_VM_TYPE, 200))) {
        if (!isFile(path)) continue;
        VmLibraryFinding finding{path, inspectFile(path)};
        unreadable = unreadable || finding.info.kind == PeImageKind::Unreadable;
        found.push_back(finding);
        if (finding.info.kind == PeImageKind::X8664Dll) break;  // the one LoadDLL will take
    }
    // The release file is read only when it can decide something.
    std::string osArch = unreadable ? releaseOsArch(readRelease(home)) : std::string();
    return judgeVmLibraries(found, osArch);
}

