// Which VM options set class-data sharing (shared by the launcher and the builder's check).
#include <cstring>

#include "cds.h"

namespace {

// Names after "-XX:" (with an optional "+" or "-") that belong to class-data sharing.
const char* const kSharingFlags[] = {
    "SharedArchiveFile", "ArchiveClassesAtExit", "AutoCreateSharedArchive", "SharedClassListFile",
    "DumpLoadedClassList", "UseSharedSpaces", "RequireSharedSpaces", "SharedBaseAddress",
    "AOTCache", "AOTCacheOutput", "AOTConfiguration", "AOTMode",
};

}  // namespace

bool isClassDataSharingOption(const std::string& option) {
    if (option.compare(0, 7, "-Xshare") == 0) return true;
    if (option.compare(0, 4, "-XX:") != 0) return false;
    size_t at = 4;
    if (at < option.size() && (option[at] == '+' || option[at] == '-')) ++at;
    for (const char* name : kSharingFlags) {
        size_t length = std::strlen(name);
        if (option.compare(at, length, name) == 0 &&
            (option.size() == at + length || option[at + length] == '='))
            return true;
    }
    return false;
}

