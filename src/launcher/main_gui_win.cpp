// Entry of the GUI-subsystem stub.
#include <windows.h>

#include <string>

#include "launcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    // The tail by the launcher's own rule rather than the C runtime's.
    std::string tail = commandLineTail(GetCommandLineA());
    return launcherMain(instance, tail.c_str(), showCommand);
}
