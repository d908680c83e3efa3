// Bridge mode of the stand-in jvm.dll (see bridge.h and testing/README.md).
//
// Under Wine a host program started with CreateProcess cannot be waited on and gives no exit code, so all
// synchronisation goes through files in a session directory under /tmp (an ASCII path without blanks, so
// the one command-line argument handed to /bin/sh is safe): run.sh (generated), bridge.jar (copied),
// ready (host VM up), req-N / resp-N (requests and answers, each written to a .tmp name and renamed),
// done (exit code of the host VM, written by run.sh), kill (this process has ended).
#include "bridge.h"

#include "standin_common.h"

namespace bridge {
namespace {

constexpr DWORD kStartLimitMs = 120000;     // host VM start-up
constexpr DWORD kRequestLimitMs = 120000;   // any request except main and destroy
constexpr DWORD kDestroyLimitMs = 600000;   // the program's other threads after main

Recorder gRecord = nullptr;
std::wstring gSession;      // Windows form, trailing backslash
bool gRunning = false;
bool gEnded = false;
long gNextRequest = 0;
CRITICAL_SECTION gRequestLock;
INIT_ONCE gInitOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK initLock(PINIT_ONCE, PVOID, PVOID *) {
    InitializeCriticalSection(&gRequestLock);
    return TRUE;
}

void note(const std::string &line) {
    if (gRecord) gRecord("bridge " + line);
}

// Unix form of a Windows path through Wine's kernel32 export; empty when not under Wine.
std::string unixPath(const std::wstring &windowsPath) {
    typedef char *(CDECL * WineGetUnixFileName)(const WCHAR *);
    static WineGetUnixFileName fn = reinterpret_cast<WineGetUnixFileName>(
        reinterpret_cast<void *>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return std::string();
    char *p = fn(windowsPath.c_str());
    if (!p) return std::string();
    std::string out = p;
    HeapFree(GetProcessHeap(), 0, p);
    return out;
}

bool isWindowsAbsolute(const std::string &v) {
    return (v.size() >= 3 && isalpha(static_cast<unsigned char>(v[0])) && v[1] == ':' && (v[2] == '\\' || v[2] == '/')) ||
           (v.size() >= 2 && v[0] == '\\' && v[1] == '\\');
}

// One path: an absolute Windows path becomes its Unix form; a relative one gets forward slashes.
std::string mapPath(const std::string &v) {
    if (isWindowsAbsolute(v)) {
        std::string u = unixPath(standin::fromUtf8(v));
        if (!u.empty()) {
            if (u.size() > 1 && u.back() == '/' && v.back() != '\\' && v.back() != '/') u.pop_back();
            return u;
        }
    }
    std::string out = v;
    for (auto &c : out)
        if (c == '\\') c = '/';
    return out;
}

// A path list: ";"-separated Windows paths become a ":"-separated Unix list.
std::string mapList(const std::string &v) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t end = v.find(';', start);
        std::string item = v.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!item.empty()) {
            if (!out.empty()) out += ':';
            out += mapPath(item);
        }
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

std::string shellQuote(const std::string &s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'') out += "'\\''";
        else out += c;
    }
    return out + "'";
}

bool startsWith(const std::string &s, const char *prefix) { return s.rfind(prefix, 0) == 0; }

// The host command-line words for the VM options; false for an option the host java is not given.
bool hostOption(const std::string &option, std::vector<std::string> &words) {
    if (startsWith(option, "-Djava.class.path=")) {
        words.push_back("-cp");
        words.push_back(mapList(option.substr(18)));
        return true;
    }
    if (startsWith(option, "-Djava.library.path=")) {
        words.push_back("-Djava.library.path=" + mapList(option.substr(20)));
        return true;
    }
    if (startsWith(option, "-D")) {
        size_t eq = option.find('=');
        if (eq == std::string::npos) {
            words.push_back(option);
            return true;
        }
        std::string value = option.substr(eq + 1);
        words.push_back(option.substr(0, eq + 1) + (isWindowsAbsolute(value) ? mapPath(value) : value));
        return true;
    }
    static const char *const passed[] = {"-X", "-ea", "-da", "-esa", "-dsa", "-enableassertions",
                                         "-disableassertions", "-enablesystemassertions", "-disablesystemassertions",
                                         "-verbose", "-javaagent:", "-agentlib:", "-agentpath:", "--add-opens",
                                         "--add-exports", "--add-modules", "--enable-preview"};
    for (const char *p : passed) {
        if (startsWith(option, p)) {
            words.push_back(option);
            return true;
        }
    }
    return false;
}

std::wstring sessionFile(const std::string &name) { return gSession + standin::fromUtf8(name); }

bool readDone(int &code) {
    std::string text;
    if (!standin::readFile(sessionFile("done"), text)) return false;
    code = atoi(text.c_str());
    return true;
}

void removeSession() {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((gSession + L"*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((gSession + fd.cFileName).c_str());
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(gSession.c_str());
}

// The host VM has ended by itself (System.exit, a crash): this process ends with its exit code.
[[noreturn]] void hostEnded(int code) {
    gEnded = true;
    note("host VM ended with exit code " + std::to_string(code));
    removeSession();
    ExitProcess(static_cast<UINT>(code));
}

// Sends a request and waits for its answer (limit 0: no limit). The host VM ending meanwhile ends this
// process with its exit code. False when no answer came within the limit.
bool request(const std::string &text, DWORD limitMs, std::string &answer) {
    InitOnceExecuteOnce(&gInitOnce, initLock, nullptr, nullptr);
    EnterCriticalSection(&gRequestLock);
    long id = ++gNextRequest;
    LeaveCriticalSection(&gRequestLock);
    std::string name = "req-" + std::to_string(id);
    standin::writeFile(sessionFile(name + ".tmp"), text);
    MoveFileExW(sessionFile(name + ".tmp").c_str(), sessionFile(name).c_str(), MOVEFILE_REPLACE_EXISTING);
    std::wstring resp = sessionFile("resp-" + std::to_string(id));
    ULONGLONG deadline = GetTickCount64() + limitMs;
    for (;;) {
        if (standin::readFile(resp, answer)) {
            DeleteFileW(resp.c_str());
            return true;
        }
        int code = 0;
        if (readDone(code)) hostEnded(code);
        if (limitMs && GetTickCount64() > deadline) {
            note("no answer to " + standin::escapeField(text.substr(0, text.find('\n'))));
            return false;
        }
        Sleep(2);
    }
}

std::vector<std::string> answerLines(const std::string &answer) { return standin::splitLines(answer); }

void exceptionFrom(const std::vector<std::string> &lines, std::string &cls, std::string &message,
                   std::string &describe) {
    cls = lines.size() > 1 ? lines[1] : "java.lang.Error";
    message = lines.size() > 2 ? unescape(lines[2]) : std::string();
    describe = lines.size() > 3 ? unescape(lines[3]) : "Exception in thread \"main\" " + cls + "\n";
}

// The Unix process id of this Wine process, or 0. Not from /proc/self: Wine's server
// opens files for its clients, so that names the wineserver (whose death ends every
// program of the prefix). The getpid system call itself answers for this process
// (Linux x86-64, number 39; Wine does not intercept it here).
long unixProcessId() {
    long pid = 39;
    __asm__ volatile("syscall" : "+a"(pid) : : "rcx", "r11", "memory");
    return pid > 0 ? pid : 0;
}

// Removes session directories that runs killed together with their host VM left behind (older than 6 hours;
// a live session's directory changes with every request).
void sweepStaleSessions() {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(L"Z:\\tmp\\tovex-standin-*", &fd);
    if (h == INVALID_HANDLE_VALUE) return;
    FILETIME nowFt;
    GetSystemTimeAsFileTime(&nowFt);
    ULONGLONG now = (static_cast<ULONGLONG>(nowFt.dwHighDateTime) << 32) | nowFt.dwLowDateTime;
    const ULONGLONG sixHours = 6ULL * 3600 * 10000000;
    do {
        ULONGLONG t = (static_cast<ULONGLONG>(fd.ftLastWriteTime.dwHighDateTime) << 32) | fd.ftLastWriteTime.dwLowDateTime;
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || t + sixHours > now) continue;
        std::wstring saved = gSession;
        gSession = std::wstring(L"Z:\\tmp\\") + fd.cFileName + L"\\";
        removeSession();
        gSession = saved;
    } while (FindNextFileW(h, &fd));
    FindClose(h);
}

}  // namespace

std::string unescape(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size()) {
            char e = text[++i];
            if (e == 'n') out += '\n';
            else if (e == 'r') out += '\r';
            else if (e == 't') out += '\t';
            else if (e == 'x' && i + 2 < text.size()) {
                out += static_cast<char>(strtol(text.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else out += e;
        } else {
            out += c;
        }
    }
    return out;
}

bool start(const std::wstring &dllDir, const std::string &hostJava, const std::vector<std::string> &options,
           Recorder record, std::string &error) {
    gRecord = record;
    std::string java = hostJava.empty() ? "/usr/lib/jvm/java-17-openjdk-amd64/bin/java" : hostJava;

    // Session directory under /tmp: unique per process and attempt.
    CreateDirectoryW(L"Z:\\tmp", nullptr);
    sweepStaleSessions();
    wchar_t name[96];
    swprintf(name, 96, L"Z:\\tmp\\tovex-standin-%lu-%llu\\", GetCurrentProcessId(),
             static_cast<unsigned long long>(GetTickCount64()));
    gSession = name;
    if (!CreateDirectoryW(gSession.c_str(), nullptr)) {
        error = "cannot create the session directory " + standin::toUtf8(gSession);
        return false;
    }
    std::string sessionUnix = unixPath(gSession);
    if (sessionUnix.empty()) {
        error = "no Unix path for the session directory (not running under Wine?)";
        return false;
    }
    if (sessionUnix.back() == '/') sessionUnix.pop_back();
    if (!CopyFileW((dllDir + L"standin-bridge.jar").c_str(), sessionFile("bridge.jar").c_str(), FALSE)) {
        error = "standin-bridge.jar is missing beside jvm.dll";
        removeSession();
        return false;
    }
    note("session " + sessionUnix);

    std::vector<std::string> words;
    for (size_t i = 0; i < options.size(); ++i) {
        size_t before = words.size();
        if (!hostOption(options[i], words)) {
            note("skip option " + std::to_string(i) + " " + standin::escapeField(options[i]));
            continue;
        }
        for (size_t k = before; k < words.size(); ++k) note("option " + standin::escapeField(words[k]));
    }

    std::vector<wchar_t> cwdBuf(32768);
    DWORD n = GetCurrentDirectoryW(static_cast<DWORD>(cwdBuf.size()), cwdBuf.data());
    std::string cwd = unixPath(std::wstring(cwdBuf.data(), n));
    if (cwd.empty()) cwd = "/";

    std::string script =
        "#!/bin/sh\n"
        "# Generated by the stand-in jvm.dll (bridge mode).\n"
        "S=" + shellQuote(sessionUnix) + "\n"
        "if [ \"$(locale charmap 2>/dev/null)\" != UTF-8 ]; then\n"
        "  if [ -n \"$LC_ALL\" ]; then LANG=\"$LC_ALL\"; export LANG; unset LC_ALL; fi\n"
        "  LC_CTYPE=C.UTF-8; export LC_CTYPE\n"
        "fi\n"
        "cd " + shellQuote(cwd) + " 2>/dev/null || cd /\n" +
        shellQuote(java) + " -XX:+IgnoreUnrecognizedVMOptions \"-Xbootclasspath/a:$S/bridge.jar\"";
    for (const std::string &w : words) script += " \\\n  " + shellQuote(w);
    // The host VM also ends when this Wine process is gone without a word (killed): it watches our Unix pid
    // (gone, or a zombie that its parent has not reaped yet).
    std::string pid = std::to_string(unixProcessId());
    script += " \\\n  StandinBridge \"$S\" " + pid + "\n"
              "echo $? > \"$S/done.tmp\" && mv \"$S/done.tmp\" \"$S/done\"\n"
              "P=" + pid + "\n"
              "gone() { [ \"$P\" != 0 ] && { st=$(sed -e 's/.*) //' \"/proc/$P/stat\" 2>/dev/null | cut -c1);"
              " [ -z \"$st\" ] || [ \"$st\" = Z ] || [ \"$st\" = X ]; }; }\n"
              "if [ -e \"$S/kill\" ] || gone; then rm -rf \"$S\"; fi\n";
    if (!standin::writeFile(sessionFile("run.sh"), script)) {
        error = "cannot write run.sh";
        removeSession();
        return false;
    }

    std::wstring cmd = L"/bin/sh " + standin::fromUtf8(sessionUnix) + L"/run.sh";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        error = "cannot start /bin/sh (error " + std::to_string(GetLastError()) + ")";
        removeSession();
        return false;
    }
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    gRunning = true;

    ULONGLONG deadline = GetTickCount64() + kStartLimitMs;
    for (;;) {
        if (standin::fileExists(sessionFile("ready"))) break;
        int code = 0;
        if (readDone(code)) {
            gRunning = false;
            gEnded = true;
            removeSession();
            error = "host VM ended with exit code " + std::to_string(code) + " before it was ready";
            return false;
        }
        if (GetTickCount64() > deadline) {
            standin::writeFile(sessionFile("kill"), std::string());
            error = "host VM not ready in time";
            return false;
        }
        Sleep(5);
    }
    note("ready");
    return true;
}

bool findClass(const std::string &slashName) {
    std::string answer;
    if (!request("findclass\n" + slashName + "\n", kRequestLimitMs, answer)) return false;
    return answerLines(answer).at(0) == "ok";
}

bool hasMethod(const std::string &slashClass, const std::string &name, const std::string &sig) {
    std::string answer;
    if (!request("method\n" + slashClass + "\n" + name + "\n" + sig + "\n", kRequestLimitMs, answer)) return false;
    return answerLines(answer).at(0) == "ok";
}

bool callMain(const std::string &slashClass, const std::vector<std::string> &args, std::string &exClass,
              std::string &exMessage, std::string &describe) {
    std::string text = "main\n" + slashClass + "\n";
    for (const std::string &a : args) text += "+" + standin::escapeField(a) + "\n";
    std::string answer;
    request(text, 0, answer);
    std::vector<std::string> lines = answerLines(answer);
    if (!lines.empty() && lines[0] == "returned") return true;
    exceptionFrom(lines, exClass, exMessage, describe);
    return false;
}

bool callStatic(const std::string &slashClass, const std::string &name, const std::string &sig, std::string &outcome,
                std::string &exClass, std::string &exMessage, std::string &describe) {
    std::string answer;
    if (!request("call\n" + slashClass + "\n" + name + "\n" + sig + "\n", kRequestLimitMs, answer)) {
        exClass = "java.lang.InternalError";
        exMessage = "stand-in bridge: no answer";
        describe = "Exception in thread \"main\" java.lang.InternalError: stand-in bridge: no answer\n";
        return false;
    }
    std::vector<std::string> lines = answerLines(answer);
    if (!lines.empty() && startsWith(lines[0], "result ")) {
        outcome = lines[0].substr(7);
        return true;
    }
    if (!lines.empty() && lines[0] == "missing") {
        exClass = "java.lang.NoSuchMethodError";
        exMessage = name;
        describe = "Exception in thread \"main\" java.lang.NoSuchMethodError: " + name + "\n";
        return false;
    }
    exceptionFrom(lines, exClass, exMessage, describe);
    return false;
}

void destroy() {
    if (!gRunning) return;
    std::string answer;
    note("destroy");
    request("destroy\n", kRequestLimitMs, answer);
    ULONGLONG deadline = GetTickCount64() + kDestroyLimitMs;
    int code = 0;
    while (!readDone(code)) {
        if (GetTickCount64() > deadline) {
            note("host VM did not end in time");
            standin::writeFile(sessionFile("kill"), std::string());
            gRunning = false;
            return;
        }
        Sleep(5);
    }
    gRunning = false;
    if (code != 0) hostEnded(code);
    gEnded = true;
    note("host VM ended with exit code 0");
    removeSession();
}

void processEnding() {
    if (gRunning && !gEnded) standin::writeFile(sessionFile("kill"), std::string());
}

}  // namespace bridge
