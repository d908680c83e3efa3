// Console, platform and restart requests of the launch driver.
#include <windows.h>

#include <cstdio>
#include <io.h>

#include "launcher.h"

namespace {
// A console attached or allocated after start-up is not yet behind the C
// streams that had no handle at start (a GUI program's): bind those to it.
void bindStreamToConsole(FILE* stream) {
    intptr_t handle = _get_osfhandle(_fileno(stream));
    if (handle == -1 || handle == -2 || handle == 0) std::freopen("CONOUT$", "w", stream);
}
}  // namespace

bool isNtPlatform() {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    BOOL ok = GetVersionExA(&info);
#pragma GCC diagnostic pop
    return ok && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool attachConsole() {
    typedef BOOL(WINAPI * AttachConsoleFn)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    AttachConsoleFn attach =
        kernel ? reinterpret_cast<AttachConsoleFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "AttachConsole")))
               : nullptr;
    bool haveConsole = false;
    if (attach) {
        // ERROR_ACCESS_DENIED: the process has a console already.
        haveConsole = attach(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED;
    }
    if (!haveConsole) haveConsole = AllocConsole() != FALSE;
    if (haveConsole) {
        bindStreamToConsole(stdout);
        bindStreamToConsole(stderr);
    }
    return haveConsole;
}

void rebootSystem() {
    Sleep(5000);
    if (isNtPlatform()) {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
        TOKEN_PRIVILEGES privileges;
        ZeroMemory(&privileges, sizeof privileges);
        privileges.PrivilegeCount = 1;
        privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
        bool ok = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid) != FALSE;
        if (ok) {
            AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
            ok = GetLastError() == ERROR_SUCCESS;
        }
        CloseHandle(token);
        if (!ok) return;
    }
    ExitWindowsEx(EWX_REBOOT, 0);
}
