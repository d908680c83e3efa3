// A 32-bit jvm.dll: a 64-bit launcher cannot load it. If a 32-bit process does load it, creating a VM fails.
#include <windows.h>

extern "C" __declspec(dllexport) int __stdcall JNI_CreateJavaVM(void **, void **, void *) { return -1; }
extern "C" __declspec(dllexport) int __stdcall JNI_GetDefaultJavaVMInitArgs(void *) { return -1; }
extern "C" __declspec(dllexport) int __stdcall JNI_GetCreatedJavaVMs(void **, int, int *count) {
    if (count) *count = 0;
    return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
