// The PE headers of a VM library and a release file's OS_ARCH: the input as a file.
// Invariant: no crash; an x86-64 DLL (or program) has machine 0x8664 and a wrong machine
// another one; bytes without "MZ" are no PE image; the judgement of that one library is
// usable exactly for an x86-64 DLL (an unreadable one exactly with OS_ARCH x86_64/amd64),
// and names the library. Its two reads of the file agree with the walk of the whole image.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "jvm/vm_check.h"
#include "launcher/pe_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    PeImageInfo info = inspectPeImage(bytes);
    if (info.kind == PeImageKind::X8664Dll || info.kind == PeImageKind::NotDll) FUZZ_CHECK(info.machine == kMachineX8664);
    if (info.kind == PeImageKind::WrongMachine) FUZZ_CHECK(info.machine != kMachineX8664);
    FUZZ_CHECK(info.kind != PeImageKind::Unreadable);  // bytes in memory can always be read
    if (size < 2 || data[0] != 'M' || data[1] != 'Z') FUZZ_CHECK(info.kind == PeImageKind::NotPe);
    pe::PeHeaders headers;
    if (pe::readPeHeaders(bytes, &headers) == pe::PeStatus::Ok && headers.peOffset <= 0x10000000) {
        FUZZ_CHECK(info.kind != PeImageKind::NotPe && info.kind != PeImageKind::Truncated);
        FUZZ_CHECK(info.machine == headers.coff.machine);
    }

    std::string osArch = releaseOsArch(bytes);
    VmLibraryVerdict verdict = judgeVmLibraries({{"x\\jvm.dll", info}}, osArch);
    FUZZ_CHECK(verdict.usable == (info.kind == PeImageKind::X8664Dll));
    FUZZ_CHECK(verdict.library == "x\\jvm.dll");
    FUZZ_CHECK(verdict.wrongArchitecture() == (info.kind == PeImageKind::WrongMachine));
    VmLibraryVerdict unreadable = judgeVmLibraries({{"x\\jvm.dll", PeImageInfo{}}}, osArch);
    FUZZ_CHECK(unreadable.usable == isX8664OsArch(osArch));
    return 0;
}
