// Stand-in splashscreen.dll: records each call in splash.log beside the DLL.
//   "SplashInit", "SplashLoadMemory size=N sig=HEX" (hex of the first up to 8 bytes), "SplashClose".
// splash.cfg beside the DLL may say "result N": what SplashLoadMemory returns (default 1).
#include "standin_common.h"

namespace {
HMODULE gModule = nullptr;

void record(const std::string &line) { standin::appendFile(standin::moduleDirectory(gModule) + L"splash.log", line + "\n"); }
}  // namespace

extern "C" {

__declspec(dllexport) void SplashInit(void) { record("SplashInit"); }

__declspec(dllexport) int SplashLoadMemory(void *data, int size) {
    std::string sig;
    const unsigned char *bytes = static_cast<const unsigned char *>(data);
    for (int i = 0; bytes && i < size && i < 8; ++i) {
        char buf[4];
        snprintf(buf, sizeof buf, "%02X", bytes[i]);
        sig += buf;
    }
    int result = 1;
    for (const auto &kv : standin::readSettings(standin::moduleDirectory(gModule) + L"splash.cfg"))
        if (kv.first == "result") result = atoi(kv.second.c_str());
    record("SplashLoadMemory size=" + std::to_string(size) + " sig=" + sig + (bytes ? "" : " data=null"));
    return result;
}

__declspec(dllexport) void SplashClose(void) { record("SplashClose"); }

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) gModule = instance;
    return TRUE;
}

}  // extern "C"
