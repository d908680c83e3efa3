// Managed class-data sharing on the host: plain files under the test root (see cds.h).
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "cds.h"
#include "options_host.h"

std::string cdsRuntimeHome() { return ""; }

bool cdsLocalAppData(std::string& folder) { return false; }

bool cdsEnsureFolder(const std::string& folder) { return false; }

bool cdsFileExists(const std::string& path) {
    struct stat st;
    return stat(hostPathOf(path).c_str(), &st) == 0;
}

bool cdsFileStamp(const std::string& path, uint64_t& size, uint64_t& time) {
    struct stat st;
    if (stat(hostPathOf(path).c_str(), &st) != 0) return false;
    size = static_cast<uint64_t>(st.st_size);
    time = static_cast<uint64_t>(st.st_mtime);
    return true;
}

bool cdsReadFile(const std::string& path, std::string& content) {
    std::ifstream in(hostPathOf(path), std::ios::binary);
    if (!in) return false;
    std::ostringstream text;
    text << in.rdbuf();
    content = text.str();
    return true;
}

bool cdsCreateNewFile(const std::string& path, const std::string& content) { return false; }

void cdsRemoveOtherFiles(const std::string& folder, const std::string& keepPrefix) {}

bool cdsStartDump(const std::string& javaExe, const std::string& argumentFile, const std::string& logFile) {
    return false;
}
