// Showing error texts (message box or standard error) and the early exit.
#include <windows.h>

#include <cstdio>

#include "config.h"
#include "crt_format_win.h"
#include "errors.h"
#include "files/extract.h"
#include "files/paths.h"
#include "log.h"
#include "splash/splash.h"

void showErrorText(const std::string& text) {
    hideSplash();
    std::string composed = text;
    if (const char* log = logFilePath()) {
        std::string longPath(kPathBufferSize, '\0');
        DWORD n = GetLongPathNameA(log, &longPath[0], static_cast<DWORD>(kPathBufferSize));
        if (n == 0 || n >= kPathBufferSize)
            longPath = log;
        else
            longPath.resize(n);
        composed = composeErrorText(text, longPath.c_str());
    }
    if (messageBoxesEnabled()) {
        std::string caption = messageText(CFG_MSG_ERROR_CAPTION);
        MessageBoxA(static_cast<HWND>(errorOwnerWindow()), composed.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
    } else {
        crt::print(stderr, "%s\n", composed.c_str());
        std::fflush(stderr);
    }
}

void exitLauncher(int code) {
    endSplashBeforeExit();
    const std::string& directory = tempDir();
    if (!directory.empty()) {
        emptyDirectory(directory, true);
        RemoveDirectoryA(directory.c_str());
    }
    ExitProcess(static_cast<UINT>(code));
}
