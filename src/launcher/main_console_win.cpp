// Entry of the console-subsystem stub: the same start-up as the GUI stub.
#include <windows.h>

#include <string>

#include "errors.h"
#include "launcher.h"

int main() {
    // A console program reports on its standard error from the first line on,
    // also when its configuration block cannot be read.
    disableMessageBoxes();
    std::string tail = commandLineTail(GetCommandLineA());
    // The show command of the start-up information, as a GUI program's entry gets it:
    // a launcher started hidden shows no splash.
    STARTUPINFOW startup;
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    int showCommand = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
    return launcherMain(GetModuleHandleA(nullptr), tail.c_str(), showCommand);
}
