// File access of the builder on POSIX hosts.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __APPLE__
#include <climits>
#include <cstdlib>
#include <mach-o/dyld.h>
#endif

#include "builder.h"

namespace builder {

namespace {
std::string sysError(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};
}  // namespace

bool readWholeFile(const std::string& path, std::string& data, std::string& error) {
    Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0) {
        error = sysError("cannot open", path);
        return false;
    }
    struct stat st;
    if (::fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    data.clear();
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = sysError("cannot read", path);
            return false;
        }
        if (n == 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    return true;
}

bool fileSize(const std::string& path, uint64_t& size, std::string& error) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        error = sysError("cannot read", path);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "cannot read " + path + ": not a regular file";
        return false;
    }
    size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool streamFile(const std::string& path, ChunkSink& sink, std::string& error) {
    Fd f{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (f.fd < 0) {
        error = sysError("cannot open", path);
        return false;
    }
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = sysError("cannot read", path);
            return false;
        }
        if (n == 0) return true;
        if (!sink.chunk(buf, static_cast<size_t>(n), error)) return false;
    }
}

bool openOutput(const std::string& path, OutputFile& out, std::string& error) {
    out = OutputFile();
    out.finalPath = path;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0777);
        if (fd >= 0) {
            out.handle = reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
            out.tempPath = temp;
            return true;
        }
        if (errno != EEXIST) {
            error = sysError("cannot write " + path + ": cannot create", temp);
            return false;
        }
    }
    error = "cannot create a temporary file beside " + path;
    return false;
}

static int fdOf(const OutputFile& out) { return static_cast<int>(reinterpret_cast<intptr_t>(out.handle) - 1); }

bool writeOutput(OutputFile& out, const void* data, size_t size, std::string& error) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fdOf(out), p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = sysError("cannot write", out.tempPath);
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeOutputAt(OutputFile& out, uint64_t offset, const void* data, size_t size, std::string& error) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::pwrite(fdOf(out), p, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            error = sysError("cannot write", out.tempPath);
            return false;
        }
        p += n;
        offset += static_cast<uint64_t>(n);
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool commitOutput(OutputFile& out, std::string& error) {
    int fd = fdOf(out);
    out.handle = nullptr;
    if (::close(fd) != 0) {
        error = sysError("cannot write", out.tempPath);
        ::unlink(out.tempPath.c_str());
        return false;
    }
    if (::rename(out.tempPath.c_str(), out.finalPath.c_str()) != 0) {
        error = sysError("cannot rename the output to", out.finalPath);
        ::unlink(out.tempPath.c_str());
        return false;
    }
    return true;
}

void discardOutput(OutputFile& out) {
    if (out.handle) ::close(fdOf(out));
    out.handle = nullptr;
    if (!out.tempPath.empty()) ::unlink(out.tempPath.c_str());
}

bool makeDirectory(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0777) == 0) return true;
    struct stat st;
    if (errno == EEXIST && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    error = sysError("cannot create directory", path);
    return false;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir == ".") return name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string directoryOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool isAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string absolutePath(const std::string& path) {
    if (isAbsolutePath(path)) return path;
    std::string cwd(4096, '\0');
    while (::getcwd(&cwd[0], cwd.size()) == nullptr) {
        if (errno != ERANGE) return path;
        cwd.resize(cwd.size() * 2);
    }
    cwd.resize(std::strlen(cwd.c_str()));
    return joinPath(cwd, path);
}

std::string ownExecutablePath() {
#ifdef __APPLE__
    // macOS has no /proc: the loader knows the path it started, realpath resolves its links.
    uint32_t size = 0;
    _NSGetExecutablePath(nullptr, &size);
    std::string started(size, '\0');
    if (size == 0 || _NSGetExecutablePath(&started[0], &size) != 0) return std::string();
    started.resize(std::strlen(started.c_str()));
    char resolved[PATH_MAX];
    if (::realpath(started.c_str(), resolved) == nullptr) return started;
    return resolved;
#else
    std::string path(4096, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", &path[0], path.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path;
        }
        path.resize(path.size() * 2);
    }
#endif
}

namespace {
int kindOf(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return 0;
    return S_ISDIR(st.st_mode) ? 2 : 1;
}

bool sameIgnoringAsciiCase(const char* a, const std::string& b) {
    size_t i = 0;
    for (; a[i] && i < b.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return a[i] == '\0' && i == b.size();
}
}  // namespace

int windowsPathKind(const std::string& base, const std::string& relative) {
    std::string host;
    return resolveWindowsPath(base, relative, host);
}

int resolveWindowsPath(const std::string& base, const std::string& relative, std::string& hostPath) {
    std::string path = base;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find_first_of("\\/", start);
        if (end == std::string::npos) end = relative.size();
        std::string part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        std::string next = joinPath(path, part);
        if (part != ".." && kindOf(next) == 0) {
            // Windows file names ignore case: look for the name among the directory's entries.
            DIR* dir = ::opendir(path.c_str());
            if (!dir) return 0;
            bool found = false;
            while (struct dirent* entry = ::readdir(dir)) {
                if (sameIgnoringAsciiCase(entry->d_name, part)) {
                    next = joinPath(path, entry->d_name);
                    found = true;
                    break;
                }
            }
            ::closedir(dir);
            if (!found) return 0;
        }
        path = next;
    }
    hostPath = path;
    return kindOf(path);
}

std::vector<std::string> directoryNames(const std::string& directory) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(directory.c_str());
    if (!dir) return names;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace builder
