// Managed class-data sharing: what it asks of Windows (see cds.h).
#include <windows.h>
#include <shlobj.h>

#include "cds.h"
#include "files/handles_win.h"
#include "files/paths.h"
#include "jvm/vmlib.h"

std::string cdsRuntimeHome() { return jvmHome(); }

bool cdsLocalAppData(std::string& folder) {
    char buffer[MAX_PATH];
    if (SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_DONT_VERIFY, nullptr, SHGFP_TYPE_CURRENT,
                         buffer) != S_OK || buffer[0] == '\0')
        return false;
    folder = buffer;
    return true;
}

bool cdsEnsureFolder(const std::string& folder) {
    DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    size_t slash = folder.find_last_of('\\');
    if (slash != std::string::npos && slash > 2 && !cdsEnsureFolder(folder.substr(0, slash))) return false;
    return CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool cdsFileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool cdsFileStamp(const std::string& path, uint64_t& size, uint64_t& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    time = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    return true;
}

bool cdsReadFile(const std::string& path, std::string& content) {
    Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    content.clear();
    char buffer[4096];
    DWORD got = 0;
    while (content.size() < kMaxReleaseFileSize && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) &&
           got > 0)
        content.append(buffer, got);
    return true;
}

bool cdsCreateNewFile(const std::string& path, const std::string& content) {
    Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    DWORD written = 0;
    return WriteFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
           written == content.size();
}

void cdsRemoveOtherFiles(const std::string& folder, const std::string& keepPrefix) {
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find.valid()) return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string name = data.cFileName;
        if (name.compare(0, keepPrefix.size(), keepPrefix) == 0) continue;
        // The VM writes its archives read-only. One that a running program maps stays.
        std::string path = folder + "\\" + name;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find.get(), &data));
}

bool cdsStartDump(const std::string& javaExe, const std::string& argumentFile, const std::string& logFile) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    Handle log(CreateFileA(logFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
    Handle input(CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                             nullptr));
    if (!log.valid() || !input.valid()) return false;
    // Only these two handles go to the dump run: one that held the launcher's own output
    // (a pipe of whoever started the program) would keep that open until the dump ends.
    HANDLE handles[2] = {input.get(), log.get()};
    SIZE_T size = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::string storage(size, '\0');
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(&storage[0]);
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) return false;
    bool listed = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, handles,
                                            sizeof handles, nullptr, nullptr);
    STARTUPINFOEXA startup = {};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.StartupInfo.wShowWindow = SW_HIDE;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = log.get();
    startup.StartupInfo.hStdError = log.get();
    startup.lpAttributeList = attributes;
    std::string command = "\"" + javaExe + "\" \"@" + argumentFile + "\"";
    PROCESS_INFORMATION process = {};
    BOOL started = listed && CreateProcessA(javaExe.c_str(), &command[0], nullptr, nullptr, TRUE,
                                            CREATE_NO_WINDOW | BELOW_NORMAL_PRIORITY_CLASS |
                                                EXTENDED_STARTUPINFO_PRESENT,
                                            nullptr, nullptr, &startup.StartupInfo, &process);
    DeleteProcThreadAttributeList(attributes);
    if (!started) return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
