// The splash screen on Windows: the launcher's own window on a thread of its
// own, or the runtime's splashscreen.dll driven from the main thread.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "instance/single_instance.h"
#include "jvm/vmlib.h"
#include "launcher/config.h"
#include "launcher/errors.h"
#include "launcher/launcher.h"
#include "launcher/log.h"
#include "launcher/resource_ids.h"
#include "splash.h"
#include "splash_jni.h"
#include "windows/java_vm_launcher.h"

namespace {
constexpr UINT kTimerMillis = 100;
constexpr UINT_PTR kTimerId = 9962;  // ignored by SetTimer without a window
constexpr const char* kWindowClass = "TovexSplashScreen";
constexpr int kFaceNameChars = 31;

// splashInitialized as a state, changed only by compare-and-swap:
// Clear -> Shown (the splash thread created its window, or the runtime splash
// was loaded) or Clear -> HiddenEarly (a hide request came first); a runtime
// splash goes Shown -> Closed when it is closed.
enum SplashState : int { kClear = 0, kShown = 1, kHiddenEarly = 2, kClosed = 3 };
std::atomic<int> gState{kClear};
// Set by every hide request (any thread); the splash thread checks it after
// showing its window and at every tick, so a hide that races with the
// window's first ShowWindow still wins.
std::atomic<bool> gHideRequested{false};
// The splash window; written by the splash thread, read by hideSplash.
std::atomic<HWND> gWindow{nullptr};
// The splash has ended for good (hidden, off the VM); written by the splash thread.
std::atomic<bool> gEnded{false};
// Set together with gEnded (manual reset), so that an exit can wait for it.
HANDLE gEndedEvent = nullptr;
// Posted to the splash thread by an early exit: leave the VM now, between two ticks.
constexpr UINT kEndRequest = WM_APP + 21;
// How long an early exit waits for the splash thread to leave the VM.
constexpr DWORD kEndWaitMillis = 10000;

void markEnded() {
    gEnded.store(true);
    if (gEndedEvent) SetEvent(gEndedEvent);
}

// Splash thread only: settings read when the window is created, fonts, poll link.
struct SplashPaintState {
    std::string statusText;
    std::string versionText;
    COLORREF statusColor = 0;
    COLORREF versionColor = 0;
    int width = 0;
    int height = 0;
    int statusX = 0, statusY = 0;
    int versionX = 0, versionY = 0;
    HFONT statusFont = nullptr;   // created at the first paint, never deleted
    HFONT versionFont = nullptr;
    bool hideOnWindow = false;
    UINT_PTR timer = 0;
};
SplashPaintState* gPaint = nullptr;
SplashControllerLink gLink;

// The runtime's splash library (main thread only).
using SplashInitFn = void (*)();
using SplashLoadMemoryFn = int (*)(void*, int);
using SplashCloseFn = void (*)();
SplashCloseFn gSplashClose = nullptr;
// The splash thread, kept open so that tests can wait for its end.
HANDLE gThread = nullptr;
DWORD gThreadId = 0;

bool runtimeSplashConfigured() { return getConfigFlag(CFG_SPLASH_FROM_RUNTIME); }

HINSTANCE moduleInstance() {
    void* instance = launcherInstance();
    return instance ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
}

SplashPaintState& paintState() {
    if (!gPaint) gPaint = new SplashPaintState();
    return *gPaint;
}

HFONT makeSplashFont(HDC dc, int32_t points, int32_t weight, const std::string& face) {
    LOGFONTA font;
    ZeroMemory(&font, sizeof(font));
    font.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
    font.lfWeight = weight;
    font.lfCharSet = 0;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = FF_SWISS | DEFAULT_PITCH;
    lstrcpynA(font.lfFaceName, face.c_str(), kFaceNameChars + 1);
    return CreateFontIndirectA(&font);
}

void paintSplash(HWND window) {
    SplashPaintState& s = paintState();
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc) return;
    if (!s.statusFont) {
        s.statusFont = makeSplashFont(dc, getConfigInt(CFG_STATUS_FONT_SIZE), getConfigInt(CFG_STATUS_FONT_WEIGHT),
                                        getConfigString(CFG_STATUS_FONT_NAME, kFaceNameChars + 1));
        s.versionFont = makeSplashFont(dc, getConfigInt(CFG_VERSION_FONT_SIZE),
                                         getConfigInt(CFG_VERSION_FONT_WEIGHT),
                                         getConfigString(CFG_VERSION_FONT_NAME, kFaceNameChars + 1));
    }
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP buffer = CreateCompatibleBitmap(dc, s.width, s.height);
    HGDIOBJ oldBuffer = SelectObject(memory, buffer);
    RECT all = {0, 0, s.width, s.height};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));

    // The image, loaded anew at every paint; the grey stays wherever it does not reach.
    HBITMAP image = static_cast<HBITMAP>(
        LoadImageA(moduleInstance(), MAKEINTRESOURCEA(resource_ids::kSplashBitmap), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (image) {
        BITMAP info;
        int copyWidth = s.width, copyHeight = s.height;
        if (GetObjectA(image, sizeof(info), &info) == sizeof(info)) {
            if (info.bmWidth < copyWidth) copyWidth = info.bmWidth;
            if (info.bmHeight < copyHeight) copyHeight = info.bmHeight;
        }
        HDC imageDc = CreateCompatibleDC(dc);
        HGDIOBJ oldImage = SelectObject(imageDc, image);
        BitBlt(memory, 0, 0, copyWidth, copyHeight, imageDc, 0, 0, SRCCOPY);
        SelectObject(imageDc, oldImage);
        DeleteObject(image);
        DeleteDC(imageDc);
    }

    SetBkMode(memory, TRANSPARENT);
    HGDIOBJ oldFont = SelectObject(memory, s.statusFont);
    COLORREF oldColor = SetTextColor(memory, s.statusColor);
    TextOutA(memory, s.statusX, s.statusY, s.statusText.c_str(), static_cast<int>(s.statusText.size()));
    SelectObject(memory, s.versionFont);
    SetTextColor(memory, s.versionColor);
    TextOutA(memory, s.versionX, s.versionY, s.versionText.c_str(), static_cast<int>(s.versionText.size()));
    SelectObject(memory, oldFont);
    SetTextColor(memory, oldColor);

    BitBlt(dc, 0, 0, s.width, s.height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBuffer);
    DeleteObject(buffer);
    DeleteDC(memory);
    EndPaint(window, &paint);
}

LRESULT CALLBACK splashWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_PAINT:
            paintSplash(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the paint covers the whole window
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Creates the window (hidden) and claims splashInitialized. nullptr when a
// hide request came first (the window is then destroyed again) or when the
// window cannot be created.
HWND createSplashWindow() {
    SplashPaintState& s = paintState();
    s.statusText = getConfigString(CFG_STATUS_TEXT, kStatusTextBufferSize);
    s.versionText = getConfigString(CFG_VERSION_TEXT, kStatusTextBufferSize);
    s.statusColor = getConfigColor(CFG_STATUS_TEXT_COLOR);
    s.versionColor = getConfigColor(CFG_VERSION_TEXT_COLOR);
    std::string title = getConfigString(CFG_APPLICATION_NAME, kStatusTextBufferSize);
    s.width = getConfigInt(CFG_SPLASH_WIDTH);
    s.height = getConfigInt(CFG_SPLASH_HEIGHT);
    s.statusX = getConfigInt(CFG_STATUS_TEXT_X);
    s.statusY = getConfigInt(CFG_STATUS_TEXT_Y);
    s.versionX = getConfigInt(CFG_VERSION_TEXT_X);
    s.versionY = getConfigInt(CFG_VERSION_TEXT_Y);

    HINSTANCE instance = moduleInstance();
    WNDCLASSA windowClass;
    ZeroMemory(&windowClass, sizeof(windowClass));
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = splashWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, resource_ids::kSplashIconName);
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);

    RECT desktop;
    GetWindowRect(GetDesktopWindow(), &desktop);
    SplashPosition at = centreSplash(desktop.left, desktop.top, desktop.right, desktop.bottom, s.width, s.height);
    HWND window = CreateWindowExA(0, kWindowClass, title.c_str(), WS_POPUP, at.x, at.y, s.width, s.height, nullptr,
                                  nullptr, instance, nullptr);
    if (!window) logError("could not create the splash window %d", static_cast<int>(GetLastError()));
    s.statusFont = nullptr;
    s.versionFont = nullptr;
    gWindow.store(window);
    int expected = kClear;
    if (!gState.compare_exchange_strong(expected, kShown)) {
        // A hide request came while the window was being made: it must not appear.
        gWindow.store(nullptr);
        if (window) DestroyWindow(window);
        return nullptr;
    }
    return window;
}

// Ends the splash from its timer: no more ticks, off the VM. The hidden
// window and its message loop stay: the window keeps owning error boxes that
// the main thread may show (destroying it would take such a box with it), and
// the VM no longer waits for this thread once it has detached.
void endSplashThread(HWND) {
    SplashPaintState& s = paintState();
    if (s.timer) KillTimer(nullptr, s.timer);
    s.timer = 0;
    detachSplashThread(gLink, vmExists() ? javaVm() : nullptr);
    markEnded();
}

void CALLBACK splashTimerProc(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = gWindow.load();
    if (!window || gEnded.load()) return;
    if (gHideRequested.load() || !IsWindowVisible(window)) {
        endSplashThread(window);
        return;
    }
    if (paintState().hideOnWindow && countVisibleWindows(GetCurrentProcessId()) > 1) {
        logMessage("Splash screen auto off");
        hideSplash();
        endSplashThread(window);
        return;
    }
    std::u16string text;
    switch (pollSplashController(gLink, vmExists() ? javaVm() : nullptr, text)) {
        case SplashPoll::Hide:
            hideSplash();
            endSplashThread(window);
            return;
        case SplashPoll::Text:
            setSplashStatusText(text);
            return;
        case SplashPoll::Nothing:
            return;
    }
}

DWORD WINAPI splashThread(LPVOID parameter) {
    int showCommand = static_cast<int>(reinterpret_cast<intptr_t>(parameter));
    logMessage("Showing splash screen");
    if (gState.load() != kClear) {
        markEnded();
        return 0;
    }
    logMessage("Initializing splash screen");
    HWND window = createSplashWindow();
    if (!window) {
        markEnded();
        return 0;
    }
    setErrorOwnerWindow(window);
    ShowWindow(window, showCommand);
    if (gHideRequested.load()) ShowWindow(window, SW_HIDE);
    if (getConfigFlag(CFG_SPLASH_ON_TOP))
        SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SplashPaintState& s = paintState();
    s.hideOnWindow = getConfigFlag(CFG_SPLASH_HIDE_ON_WINDOW);
    s.timer = SetTimer(nullptr, kTimerId, kTimerMillis, splashTimerProc);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!message.hwnd && message.message == kEndRequest) {
            if (!gEnded.load()) endSplashThread(window);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

void showRuntimeSplash() {
    if (gState.load() != kClear) return;
    std::string path = jvmHome() + "\\bin\\splashscreen.dll";
    logMessage("loading splashscreen dll from %s", path.c_str());
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library) {
        logError("Could not load splashscreen.dll");
        return;
    }
    auto close = reinterpret_cast<SplashCloseFn>(GetProcAddress(library, "SplashClose"));
    auto init = reinterpret_cast<SplashInitFn>(GetProcAddress(library, "SplashInit"));
    auto loadMemory = reinterpret_cast<SplashLoadMemoryFn>(GetProcAddress(library, "SplashLoadMemory"));
    if (!close || !init || !loadMemory) {
        logError("Could not find functions in splashscreen.dll");
        return;
    }
    gSplashClose = close;
    init();
    HMODULE self = GetModuleHandleA(nullptr);
    HRSRC resource = FindResourceA(self, MAKEINTRESOURCEA(resource_ids::kSplashImage), MAKEINTRESOURCEA(10));
    HGLOBAL loaded = resource ? LoadResource(self, resource) : nullptr;
    void* data = loaded ? LockResource(loaded) : nullptr;
    int size = resource ? static_cast<int>(SizeofResource(self, resource)) : 0;
    if (data) {
        int result = loadMemory(data, size);
        logMessage("splash load memory returned %d (%p, %p, %d)", result, static_cast<void*>(resource), data, size);
    } else {
        logError("splash image resource %d not found", resource_ids::kSplashImage);
    }
    int expected = kClear;
    gState.compare_exchange_strong(expected, kShown);
}

void hideRuntimeSplash() {
    int expected = kShown;
    if (gState.compare_exchange_strong(expected, kClosed) && gSplashClose) gSplashClose();
}
}  // namespace

bool splashInitialized() { return gState.load() != kClear; }
void* splashWindow() { return gWindow.load(); }

void showSplash(int showCommand) {
    bool runtime = runtimeSplashConfigured();
    if (showCommand == SW_HIDE) {
        // Started hidden: the show command asks for no splash at all.
        if (!runtime) hideSplash();
        return;
    }
    if (runtime) {
        showRuntimeSplash();
        return;
    }
    if (gThread) return;  // one splash per process
    logMessage("Starting splash screen thread");
    if (!gEndedEvent) gEndedEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, splashThread, reinterpret_cast<LPVOID>(static_cast<intptr_t>(showCommand)),
                                 0, &gThreadId);
    if (!thread) {
        logError("could not start the splash screen thread %d", static_cast<int>(GetLastError()));
        return;
    }
    gThread = thread;
}

void hideSplash() {
    if (runtimeSplashConfigured()) {
        hideRuntimeSplash();
        return;
    }
    logMessage("Hiding splash screen");
    gHideRequested.store(true);
    int expected = kClear;
    if (gState.compare_exchange_strong(expected, kHiddenEarly)) return;  // no window will be created
    HWND window = gWindow.load();
    if (!window) return;
    ShowWindow(window, SW_HIDE);
    DWORD foregroundProcess = 0;
    GetWindowThreadProcessId(GetForegroundWindow(), &foregroundProcess);
    if (foregroundProcess != GetCurrentProcessId()) activateProcessWindows(GetCurrentProcessId(), false);
}

void endSplashBeforeExit() {
    if (!gThread) return;
    gHideRequested.store(true);
    int expected = kClear;
    gState.compare_exchange_strong(expected, kHiddenEarly);  // a window not yet made stays unmade
    if (gEnded.load()) return;
    // Fails while the thread has no message queue yet; it then ends without a window.
    PostThreadMessageA(gThreadId, kEndRequest, 0, 0);
    HANDLE waits[2] = {gEndedEvent, gThread};
    DWORD result = WaitForMultipleObjects(gEndedEvent ? 2 : 1, gEndedEvent ? waits : waits + 1, FALSE, kEndWaitMillis);
    if (result == WAIT_TIMEOUT) logError("the splash thread did not end within %d ms", static_cast<int>(kEndWaitMillis));
}

void setSplashStatusText(const std::u16string& text) {
    if (gState.load() != kShown) return;
    HWND window = gWindow.load();
    if (!window) return;
    paintState().statusText = statusTextToNarrow(text);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

void* createSplashFont(void* dc, int points, int weight, const std::string& face) {
    return makeSplashFont(static_cast<HDC>(dc), points, weight, face);
}

bool waitForSplashEndForTesting(unsigned long millis) {
    DWORD start = GetTickCount();
    while (gThread && !gEnded.load()) {
        if (GetTickCount() - start > millis) return false;
        if (WaitForSingleObject(gThread, 10) == WAIT_OBJECT_0) break;
    }
    return true;
}

void resetSplashForTesting() {
    if (gThread) {
        // The ended splash keeps its hidden window and loop; stop both.
        PostThreadMessageA(gThreadId, WM_QUIT, 0, 0);
        WaitForSingleObject(gThread, 30000);
        CloseHandle(gThread);
        gThread = nullptr;
    }
    HWND window = gWindow.load();
    if (window && IsWindow(window)) DestroyWindow(window);
    gEnded.store(false);
    if (gEndedEvent) ResetEvent(gEndedEvent);
    gState.store(kClear);
    gHideRequested.store(false);
    gWindow.store(nullptr);
    gSplashClose = nullptr;
    delete gPaint;
    gPaint = nullptr;
    gLink = SplashControllerLink();
}
