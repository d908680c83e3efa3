// Extraction of the appended files into a fresh directory under the temporary
// directory, and the emptying of that directory on the launcher's early exits.
#include <windows.h>

#include <ctime>

#include "extract.h"
#include "handles_win.h"
#include "launcher/config.h"
#include "launcher/errors.h"
#include "launcher/log.h"
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
        fatalMessage(CFG_MSG_INTERNAL_ERROR, "11", folderWriteFailureText(tempDir(), error).c_str());
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

void createTempDir() {
    DWORD error = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string tempFile = createTempFileName();
        tempDir() = extractionDirName(tempFile, static_cast<long long>(time(nullptr)));
        logMessage("Temp dir: %s", tempDir().c_str());
        // Without a temporary file name the directory would be relative to the working directory.
        if (!tempFile.empty() && CreateDirectoryA(tempDir().c_str(), nullptr)) return;
        error = tempFile.empty() ? ERROR_PATH_NOT_FOUND : GetLastError();
        logMessage("Could not create dir (%d)", static_cast<int>(error));
    }
    tempDir().clear();
    std::string folder = selectTempPath();
    logError("could not create an extraction directory in %s (%d)", folder.c_str(), static_cast<int>(error));
    fatalMessage(CFG_MSG_INTERNAL_ERROR, "7", folderWriteFailureText(folder, error).c_str());
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
