// The VM-library check: PE headers, the judgement over a runtime's libraries, OS_ARCH.
#include <gtest/gtest.h>

#include "jvm/vm_check.h"

namespace {
// A PE image's headers: "MZ", e_lfanew = 0x80, "PE\0\0", the COFF header.
std::string peImage(uint16_t machine, uint16_t characteristics, size_t keep = std::string::npos) {
    std::string bytes(0x80 + 24 + 240, '\0');
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3c] = static_cast<char>(0x80);
    bytes.replace(0x80, 4, std::string("PE\0\0", 4));
    bytes[0x84] = static_cast<char>(machine & 0xff);
    bytes[0x85] = static_cast<char>(machine >> 8);
    bytes[0x80 + 22] = static_cast<char>(characteristics & 0xff);
    bytes[0x80 + 23] = static_cast<char>(characteristics >> 8);
    return bytes.substr(0, keep);
}

std::string withHeaderOffset(std::string bytes, uint32_t offset) {
    for (int i = 0; i < 4; ++i) bytes[0x3c + i] = static_cast<char>((offset >> (8 * i)) & 0xff);
    return bytes;
}

const uint16_t kDll = 0x2000 | 0x0002;  // DLL, executable image
const uint16_t kExe = 0x0002 | 0x0020;  // executable image, large-address aware

struct PeCase {
    const char* name;
    std::string bytes;
    PeImageKind kind;
    uint16_t machine;
};

TEST(PeImage, Table) {
    const PeCase cases[] = {
        {"x86-64 DLL", peImage(kMachineX8664, kDll), PeImageKind::X8664Dll, kMachineX8664},
        {"i386 DLL", peImage(kMachineI386, kDll | 0x0100), PeImageKind::WrongMachine, kMachineI386},
        {"ARM64 DLL", peImage(kMachineArm64, kDll), PeImageKind::WrongMachine, kMachineArm64},
        {"x86-64 program, not a DLL", peImage(kMachineX8664, kExe), PeImageKind::NotDll, kMachineX8664},
        {"truncated inside the COFF header", peImage(kMachineX8664, kDll, 0x80 + 10), PeImageKind::Truncated, 0},
        {"truncated inside the DOS header", std::string("MZ\x90\0\x03\0", 6), PeImageKind::Truncated, 0},
        {"e_lfanew beyond the end", withHeaderOffset(peImage(kMachineX8664, kDll), 0x10000), PeImageKind::Truncated,
         0},
        {"text, no PE image", std::string("This is not a DLL.\r\n") + std::string(1200, 'x'), PeImageKind::NotPe, 0},
        {"empty file", std::string(), PeImageKind::NotPe, 0},
        {"MZ without PE signature", withHeaderOffset(peImage(kMachineX8664, kDll), 0x40), PeImageKind::NotPe, 0},
        {"e_lfanew absurdly far", withHeaderOffset(peImage(kMachineX8664, kDll), 0x7fffffff), PeImageKind::NotPe, 0},
    };
    for (const PeCase& c : cases) {
        PeImageInfo info = inspectPeImage(c.bytes);
        EXPECT_EQ(static_cast<int>(info.kind), static_cast<int>(c.kind)) << c.name;
        EXPECT_EQ(info.machine, c.machine) << c.name;
    }
}

TEST(PeImage, UnreadableFile) {
    PeImageInfo info = inspectPeImage([](void*, uint64_t, size_t, unsigned char*) -> long { return -1; }, nullptr);
    EXPECT_EQ(static_cast<int>(info.kind), static_cast<int>(PeImageKind::Unreadable));
    // Readable headers, then a read error at e_lfanew.
    std::string image = peImage(kMachineX8664, kDll);
    info = inspectPeImage(
        [](void* context, uint64_t offset, size_t n, unsigned char* out) -> long {
            const std::string& data = *static_cast<const std::string*>(context);
            if (offset != 0) return -1;
            std::copy(data.begin(), data.begin() + n, out);
            return static_cast<long>(n);
        },
        &image);
    EXPECT_EQ(static_cast<int>(info.kind), static_cast<int>(PeImageKind::Unreadable));
}

TEST(PeImage, MachineNames) {
    EXPECT_EQ(peMachineName(kMachineX8664), "x86-64");
    EXPECT_EQ(peMachineName(kMachineI386), "i386 (32-bit x86)");
    EXPECT_EQ(peMachineName(kMachineArm64), "ARM64");
    EXPECT_EQ(peMachineName(0x1234), "machine 0x1234");
}

TEST(VmLibraries, PathsInLoadOrder) {
    std::vector<std::string> paths = vmLibraryPaths("c:\\jdk\\bin\\javaw.exe", "custom");
    ASSERT_EQ(paths.size(), 12u);
    EXPECT_EQ(paths[0], "c:\\jdk\\bin\\custom\\jvm.dll");
    EXPECT_EQ(paths[1], "c:\\jdk\\bin\\hotspot\\jvm.dll");
    EXPECT_EQ(paths[3], "c:\\jdk\\bin\\server\\jvm.dll");
    EXPECT_EQ(paths[6], "c:\\jdk\\bin\\..\\jre\\bin\\custom\\jvm.dll");
    EXPECT_EQ(vmLibraryPaths("c:\\rt\\bin\\java.exe", "").size(), 10u);
}

struct JudgeCase {
    const char* name;
    std::vector<VmLibraryFinding> found;
    const char* osArch;
    bool usable;
    const char* library;
    const char* reason;
};

PeImageInfo pe(PeImageKind kind, uint16_t machine = 0) { return PeImageInfo{kind, machine}; }

TEST(VmLibraries, Judgement) {
    const JudgeCase cases[] = {
        {"none exists", {}, "", false, "", "no VM library (jvm.dll)"},
        {"an x86-64 DLL", {{"s\\jvm.dll", pe(PeImageKind::X8664Dll, kMachineX8664)}}, "", true, "s\\jvm.dll",
         "s\\jvm.dll is an x86-64 DLL"},
        {"32-bit", {{"s\\jvm.dll", pe(PeImageKind::WrongMachine, kMachineI386)}}, "", false, "s\\jvm.dll",
         "wrong architecture: s\\jvm.dll is for i386 (32-bit x86), not x86-64"},
        {"a broken client, a good server",
         {{"c\\jvm.dll", pe(PeImageKind::NotPe)}, {"s\\jvm.dll", pe(PeImageKind::X8664Dll, kMachineX8664)}}, "", true,
         "s\\jvm.dll", "s\\jvm.dll is an x86-64 DLL"},
        {"no DLL", {{"s\\jvm.dll", pe(PeImageKind::NotPe)}}, "", false, "s\\jvm.dll",
         "s\\jvm.dll is not a DLL (no PE image)"},
        {"a program", {{"s\\jvm.dll", pe(PeImageKind::NotDll, kMachineX8664)}}, "", false, "s\\jvm.dll",
         "s\\jvm.dll is not a DLL (an x86-64 program)"},
        {"unreadable, OS_ARCH x86_64", {{"s\\jvm.dll", pe(PeImageKind::Unreadable)}}, "x86_64", true, "s\\jvm.dll",
         "s\\jvm.dll cannot be read; the release file says OS_ARCH x86_64"},
        {"unreadable, OS_ARCH amd64", {{"s\\jvm.dll", pe(PeImageKind::Unreadable)}}, "AMD64", true, "s\\jvm.dll",
         "s\\jvm.dll cannot be read; the release file says OS_ARCH AMD64"},
        {"unreadable, OS_ARCH x86", {{"s\\jvm.dll", pe(PeImageKind::Unreadable)}}, "x86", false, "s\\jvm.dll",
         "s\\jvm.dll cannot be read, and the release file says OS_ARCH x86"},
        {"unreadable, no release file", {{"s\\jvm.dll", pe(PeImageKind::Unreadable)}}, "", false, "s\\jvm.dll",
         "s\\jvm.dll cannot be read"},
    };
    for (const JudgeCase& c : cases) {
        VmLibraryVerdict v = judgeVmLibraries(c.found, c.osArch);
        EXPECT_EQ(v.usable, c.usable) << c.name;
        EXPECT_EQ(v.library, c.library) << c.name;
        EXPECT_EQ(v.reason, c.reason) << c.name;
        EXPECT_EQ(v.wrongArchitecture(), std::string(c.name) == "32-bit") << c.name;
    }
}

TEST(VmLibraries, ReleaseOsArch) {
    EXPECT_EQ(releaseOsArch("JAVA_VERSION=\"17.0.9\"\r\nOS_ARCH=\"x86_64\"\r\nOS_NAME=\"Windows\"\r\n"), "x86_64");
    EXPECT_EQ(releaseOsArch("OS_ARCH=amd64\n"), "amd64");
    EXPECT_EQ(releaseOsArch("JAVA_VERSION=\"17\"\n"), "");
    EXPECT_EQ(releaseOsArch("IMPLEMENTOR_OS_ARCH=\"x86_64\"\n"), "");
    EXPECT_TRUE(isX8664OsArch("X86_64"));
    EXPECT_FALSE(isX8664OsArch("aarch64"));
    EXPECT_FALSE(isX8664OsArch("x86"));
}

TEST(VmLibraries, FirstWrongArchitectureRefusalIsKept) {
    forgetRefusedVmLibrariesForTesting();
    VmLibraryVerdict missing = judgeVmLibraries({}, "");
    noteRefusedVmLibrary(missing);
    EXPECT_TRUE(firstWrongArchitectureRefusal().library.empty());
    VmLibraryVerdict arm = judgeVmLibraries({{"a\\jvm.dll", pe(PeImageKind::WrongMachine, kMachineArm64)}}, "");
    VmLibraryVerdict x86 = judgeVmLibraries({{"b\\jvm.dll", pe(PeImageKind::WrongMachine, kMachineI386)}}, "");
    noteRefusedVmLibrary(arm);
    noteRefusedVmLibrary(x86);
    EXPECT_EQ(firstWrongArchitectureRefusal().library, "a\\jvm.dll");
    EXPECT_EQ(firstWrongArchitectureRefusal().machine, kMachineArm64);
    forgetRefusedVmLibrariesForTesting();
}
}  // namespace
