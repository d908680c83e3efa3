// Single-instance mode: the instance semaphore, the hand-over of a second start's
// arguments through the communication file, and the window operations.
#include <windows.h>

#include <cstdio>

#include "files/handles_win.h"
#include "files/paths.h"
#include "files/tempdir.h"
#include "launcher/config.h"
#include "launcher/crt_format_win.h"
#include "launcher/errors.h"
#include "launcher/log.h"
#include "launcher/texts.h"
#include "single_instance.h"

namespace {

// Window operation state: written and read by whichever thread runs an operation.
DWORD gTargetProcess = 0;
int gVisibleWindows = 0;
enum class ConsoleSearch { NotSearched, None, Found };
ConsoleSearch gConsoleSearch = ConsoleSearch::NotSearched;
HWND gConsoleWindow = nullptr;

bool ownedByTarget(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == gTargetProcess;
}

BOOL CALLBACK activateWindow(HWND window, LPARAM restore) {
    if (!IsWindowVisible(window) || !ownedByTarget(window)) return TRUE;
    logMessage("found window %p", static_cast<void*>(window));
    if (restore && IsIconic(window)) {
        logMessage("restore");
        ShowWindow(window, SW_RESTORE);
    }
    logMessage("foreground");
    SetForegroundWindow(window);
    logMessage("popup");
    SetForegroundWindow(GetLastActivePopup(window));
    logMessage("done");
    return TRUE;
}

BOOL CALLBACK countWindow(HWND window, LPARAM) {
    if (IsWindowVisible(window) && ownedByTarget(window) && window != gConsoleWindow) ++gVisibleWindows;
    return TRUE;
}

// The process's console window, searched once: none for a GUI-type launcher or
// a process without a console title.
HWND findConsoleWindow() {
    if (gConsoleSearch != ConsoleSearch::NotSearched) return gConsoleWindow;
    gConsoleSearch = ConsoleSearch::None;
    gConsoleWindow = nullptr;
    if (getConfigInt(CFG_EXE_TYPE) == 1) return nullptr;
    std::string saved(kPathBufferSize, '\0');
    if (GetConsoleTitleA(&saved[0], static_cast<DWORD>(saved.size())) == 0) return nullptr;
    saved.resize(std::char_traits<char>::length(saved.c_str()));
    char title[64];
    crt::format(title, sizeof title, "%lu/%lu", static_cast<unsigned long>(GetTickCount()),
                  static_cast<unsigned long>(GetCurrentProcessId()));
    if (SetConsoleTitleA(title)) {
        Sleep(40);
        gConsoleWindow = FindWindowA(nullptr, title);
        if (gConsoleWindow) gConsoleSearch = ConsoleSearch::Found;
        SetConsoleTitleA(saved.c_str());
    }
    return gConsoleWindow;
}

std::string instanceValueName() { return getFullPath(getModulePath(), false); }

HANDLE createSemaphore(const std::string& name) { return CreateSemaphoreA(nullptr, 1, 1, name.c_str()); }

void logSemaphore(const std::string& name, DWORD code, HANDLE handle) {
    logMessage("semaphore name %s, code %d, value %p", name.c_str(), static_cast<int>(code),
               static_cast<void*>(handle));
}

// The turn of one second start at the communication file. The notification
// semaphore admits one start at a time; the owner mutex beside it is taken first
// and held as long as the semaphore, so that a holder that died without giving
// the semaphore back shows: Windows hands its mutex to the next start as
// abandoned, and that start takes over the semaphore count the dead one kept.
struct Turn {
    HANDLE owner = nullptr;         // "<name>_notification_owner" (mutex)
    HANDLE notification = nullptr;  // "<name>_notification" (semaphore)
    bool ownsMutex = false;
    bool holdsSemaphore = false;
    bool released = false;

    // Gives the turn back (semaphore first, then the mutex); later calls do nothing.
    // Without a semaphore the release fails at once and is logged.
    void release() {
        if (released) return;
        released = true;
        if ((holdsSemaphore || !notification) && !ReleaseSemaphore(notification, 1, nullptr))
            logMessage("release semaphore failed %d", static_cast<int>(GetLastError()));
        if (ownsMutex) ReleaseMutex(owner);
    }
};

enum class TurnResult { Taken, FirstGone, TimedOut };

// Waits for handle in passes of kTurnPollMs: ends when it is signalled (the wait
// result), when the first instance has gone (*firstGone, WAIT_TIMEOUT), or at the
// deadline (WAIT_TIMEOUT). A wait that fails (no handle) returns at once.
DWORD waitPolling(HANDLE handle, ULONGLONG deadline, bool* firstGone) {
    for (;;) {
        ULONGLONG now = GetTickCount64();
        ULONGLONG left = now < deadline ? deadline - now : 0;
        DWORD pass = static_cast<DWORD>(left < kTurnPollMs ? left : kTurnPollMs);
        DWORD result = WaitForSingleObject(handle, pass);
        if (result != WAIT_TIMEOUT) return result;
        if (!isMainInstanceAlive()) {
            *firstGone = true;
            return WAIT_TIMEOUT;
        }
        if (GetTickCount64() >= deadline) return WAIT_TIMEOUT;
    }
}

// Takes the turn within kTurnLimitMs; gives up earlier when the first instance has gone.
TurnResult takeTurn(Turn& turn) {
    const ULONGLONG deadline = GetTickCount64() + kTurnLimitMs;
    bool firstGone = false;
    bool abandoned = false;
    if (turn.owner) {
        DWORD result = waitPolling(turn.owner, deadline, &firstGone);
        if (result == WAIT_TIMEOUT) {
            logMessage("wait returned %d", static_cast<int>(result));
            return firstGone ? TurnResult::FirstGone : TurnResult::TimedOut;
        }
        turn.ownsMutex = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        abandoned = result == WAIT_ABANDONED;
    }
    DWORD result = WaitForSingleObject(turn.notification, 0);
    if (result == WAIT_TIMEOUT && abandoned) {
        // The start before this one ended while it held the semaphore: its count
        // will never come back, so this start holds it now and gives it back later.
        logMessage("the previous holder of the notification semaphore ended without releasing it");
        result = WAIT_OBJECT_0;
    } else if (result == WAIT_TIMEOUT) {
        // Held by a start that does not take the owner mutex (an older launcher).
        result = waitPolling(turn.notification, deadline, &firstGone);
    }
    logMessage("wait returned %d", static_cast<int>(result));
    if (result == WAIT_TIMEOUT) return firstGone ? TurnResult::FirstGone : TurnResult::TimedOut;
    turn.holdsSemaphore = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return TurnResult::Taken;
}

// A failure while this start has the turn: give it back first, or the starts
// waiting behind this one would wait until their own limit.
[[noreturn]] void failHandOver(Turn& turn, const char* code) {
    turn.release();
    fatalMessage(CFG_MSG_INTERNAL_ERROR, code);
}

// The own arguments as written on the command line.
std::u16string ownArguments() { return commandLineArguments(reinterpret_cast<const char16_t*>(GetCommandLineW())); }

// The arguments did not reach the first instance: the user is told which (exit code 1).
[[noreturn]] void argumentsNotHandedOver(Turn& turn, const char* why) {
    turn.release();
    std::u16string arguments = ownArguments();
    logError("arguments not handed over (%s)", why);
    if (arguments.empty()) exitLauncher(0);  // nothing to hand over: nothing is lost
    bool lost = false;
    std::string text = fromUtf16(arguments, CP_ACP, &lost);
    std::string message = std::string(texts::kArgumentsNotHandedOver) + text;
    fatalText(message.c_str());
}

// Writes the own arguments to the new communication file; ends the launcher on failure.
void writeCommunicationFile(const std::string& commFile, Turn& turn) {
    HANDLE file = CreateFileA(commFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        logMessage("CreateFile failed %d", static_cast<int>(GetLastError()));
        failHandOver(turn, internal_error::kHandOverFileCreate);
    }
    bool cut = false;
    std::u16string text = communicationText(ownArguments(), &cut);
    if (cut) logMessage("arguments cut to %d characters", static_cast<int>(text.size() - 1));
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(char16_t));
    DWORD written = 0;
    if (!WriteFile(file, text.data(), bytes, &written, nullptr) || written != bytes) {
        logError("WriteFile failed %d", static_cast<int>(GetLastError()));
        CloseHandle(file);
        // An incomplete file would only block the next start: it is this start's own, remove it.
        DeleteFileA(commFile.c_str());
        failHandOver(turn, internal_error::kHandOverFileWrite);
    }
    CloseHandle(file);
}

}  // namespace

void registerInstancePid() {
    RegKey key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kInstancePidKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, key.out(), nullptr) != ERROR_SUCCESS)
        return;
    DWORD pid = GetCurrentProcessId();
    RegSetValueExA(key.get(), instanceValueName().c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&pid),
                   sizeof pid);
}

uint32_t readInstancePid() {
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kInstancePidKey, 0, KEY_READ, key.out()) != ERROR_SUCCESS) return 0;
    DWORD pid = 0;
    DWORD size = sizeof pid;
    if (RegQueryValueExA(key.get(), instanceValueName().c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&pid),
                         &size) != ERROR_SUCCESS ||
        size != sizeof pid)
        return 0;
    return pid;
}

bool isMainInstanceAlive() {
    const std::string* name = semaphoreName();
    if (!name) return true;
    SetLastError(0);
    HANDLE semaphore = createSemaphore(*name);
    if (!semaphore) return true;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(semaphore);
        return true;
    }
    if (!ReleaseSemaphore(semaphore, 1, nullptr))
        logMessage("release semaphore 2 failed %d", static_cast<int>(GetLastError()));
    CloseHandle(semaphore);
    logMessage("main process already released semaphore.");
    return false;
}

bool waitForCommFileRemoval(const std::string& path) {
    for (int pass = 0; pass < kCommFileWaitPasses; ++pass) {
        if (!pathExists(path)) return false;
        Sleep(50);
        if (pass % 5 == 0 && !isMainInstanceAlive()) return true;
    }
    return false;
}

void checkSingleInstance() {
    bool global = getConfigFlag(CFG_SINGLE_INSTANCE_GLOBAL);
    std::string baseName = instanceSemaphoreName(getFullPath(getModulePath(), false), global);

    if (!getConfigFlag(CFG_SINGLE_INSTANCE)) {
        // Counter mode: the first free numbered name.
        HANDLE semaphore = nullptr;
        DWORD code = 0;
        std::string name;
        for (int n = 0; n <= 100000; ++n) {
            name = baseName + std::to_string(n);
            SetLastError(0);
            semaphore = createSemaphore(name);
            code = GetLastError();
            if (code != ERROR_ALREADY_EXISTS || n == 100000) break;
            CloseHandle(semaphore);
        }
        setSemaphoreName(name);
        logSemaphore(name, code, semaphore);
        return;  // the handle stays open for the life of the process
    }

    logMessage("single instance mode");
    setSemaphoreName(baseName);
    SetLastError(0);
    HANDLE semaphore = createSemaphore(baseName);
    DWORD code = GetLastError();
    logSemaphore(baseName, code, semaphore);
    if (code != ERROR_ALREADY_EXISTS) {
        registerInstancePid();
        return;  // first instance: the handle stays open for the life of the process
    }

    CloseHandle(semaphore);
    uint32_t otherPid = readInstancePid();
    logMessage("other pid %d", static_cast<int>(otherPid));
    activateProcessWindows(otherPid, true);

    std::string commFile = processCommFileName(otherPid);
    logMessage("notification via %s", commFile.c_str());

    // The mutex first: whoever holds a handle of the semaphore holds one of the
    // mutex too, so the mutex outlives a holder of the semaphore that dies.
    Turn turn;
    turn.owner = CreateMutexA(nullptr, FALSE, (baseName + "_notification_owner").c_str());
    if (!turn.owner) logMessage("mutex creation failed %d", static_cast<int>(GetLastError()));
    turn.notification = createSemaphore(baseName + "_notification");
    if (!turn.notification) logMessage("semaphore creation failed %d", static_cast<int>(GetLastError()));
    logMessage("waiting for notification semaphore");
    switch (takeTurn(turn)) {
        case TurnResult::Taken:
            // The first instance may have been replaced meanwhile: hand over to the one that runs now.
            if (uint32_t pid = readInstancePid(); pid != otherPid) {
                otherPid = pid;
                commFile = processCommFileName(otherPid);
                logMessage("other pid %d, notification via %s", static_cast<int>(otherPid), commFile.c_str());
            }
            if (isMainInstanceAlive() && !waitForCommFileRemoval(commFile)) {
                // An earlier start's file still there after the whole wait: the first
                // instance does not read; this start's arguments would not be taken either.
                if (pathExists(commFile)) argumentsNotHandedOver(turn, "an earlier communication file was not taken");
                writeCommunicationFile(commFile, turn);
                logMessage("waiting for file deletion");
                if (waitForCommFileRemoval(commFile)) {
                    DeleteFileA(commFile.c_str());
                } else if (DeleteFileA(commFile.c_str())) {
                    // Not taken within the wait: taken back (the Java side delivers only a
                    // file that it deleted itself, so exactly one of the two deletions wins).
                    argumentsNotHandedOver(turn, "the communication file was not taken");
                }
            }
            break;
        case TurnResult::FirstGone:
            break;
        case TurnResult::TimedOut:
            logError("no turn for the hand-over within %d seconds", static_cast<int>(kTurnLimitMs / 1000));
            if (!ownArguments().empty()) argumentsNotHandedOver(turn, "no turn");
            failHandOver(turn, internal_error::kHandOverNoTurn);
    }

    turn.release();
    logMessage("exiting");
    exitLauncher(0);
}

void activateProcessWindows(uint32_t processId, bool restore) {
    gTargetProcess = processId;
    EnumWindows(activateWindow, restore ? 1 : 0);
}

int countVisibleWindows(uint32_t processId) {
    gVisibleWindows = 0;
    gTargetProcess = processId;
    findConsoleWindow();
    EnumWindows(countWindow, 0);
    return gVisibleWindows;
}
