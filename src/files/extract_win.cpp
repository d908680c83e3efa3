// Extraction of the appended files into a fresh directory under the temporary
// directory, and the emptying of that directory on the launcher's early exits.
#include <windows.h>

#include <ctime>

#include "extract.h"
#include "handles_win.h"
#include "launcher/config.h"
#include "paths.h"
#include "launcher/errors.h"
#include "launcher/log.h"
#include "launcher/texts.h"
#include "tempdir.h"

namespace {

// Reads the length, creates the output file and copies the content into it.
int extractFile(HANDLE executable, const std::string& outputPath) {
    int64_t length = readInt64(executable);
    logMessage("extracting %s (size: %I64d)", outputPath.c_str(), static_cast<long long>(length));
    if (length <= 0) return 0;
    Handle output(CreateFileA(outputPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.valid()) {
        DWORD error = GetLastError();
        logError("could not create %s (%d)", outputPath.c_str(), static_cast<int>(error));
        fatalMessage(CFG_MSG_INTERNAL_ERROR, internal_error::kExtractedFile,
                     folderWriteFailureText(tempDir(), error).c_str());
    }
    // The output is closed on failure too, so that the exit path can delete it.
    int result = copyFileData(executable, output.get(), length, true);
    if (result == 2) extractionFailureDetails() = folderWriteFailureText(tempDir(), GetLastError());
    return result;
}

}  // namespace

int copyFileData(void* source, void* destination, int64_t count, bool unscramble) {
    unsigned char buffer[kCopyChunkSize];
    int64_t copied = 0;
    while (copied < count) {
        int64_t left = count - copied;
        DWORD wanted = static_cast<DWORD>(left < static_cast<int64_t>(kCopyChunkSize) ? left : kCopyChunkSize);
        DWORD delivered = 0;
        BOOL ok = ReadFile(source, buffer, wanted, &delivered, nullptr);
        if (!ok || delivered == 0) {
            logError("ReadFile failed %d %d %I64d", static_cast<int>(delivered), static_cast<int>(GetLastError()),
                     static_cast<long long>(copied));
            return 1;
        }
        if (unscramble) unscrambleBytes(buffer, delivered);
        DWORD written = 0;
        while (written < delivered) {
            DWORD now = 0;
            // A write that reports success without taking a byte would repeat for ever: a failure too.
            if (!WriteFile(destination, buffer + written, delivered - written, &now, nullptr) || now == 0) {
                DWORD error = GetLastError();
                logError("WriteFile failed %d %d", static_cast<int>(delivered - written), static_cast<int>(error));
                SetLastError(error);  // for the caller, whatever the log did meanwhile
                return 2;
            }
            written += now;
        }
        copied += delivered;
    }
    return 0;
}

namespace {

uint64_t creationTimeOf(HANDLE process) {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// The owner record goes into the temporary file that gave the directory its name
// (an empty file otherwise), so the directory itself holds only the extracted files.
void recordOwner(const std::string& tempFile) {
    Handle file(CreateFileA(tempFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        logMessage("could not record the owner in %s (%d)", tempFile.c_str(), static_cast<int>(GetLastError()));
        return;
    }
    std::string record = ownerRecord(GetCurrentProcessId(), creationTimeOf(GetCurrentProcess()));
    DWORD written = 0;
    WriteFile(file.get(), record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
}

enum class Owner { Running, Gone, Unknown };

// Whether the process named in ownerFile still runs: the id alone could have been
// reused, so its creation time must match too.
Owner ownerOf(const std::string& ownerFile, uint32_t& processId) {
    processId = 0;
    Handle file(CreateFileA(ownerFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return Owner::Unknown;
    char buffer[64];
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return Owner::Unknown;
    uint64_t created = 0;
    if (!parseOwnerRecord(std::string(buffer, read), processId, created)) return Owner::Unknown;
    if (processId == GetCurrentProcessId()) return Owner::Running;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER ? Owner::Gone : Owner::Unknown;
    DWORD code = STILL_ACTIVE;
    bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    uint64_t now = creationTimeOf(process);
    CloseHandle(process);
    if (ended || (now != 0 && now != created)) return Owner::Gone;
    return Owner::Running;
}

}  // namespace

void removeLeftoverExtractionDirs(const std::string& directory) {
    if (directory.empty()) return;
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(joinPath(directory, "tvx*_dir*").c_str(), &entry));
    if (!search.valid()) return;
    int looked = 0, removed = 0;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        std::string ownerName = ownerFileOfExtractionDir(entry.cFileName);
        if (ownerName.empty()) continue;
        std::string path = joinPath(directory, entry.cFileName);
        if (path == tempDir()) continue;
        std::string ownerFile = joinPath(directory, ownerName);
        uint32_t pid = 0;
        Owner owner = ownerOf(ownerFile, pid);
        if (owner == Owner::Running) {
            logMessage("keeping extraction directory %s: its process %u runs", path.c_str(), pid);
        } else if (owner == Owner::Gone) {
            logMessage("removing extraction directory %s of an earlier start (process %u has ended)", path.c_str(),
                       pid);
            emptyDirectory(path, true);
            if (RemoveDirectoryA(path.c_str()))
                DeleteFileA(ownerFile.c_str());
            else
                logError("could not remove %s (%d)", path.c_str(), static_cast<int>(GetLastError()));
            ++removed;
        }
    } while (++looked < kLeftoverScanLimit && removed < kLeftoverRemoveLimit && FindNextFileA(search.get(), &entry));
}

void createTempDir() {
    DWORD error = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string tempFile = createTempFileName();
        tempDir() = extractionDirName(tempFile, static_cast<long long>(time(nullptr)));
        logMessage("Temp dir: %s", tempDir().c_str());
        // Without a temporary file name the directory would be relative to the working directory.
        if (!tempFile.empty() && CreateDirectoryA(tempDir().c_str(), nullptr)) {
            recordOwner(tempFile);
            removeLeftoverExtractionDirs(directoryOf(tempFile));
            return;
        }
        error = tempFile.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        logMessage("Could not create dir (%d)", static_cast<int>(error));
    }
    tempDir().clear();
    std::string folder = selectTempPath();
    logError("could not create an extraction directory in %s (%d)", folder.c_str(), static_cast<int>(error));
    fatalMessage(CFG_MSG_INTERNAL_ERROR, internal_error::kExtractionDirectory,
                 folderWriteFailureText(folder, error).c_str());
}

int extractFiles() {
    logMessage("extracting files");
    int count = getConfigInt(CFG_FILE_COUNT);
    logMessage("Included files: %d", count);
    if (count <= 0) {
        tempDir().clear();
        return 0;
    }
    // The names that will be used are checked before anything is created.
    std::vector<std::string> names = splitFileList(getConfigString(CFG_FILE_LIST));
    if (names.size() > static_cast<size_t>(count)) names.resize(static_cast<size_t>(count));
    for (const std::string& name : names) {
        if (!isSafeEntryName(name)) {
            logError("refusing file name %s: it leaves the extraction directory", name.c_str());
            return 3;
        }
    }

    createTempDir();
    Handle executable(static_cast<HANDLE>(openOwnExecutable()));
    LARGE_INTEGER start;
    start.QuadPart = configEndPosition();
    if (!SetFilePointerEx(executable.get(), start, nullptr, FILE_BEGIN)) {
        logError("could not move to the appended files at %u (%d)", configEndPosition(),
                 static_cast<int>(GetLastError()));
        return 1;
    }
    for (const std::string& name : names) {
        std::string directory = entryDirectory(name);
        if (!directory.empty()) {
            std::string path = tempDir() + "\\" + directory;
            logMessage("creating directory %s", path.c_str());
            if (!CreateDirectoryA(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                logError("failed to create directory %s", path.c_str());
        }
        std::string outputPath = tempDir() + "\\" + name;
        int result = extractFile(executable.get(), outputPath);
        if (result != 0) {
            logError("Failed to extract %s", outputPath.c_str());
            return result;
        }
    }
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    position.QuadPart = 0;
    SetFilePointerEx(executable.get(), zero, &position, FILE_CURRENT);
    setUnextractedPosition(static_cast<int32_t>(position.QuadPart));
    executable.close();
    logMessage("extracting files done");
    return 0;
}

void emptyDirectory(const std::string& path, bool recurse) {
    if (path.empty() || path[0] == '.') return;
    logMessage("emptying %s", path.c_str());
    WIN32_FIND_DATAA entry;
    FindHandle search(FindFirstFileA(joinPath(path, "*.*").c_str(), &entry));
    if (!search.valid()) return;
    do {
        std::string name = entry.cFileName;
        if (name == "." || name == "..") continue;
        std::string child = joinPath(path, name);
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            logMessage("attempting to remove %s (%d)", child.c_str(), recurse ? 1 : 0);
            // A link to a directory elsewhere is removed, its target left alone.
            if (recurse && !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) emptyDirectory(child, false);
            RemoveDirectoryA(child.c_str());
        } else {
            logMessage("attempting to delete %s", child.c_str());
            DeleteFileA(child.c_str());
        }
    } while (FindNextFileA(search.get(), &entry));
}
