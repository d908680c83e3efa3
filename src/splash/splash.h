// The splash screen: the launcher's own window on its own thread, or the runtime's splash library.
#pragma once
#include <string>

// Shows the splash with the process's start-up show command (0: a hide request).
void showSplash(int showCommand);
// Hides the splash; any thread, also before the splash exists.
void hideSplash();
// Replaces the status line (splash thread).
void setSplashStatusText(const std::u16string& text);
