// Whether a runtime's VM library can be loaded by this 64-bit launcher at all: the
// library must exist and be an x86-64 PE DLL. The search refuses a candidate whose
// libraries all fail this (a check that refuses only what could never load), and
// LoadDLL names the reason when the chosen one does not load.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---- Pure parts (tested on the host) ----

constexpr uint16_t kMachineX8664 = 0x8664;
constexpr uint16_t kMachineI386 = 0x014c;
constexpr uint16_t kMachineArm64 = 0xaa64;
constexpr uint16_t kMachineArmNt = 0x01c4;
constexpr uint16_t kMachineIa64 = 0x0200;
constexpr uint16_t kImageFileDll = 0x2000;  // COFF characteristic of a DLL

enum class PeImageKind {
    X8664Dll,      // usable
    WrongMachine,  // a DLL or program for another machine (machine says which)
    NotDll,        // an x86-64 image that is a program, not a library
    NotPe,         // no "MZ", or no "PE\0\0" where e_lfanew points
    Truncated,     // the file ends inside its headers
    Unreadable,    // the file could not be read at all
};

struct PeImageInfo {
    PeImageKind kind = PeImageKind::Unreadable;
    uint16_t machine = 0;  // COFF machine (when the headers were read)
};

// Reads up to n bytes at offset into out; returns how many were read (fewer at the
// end of the file), or -1 when the file cannot be read. (A plain function pointer:
// the launcher stubs carry no exception support that std::function would name.)
using PeByteReader = long (*)(void* context, uint64_t offset, size_t n, unsigned char* out);

// The DOS header ("MZ", e_lfanew at 0x3c), the signature "PE\0\0" at e_lfanew, the COFF
// machine (e_lfanew + 4) and characteristics (e_lfanew + 22).
PeImageInfo inspectPeImage(PeByteReader read, void* context);
// The same over bytes held in memory (the whole file).
PeImageInfo inspectPeImage(const std::string& bytes);

// "x86-64", "i386 (32-bit x86)", "ARM64", "ARM (32-bit)", "IA-64", else "machine 0x1234".
std::string peMachineName(uint16_t machine);

// What a release file's OS_ARCH line says (value without quotes, "" when absent).
std::string releaseOsArch(const std::string& releaseContent);
// OS_ARCH of an x86-64 runtime: "x86_64" or "amd64" (any case).
bool isX8664OsArch(const std::string& osArch);

// The VM libraries of a java executable in the order LoadDLL tries them: bin\<preferred>
// (when set), then bin\<type> for the VM types, then the same below bin\..\jre\bin.
std::vector<std::string> vmLibraryPaths(const std::string& exePath, const std::string& preferredType);

struct VmLibraryFinding {
    std::string path;  // an existing library
    PeImageInfo info;
};

struct VmLibraryVerdict {
    bool usable = false;
    std::string library;        // the usable library, or the one the reason is about ("" when none exists)
    PeImageKind kind = PeImageKind::Unreadable;  // of that library (when one exists)
    uint16_t machine = 0;
    std::string reason;         // for the log: "no VM library (jvm.dll)", "... is for i386 (32-bit x86), not x86-64"
    bool wrongArchitecture() const { return !usable && kind == PeImageKind::WrongMachine; }
};

// Judges the existing libraries (in load order): usable when one is an x86-64 DLL, or
// (releaseOsArch non-empty, for the 'J' entry) when one could not be read and the
// release file's OS_ARCH names x86-64. Otherwise the reason of the first one, or
// "no VM library" when there is none.
VmLibraryVerdict judgeVmLibraries(const std::vector<VmLibraryFinding>& found, const std::string& releaseOsArch);

// The first candidate that the search refused for its architecture (for the message
// when nothing usable is found); empty library when there was none.
const VmLibraryVerdict& firstWrongArchitectureRefusal();
void noteRefusedVmLibrary(const VmLibraryVerdict& verdict);
// Tests only: forget the refusals noted so far.
void forgetRefusedVmLibrariesForTesting();

// ---- Windows ----

// Looks at the VM libraries of exePath (configuration id 152 and the VM types) on disk.
// home (optional, "" for none) names a Java home whose release file's OS_ARCH is the
// fallback for a library that cannot be read.
VmLibraryVerdict checkVmLibrary(const std::string& exePath, const std::string& home);

