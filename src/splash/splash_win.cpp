#include <windows.h>
#include "splash.h"
void showSplash(int) {}
void hideSplash() {}
void setSplashStatusText(const std::u16string&) {}
