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
    return launcherMain(GetModuleHandleA(nullptr), tail.c_str(), SW_SHOWDEFAULT);
}
