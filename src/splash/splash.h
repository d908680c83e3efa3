// The splash screen: the launcher's own window on its own thread, or the runtime's splash library.
#pragma once
#include <cstddef>
#include <string>

// Shows the splash with the process's start-up show command (0: a hide request).
// Own window (id 10123 is 0): starts the splash thread and returns at once.
// Runtime splash (id 10123 non-zero): loads splashscreen.dll of jvmHome() and
// hands it raw-data resource 10000, on the calling (main) thread.
void showSplash(int showCommand);
// Hides the splash; any thread, also before the splash exists (then no splash
// window is ever created in this process).
void hideSplash();
// Before the process ends early: hides the splash and waits until the splash
// thread has left the VM (it must not be inside a JNI call while the process
// ends under it). Main thread only; nothing happens without a splash thread.
void endSplashBeforeExit();
// Replaces the status line and repaints at once (splash thread only; does
// nothing before the window exists).
void setSplashStatusText(const std::u16string& text);

// splashInitialized: the splash was created, or a hide request came first and
// no splash may be created any more. Written by the splash thread (window
// created), by showSplash on the main thread (runtime splash loaded) and by
// hideSplash (a hide request before the window exists), always with an atomic
// compare-and-swap, so a hide request and the window's creation cannot both win.
bool splashInitialized();
// The splash window once created (it stays, hidden, after the splash ended), for tests.
void* splashWindow();

// Size of the status text buffer; the narrow status text has at most 8191 bytes.
constexpr size_t kStatusTextBufferSize = 8192;

// Pure: top left corner of a width x height window centred on the desktop
// rectangle: x = (right - width - left) / 2, y = (bottom - height - top) / 2
// (integer division truncating toward zero).
struct SplashPosition {
    int x;
    int y;
};
SplashPosition centreSplash(int left, int top, int right, int bottom, int width, int height);

// The status text as drawn: UTF-16 converted to the ANSI code page (TextOutA
// draws in it; characters it lacks become "?"), cut at a character boundary
// so that it fits the 8192-byte buffer (at most 8191 bytes).
std::string statusTextToNarrow(const std::u16string& text);

#ifdef _WIN32
// Windows parts exposed for tests.
// The splash fonts: height -MulDiv(points, LOGPIXELSY of dc, 72), the face cut to 31 characters.
void* createSplashFont(void* dc, int points, int weight, const std::string& face);
// Waits up to millis until the splash has ended (hidden and detached from the
// VM, or never shown); true when it has or none was started.
bool waitForSplashEndForTesting(unsigned long millis);
// Back to "no splash requested" once the thread has ended (tests run many splashes in one process).
void resetSplashForTesting();
#endif
