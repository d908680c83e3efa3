// Reading the configuration block out of the launcher's own executable.
#include <windows.h>

#include "block_reader.h"
#include "config.h"
#include "config_block.h"
#include "errors.h"
#include "files/handles_win.h"
#include "files/paths.h"
#include "language.h"
#include "log.h"
#include "texts.h"

namespace {

// The executable file as a ByteSource at its current file position (one
// ReadFile per read): the lengths of the appended files.
class FileByteSource : public ByteSource {
public:
    explicit FileByteSource(HANDLE file) : file_(file) {}
    bool read(void* buffer, uint32_t count, uint32_t* got) override {
        DWORD n = 0;
        BOOL ok = ReadFile(file_, buffer, count, &n, nullptr);
        *got = n;
        error_ = ok ? (n == count ? 0 : ERROR_HANDLE_EOF) : GetLastError();
        return ok != FALSE;
    }
    bool seek(uint64_t position) override {
        LARGE_INTEGER to;
        to.QuadPart = static_cast<LONGLONG>(position);
        if (position > 0x7FFFFFFFFFFFFFFFull || !SetFilePointerEx(file_, to, nullptr, FILE_BEGIN)) {
            error_ = GetLastError();
            return false;
        }
        return true;
    }
    uint64_t position() const override {
        LARGE_INTEGER zero, now;
        zero.QuadPart = 0;
        if (!SetFilePointerEx(file_, zero, &now, FILE_CURRENT)) return 0;
        return static_cast<uint64_t>(now.QuadPart);
    }
    uint64_t size() const override {
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file_, &size)) return 0;
        return static_cast<uint64_t>(size.QuadPart);
    }
    uint32_t lastError() const override { return error_; }

private:
    HANDLE file_;
    uint32_t error_ = 0;
};

// The executable read at absolute offsets: one ReadFile each, the offset in an OVERLAPPED.
class FileReader : public PositionalReader {
public:
    explicit FileReader(HANDLE file) : file_(file) {}
    bool readAt(uint64_t offset, void* buffer, uint32_t count, uint32_t* got) override {
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD n = 0;
        BOOL ok = ReadFile(file_, buffer, count, &n, &at);
        // With an offset, a read at or past the end fails with ERROR_HANDLE_EOF;
        // it is a read of nothing, as without one.
        if (!ok && GetLastError() == ERROR_HANDLE_EOF) {
            ok = TRUE;
            n = 0;
        }
        *got = n;
        error_ = ok ? (n == count ? 0 : ERROR_HANDLE_EOF) : GetLastError();
        return ok != FALSE;
    }
    uint32_t lastError() const override { return error_; }

private:
    HANDLE file_;
    uint32_t error_ = 0;
};

uint64_t fileSize(HANDLE file) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

}  // namespace

void* openOwnExecutable() {
    const std::string& path = getModulePath();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        logError("Could not open %s", path.c_str());
        fatalText(texts::kOpenMediaFailed);
    }
    return file;
}

int64_t readInt64(void* file) {
    FileByteSource source(static_cast<HANDLE>(file));
    int64_t value = 0;
    const char* fatal = nullptr;
    if (!readInt64(source, &value, &fatal)) fatalText(fatal);
    return value;
}

void readConfigBlock(const std::vector<std::u16string>& argumentList) {
    Handle owner(static_cast<HANDLE>(openOwnExecutable()));
    FileReader reader(owner.get());
    WindowedByteSource source(reader, fileSize(owner.get()));
    ConfigData data;
    const char* fatal =
        decodeConfigBlock(source, [&argumentList]() { return selectLanguage(argumentList); }, &data);
    owner.close();
    // Also after a failure: the entries read so far give the error box its caption.
    installConfig(std::move(data));
    if (fatal) fatalText(fatal);
    if (!exeTypeShowsMessageBoxes(getConfigInt(CFG_EXE_TYPE))) disableMessageBoxes();
}
