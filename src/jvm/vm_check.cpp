// Reading the PE headers of a VM library and judging the libraries of a runtime.
#include "vm_check.h"

#include <algorithm>
#include <cstring>

#include "jvm/vmlib.h"
#include "launcher/pe_image.h"

namespace {
// Written and read on the main thread only (the search and LoadDLL).
VmLibraryVerdict* gWrongArchitecture = nullptr;

// e_lfanew beyond this is no header a loader would accept.
constexpr uint32_t kMaxHeaderOffset = 0x10000000;

// A header the walker refuses: not a PE image, or one cut off inside its headers.
PeImageKind kindOf(pe::PeStatus status) {
    return status == pe::PeStatus::DosHeaderCut || status == pe::PeStatus::HeadersCut ? PeImageKind::Truncated
                                                                                       : PeImageKind::NotPe;
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string problemOf(const VmLibraryFinding& f) {
    switch (f.info.kind) {
        case PeImageKind::X8664Dll:
            return f.path + " is an x86-64 DLL";
        case PeImageKind::WrongMachine:
            return "wrong architecture: " + f.path + " is for " + peMachineName(f.info.machine) + ", not x86-64";
        case PeImageKind::NotDll:
            return f.path + " is not a DLL (an x86-64 program)";
        case PeImageKind::NotPe:
            return f.path + " is not a DLL (no PE image)";
        case PeImageKind::Truncated:
            return f.path + " is not a DLL (the file ends inside its headers)";
        case PeImageKind::Unreadable:
        default:
            return f.path + " cannot be read";
    }
}
}  // namespace

PeImageInfo inspectPeImage(PeByteReader read, void* context) {
    // Two reads of the file: the DOS header, then the signature and COFF header.
    PeImageInfo info;
    unsigned char dos[pe::kDosHeaderSize];
    long got = read(context, 0, sizeof(dos), dos);
    if (got < 0) return info;  // Unreadable
    uint32_t offset = 0;
    pe::PeStatus status = pe::readDosHeader(dos, static_cast<size_t>(got), &offset);
    if (status == pe::PeStatus::Ok && offset > kMaxHeaderOffset) status = pe::PeStatus::NoSignature;
    if (status != pe::PeStatus::Ok) {
        info.kind = kindOf(status);
        return info;
    }
    unsigned char header[pe::kOptionalHeaderStart];
    got = read(context, offset, sizeof(header), header);
    if (got < 0) return info;
    pe::CoffHeader coff;
    status = pe::readCoffHeader(header, static_cast<size_t>(got), &coff);
    if (status != pe::PeStatus::Ok) {
        info.kind = kindOf(status);
        return info;
    }
    info.machine = coff.machine;
    if (info.machine != kMachineX8664)
        info.kind = PeImageKind::WrongMachine;
    else if (!(coff.characteristics & kImageFileDll))
        info.kind = PeImageKind::NotDll;
    else
        info.kind = PeImageKind::X8664Dll;
    return info;
}

PeImageInfo inspectPeImage(const std::string& bytes) {
    auto read = [](void* context, uint64_t offset, size_t n, unsigned char* out) -> long {
        const std::string& data = *static_cast<const std::string*>(context);
        if (offset >= data.size()) return 0;
        size_t count = static_cast<size_t>(std::min<uint64_t>(n, data.size() - offset));
        std::memcpy(out, data.data() + offset, count);
        return static_cast<long>(count);
    };
    return inspectPeImage(read, const_cast<std::string*>(&bytes));
}

std::string peMachineName(uint16_t machine) {
    switch (machine) {
        case kMachineX8664:
            return "x86-64";
        case kMachineI386:
            return "i386 (32-bit x86)";
        case kMachineArm64:
            return "ARM64";
        case kMachineArmNt:
            return "ARM (32-bit)";
        case kMachineIa64:
            return "IA-64";
        default: {
            std::string text = "machine 0x";
            for (int shift = 12; shift >= 0; shift -= 4) text += "0123456789abcdef"[(machine >> shift) & 0xf];
            return text;
        }
    }
}

std::string releaseOsArch(const std::string& content) {
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.pop_back();
        if (line.compare(0, 8, "OS_ARCH=") != 0) continue;
        std::string value = line.substr(8);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::string();
}

bool isX8664OsArch(const std::string& osArch) {
    std::string arch = lowerAscii(osArch);
    return arch == "x86_64" || arch == "amd64";
}

std::vector<std::string> vmLibraryPaths(const std::string& exePath, const std::string& preferredType) {
    std::vector<std::string> paths;
    for (const std::string& exe : {exePath, exeDirectoryPart(exePath) + "..\\jre\\bin\\java.exe"}) {
        std::string bin = binDirectoryOf(exe);
        if (!preferredType.empty()) paths.push_back(bin + "\\" + preferredType + "\\jvm.dll");
        for (const char* type : kVmTypes) paths.push_back(bin + "\\" + type + "\\jvm.dll");
    }
    return paths;
}

VmLibraryVerdict judgeVmLibraries(const std::vector<VmLibraryFinding>& found, const std::string& osArch) {
    VmLibraryVerdict verdict;
    for (const VmLibraryFinding& f : found) {
        bool fromRelease = f.info.kind == PeImageKind::Unreadable && isX8664OsArch(osArch);
        if (f.info.kind == PeImageKind::X8664Dll || fromRelease) {
            verdict.usable = true;
            verdict.library = f.path;
            verdict.kind = f.info.kind;
            verdict.machine = f.info.machine;
            verdict.reason = fromRelease ? f.path + " cannot be read; the release file says OS_ARCH " + osArch
                                         : problemOf(f);
            return verdict;
        }
    }
    if (found.empty()) {
        verdict.reason = "no VM library (jvm.dll)";
        return verdict;
    }
    const VmLibraryFinding& first = found.front();
    verdict.library = first.path;
    verdict.kind = first.info.kind;
    verdict.machine = first.info.machine;
    verdict.reason = problemOf(first);
    if (first.info.kind == PeImageKind::Unreadable && !osArch.empty())
        verdict.reason += ", and the release file says OS_ARCH " + osArch;
    return verdict;
}

const VmLibraryVerdict& firstWrongArchitectureRefusal() {
    if (!gWrongArchitecture) gWrongArchitecture = new VmLibraryVerdict();
    return *gWrongArchitecture;
}

void noteRefusedVmLibrary(const VmLibraryVerdict& verdict) {
    firstWrongArchitectureRefusal();
    if (verdict.wrongArchitecture() && gWrongArchitecture->library.empty()) *gWrongArchitecture = verdict;
}

void forgetRefusedVmLibrariesForTesting() {
    firstWrongArchitectureRefusal();
    *gWrongArchitecture = VmLibraryVerdict();
}
