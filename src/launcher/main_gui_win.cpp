// Entry of the GUI-subsystem stub.
#include <windows.h>

#include "launcher.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR tail, int showCommand) {
    return launcherMain(instance, tail, showCommand);
}
